// SPDX-License-Identifier: Apache-2.0
#include <ctype.h>
#include <errno.h>
#include <string.h>

#include "core/paths.h"
#include "core/protocol.h"
#include "keymap/keymap_observer.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"

namespace {

// The build being observed; the daemon's build is single-threaded and runs to completion.
layout_build_t *g_observed = nullptr;

void on_line_read(const char *path, int line_number, const char *text, size_t length,
                  key_line_note_t note, int32_t scancode, const char *name) {
    g_observed->lines[path].push_back(
        {line_number, std::string(text, length), note, scancode, name});
}

void on_file_failed(const char *path, int error_number, bool at_open) {
    g_observed->failures[path] =
        std::string(at_open ? "cannot open: " : "read error: ") + strerror(error_number);
}

void on_entry_listed(const char *name, int customer_code, int table) {
    g_observed->entries.push_back({name, customer_code, table});
}

void on_table_built(int table, const char *path, const keymap_t *customer_keymap) {
    memcpy(g_observed->customer[table], customer_keymap, sizeof(g_observed->customer[table]));
    g_observed->table_path[table] = path;
}

const keymap_observer_t k_observer = {on_line_read, on_file_failed, on_entry_listed,
                                      on_table_built};

bool edit_distance_at_most_one(const std::string &a, const std::string &b) {
    if (a.size() > b.size()) {
        return edit_distance_at_most_one(b, a);
    }
    if (b.size() - a.size() > 1) {
        return false;
    }
    size_t i = 0;
    while (i < a.size() && a[i] == b[i]) {
        i++;
    }
    // Past the first difference the rest must match: after a substitution, or after the
    // longer one's extra character.
    if (a.size() == b.size()) {
        return a.compare(i + (i < a.size()), std::string::npos, b, i + (i < b.size())) == 0;
    }
    return a.compare(i, std::string::npos, b, i + 1) == 0;
}

std::string lower(const char *text) {
    std::string s(text);
    for (char &c : s) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

}  // namespace

int build_layouts(const char *dir, int32_t protocol, layout_build_t *build) {
    build->protocol = protocol;
    build->dir = dir;
    build->dir_error = 0;
    build->entries.clear();
    build->lines.clear();
    build->failures.clear();

    const char *saved_dir = g_keylayout_dir;
    int32_t saved_protocol = ir_protocol_used;
    g_keylayout_dir = dir;
    ir_protocol_used = protocol;
    g_observed = build;
    g_keymap_observer = &k_observer;
    errno = 0;
    int count = init_orvex_ir_map();
    int error_number = errno;
    g_keymap_observer = nullptr;
    g_observed = nullptr;
    g_keylayout_dir = saved_dir;
    ir_protocol_used = saved_protocol;

    memcpy(build->base, g_base_keymap, sizeof(build->base));
    memcpy(build->maps, g_customer_maps, sizeof(build->maps));
    build->count = count < 0 ? 0 : count;
    if (count < 0) {
        build->dir_error = error_number != 0 ? error_number : EIO;
        return -1;
    }
    return 0;
}

void use_layouts(const layout_build_t *build) {
    memcpy(g_customer_maps, build->maps, sizeof(g_customer_maps));
    g_customer_map_count = build->count;
    ir_protocol_used = build->protocol;
}

std::string standard_layout_path(const layout_build_t *build) {
    return build->dir + "/" + k_standard_layout_file;
}

std::string base_name(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char *protocol_name(int32_t protocol) {
    return protocol == k_ir_protocol_rc5 ? "RC5" : "NEC";
}

std::string customer_code_text(int32_t protocol, int customer_code) {
    char text[16];
    snprintf(text, sizeof(text), "%0*x", customer_name_pattern(protocol)->digits, customer_code);
    return text;
}

std::string customer_file_name(int32_t protocol, int customer_code) {
    return customer_name_pattern(protocol)->prefix + customer_code_text(protocol, customer_code) +
           k_customer_name_suffix;
}

std::string customer_file_pattern(int32_t protocol) {
    const customer_name_pattern_t *pattern = customer_name_pattern(protocol);
    return pattern->prefix + std::string(static_cast<size_t>(pattern->digits), 'X') +
           k_customer_name_suffix;
}

int standard_scancode_of(const layout_build_t *build, const char *name, bool *at_zero) {
    *at_zero = build->base[0].scancode == 0 && strcmp(build->base[0].name, name) == 0;
    for (int i = 1; i < k_keymap_size; i++) {
        if (build->base[i].scancode != 0 && strcmp(build->base[i].name, name) == 0) {
            return i;
        }
    }
    return 0;
}

bool standard_has(const layout_build_t *build, const char *name) {
    bool at_zero;
    return name != nullptr && standard_scancode_of(build, name, &at_zero) != 0;
}

std::string nearest_standard_name(const layout_build_t *build, const char *name) {
    // A Linux key name written for a label: the name import would give the key.
    int code = linux_key_code(name);
    for (const char *label : {android_label(code), remote_label(code)}) {
        if (code >= 0 && standard_has(build, label)) {
            return label;
        }
    }
    // Android's own name for a label carries a prefix ("KEYCODE_BACK"); Linux's too.
    std::string wanted = lower(name);
    for (std::string prefix : {"keycode_", "key_"}) {
        if (wanted.size() > prefix.size() && wanted.compare(0, prefix.size(), prefix) == 0) {
            wanted.erase(0, prefix.size());
            break;
        }
    }
    // One edit away from a name of one or two characters is any other such name.
    bool edits = wanted.size() > 2;
    std::string one_edit;
    for (int i = 1; i < k_keymap_size; i++) {
        if (build->base[i].scancode == 0) {
            continue;
        }
        std::string candidate = lower(build->base[i].name);
        if (candidate == wanted) {
            return build->base[i].name;
        }
        if (edits && one_edit.empty() && edit_distance_at_most_one(candidate, wanted)) {
            one_edit = build->base[i].name;
        }
    }
    return one_edit;
}
