// SPDX-License-Identifier: Apache-2.0
// export: a customer layout given back as an ir-keytable keymap, so that the remote works with
// Linux's rc-core and can be offered to the kernel's library; import reads it back as it was.
#include <errno.h>
#include <linux/input.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "core/protocol.h"
#include "keymap/keymap.h"
#include "tool/files/files.h"
#include "tool/import/import.h"
#include "tool/import/import_files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

// Customer layouts are a few hundred bytes; the bound keeps a device or a runaway file out.
constexpr size_t k_max_layout_bytes = 1 << 20;

std::string key_name_of(int code) {
    if (code < 256) {
        return linux_key_name(code);
    }
    for (int i = 0; i < k_linux_key_count; i++) {
        if (k_linux_keys[i].code == code && strncmp(k_linux_keys[i].name, "KEY_", 4) == 0) {
            return k_linux_keys[i].name;
        }
    }
    return "";
}

// The Linux key a remote sends for a name: its meaning on a remote first (KEY_HOME for HOME),
// a key with no other meaning before one that is also a keyboard's, then the key Android's
// generic layout gives the name; each only when import names it so again under the standard
// layout (build, when there is one). "" when no key means it.
std::string linux_key_for(const layout_build_t *build, const std::string &name) {
    int best = -1;
    int best_rank = 3;
    for (int code = 1; code <= KEY_MAX; code++) {
        const char *label = android_label(code);
        const char *generic = generic_label(code);
        const char *meaning = remote_label(code) != nullptr ? remote_label(code)
                              : label != generic            ? label
                                                            : nullptr;
        int rank = meaning != nullptr && name == meaning ? (generic == nullptr ? 0 : 1)
                   : label != nullptr && name == label   ? 2
                                                         : 3;
        const char *again = build != nullptr ? imported_name(build, code) : name.c_str();
        if (rank < best_rank && again != nullptr && name == again && !key_name_of(code).empty()) {
            best = code;
            best_rank = rank;
        }
    }
    return best < 0 ? "" : key_name_of(best);
}

// A scancode in the library's own form: plain NEC when the customer code is an address and its
// inverse, else NECX; RC5 as the receiver reports it.
std::string scancode_text(int32_t protocol, int customer_code, int command, const char **variant) {
    char text[16];
    int low = customer_code & 0xff;
    int high = customer_code >> 8;
    if (protocol == k_ir_protocol_rc5) {
        *variant = "rc5";
        snprintf(text, sizeof(text), "0x%04x", customer_code << 8 | command);
    } else if (high == (~low & 0xff)) {
        *variant = "nec";
        snprintf(text, sizeof(text), "0x%04x", low << 8 | command);
    } else {
        *variant = "necx";
        snprintf(text, sizeof(text), "0x%06x", low << 16 | high << 8 | command);
    }
    return text;
}

// Writes the keymap of one customer layout into out_dir. Returns 0, or 1 having said why not.
int export_layout(const tool_options_t *options, const std::string &path,
                  const std::string &out_dir, FILE *out) {
    std::string file = base_name(path);
    int32_t protocol = k_ir_protocol_nec;
    int code = match_kl_filename(file.c_str(), protocol, nullptr);
    if (code < 0) {
        protocol = k_ir_protocol_rc5;
        code = match_kl_filename(file.c_str(), protocol, nullptr);
    }
    std::string text;
    std::string why;
    if (code < 0) {
        why = "not a customer layout's name (" + customer_file_pattern(k_ir_protocol_nec) + " or " +
              customer_file_pattern(k_ir_protocol_rc5) + ")";
    } else if (read_regular_file(path, k_max_layout_bytes, &text, &why) == 0) {
        why.clear();
    }
    if (!why.empty()) {
        tool_print(out, "%s: error: %s\n", path.c_str(), why.c_str());
        return 1;
    }
    // Keys are chosen so that import, under this standard layout, names them as written.
    auto build = std::make_unique<layout_build_t>();
    bool standard = build_layouts(options->dir.c_str(), protocol, build.get()) == 0 &&
                    build->failures.count(standard_layout_path(build.get())) == 0;
    keymap_t table[k_keymap_size];
    memset(table, 0, sizeof(table));
    create_keymap_from_file(path.c_str(), table);
    std::string stem = file.substr(0, file.size() - 3);
    std::string keymap = "# " + file + " (" + protocol_name(protocol) + " customer 0x" +
                         customer_code_text(protocol, code) + "), by dravoke-keymap export\n";
    std::string scancodes;
    const char *variant = "";
    int keys = 0;
    for (int command = 0; command < k_keymap_size; command++) {
        const char *name = table[command].name;
        if (name[0] == '\0') {
            continue;
        }
        std::string key = linux_key_for(standard ? build.get() : nullptr, name);
        if (key.empty()) {
            tool_print(out, "%s: note: command %d %s not exported: no Linux key %s\n", path.c_str(),
                       command, name, standard ? "that import names so again" : "means it");
            continue;
        }
        scancodes += scancode_text(protocol, code, command, &variant) + " = \"" + key + "\"\n";
        keys++;
    }
    keymap += "[[protocols]]\nname = \"" + stem + "\"\nprotocol = \"" +
              (protocol == k_ir_protocol_rc5 ? "rc5" : "nec") + "\"\nvariant = \"" + variant +
              "\"\n[protocols.scancodes]\n" + scancodes;
    std::string name = stem + ".toml";
    std::string target = out_dir + "/" + name;
    if (keys == 0) {
        tool_print(out, "%s: error: no button to export\n", path.c_str());
        return 1;
    }
    if (!options->force && access(target.c_str(), F_OK) == 0) {
        tool_print(out, "%s: error: exists; --force overwrites it\n", target.c_str());
        return 1;
    }
    if (write_file_atomically(out_dir, name, keymap, options->force) != 0) {
        // A keymap that appeared since the look above is someone's: it stays.
        std::string why = errno == EEXIST ? "exists now, left as it is; --force overwrites it"
                                          : std::string("cannot write: ") + strerror(errno);
        tool_print(out, "%s: error: %s\n", target.c_str(), why.c_str());
        return 1;
    }
    tool_print(out, "wrote %s: %d key%s (%s customer 0x%s)%s\n", target.c_str(), keys,
               keys == 1 ? "" : "s", protocol_name(protocol),
               customer_code_text(protocol, code).c_str(),
               standard ? "" : ", without a standard layout to check the keys against");
    return 0;
}

}  // namespace

int run_export(const tool_options_t *options, FILE *out, FILE *) {
    std::string out_dir = !options->out_dir.empty() ? options->out_dir : ".";
    int status = 0;
    for (const std::string &path : options->args) {
        status |= export_layout(options, path, out_dir, out);
    }
    return status;
}
