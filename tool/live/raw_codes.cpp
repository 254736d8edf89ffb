// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <memory>

#include "core/hex_digit.h"
#include "core/protocol.h"
#include "core/raw_code.h"
#include "inject/inject.h"
#include "tool/layouts/layouts.h"
#include "tool/live/live.h"
#include "tool/live/raw_describer.h"
#include "tool/options.h"
#include "tool/print.h"
#include "tool/tables/tables.h"

namespace {

// What the daemon's key writer wrote for one report, read back from a pipe standing in for
// the virtual keyboard.
std::string written_keys(int read_fd) {
    std::string text;
    struct input_event record;
    while (read(read_fd, &record, sizeof(record)) == static_cast<ssize_t>(sizeof(record))) {
        if (record.type != EV_KEY) {
            continue;
        }
        text += text.empty() ? "" : ", ";
        text += std::string(record.value ? "press " : "release ") + linux_key_name(record.code) +
                " (" + std::to_string(record.code) + ")";
    }
    return text;
}

// Runs the daemon's planning and key writing for one event against a pipe, keeping the key
// state in *key_down.
std::string translate(const struct input_event *event, key_report_t *report, int *key_down) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        return "(cannot make a pipe: " + std::string(strerror(errno)) + ")";
    }
    key_dev_t dev = {fds[1], nullptr, *key_down};
    plan_key_report(event, report);
    write_key_report(&dev, report);
    *key_down = dev.key_down;
    std::string written = written_keys(fds[0]);
    close(fds[0]);
    close(fds[1]);
    return written;
}

std::string describe_one(raw_describer_t *describer, size_t b, const struct input_event *event,
                         bool *changes) {
    const layout_build_t *build = describer->builds[b].get();
    use_layouts(build);
    key_report_t report;
    std::string written = translate(event, &report, &describer->key_down[b]);
    *changes = report.action != k_key_none;

    int32_t protocol = build->protocol;
    const raw_code_t &raw = report.raw;
    char head[160];
    snprintf(head, sizeof(head), "%s customer 0x%s command %d (0x%02x) %s", protocol_name(protocol),
             customer_code_text(protocol, raw.customer_code).c_str(), raw.command, raw.command,
             raw.pressed ? "pressed" : "released");
    std::string line = head;
    uint32_t ignored = ignored_raw_bits(event->value, protocol);
    if (ignored != 0) {
        char bits[48];
        snprintf(bits, sizeof(bits), ", ignored bits 0x%08x", ignored);
        line += bits;
    }

    std::string offer;
    if (event->type == EV_SYN && event->code == SYN_DROPPED) {
        line = std::string(protocol_name(protocol)) +
               " SYN_DROPPED, the receiver's queue overflowed and lost events: ";
        line += written.empty() ? "writes nothing, no key is down" : "writes " + written;
    } else if (report.table < 0) {
        if (describer->library == nullptr) {
            describer->library = std::make_unique<keymap_library_t>();
            read_keymap_library(describer->options, true, describer->library.get());
        }
        line += ": " + missing_file_advice(build, *describer->library, raw.customer_code);
    } else if (report.scancode == 0) {
        std::string file = base_name(build->table_path[report.table]);
        const keymap_t &key = build->customer[report.table][raw.command];
        bool at_zero;
        standard_scancode_of(build, key.name, &at_zero);
        if (key.name[0] == '\0') {
            line += ": " + file + " has no line for command " + std::to_string(raw.command);
        } else if (at_zero) {
            line += ": " + file + " names command " + std::to_string(raw.command) + " \"" +
                    key.name + "\", which " + k_standard_layout_file +
                    " has only at scancode 0, never a target";
        } else {
            line += ": " + file + " names command " + std::to_string(raw.command) + " \"" +
                    key.name + "\", which " + k_standard_layout_file + " lacks";
        }
    } else {
        int sc = report.scancode;
        line += " -> " + std::to_string(sc) + " " + build->base[sc].name + " (" +
                linux_key_name(sc) + "): ";
        line += written.empty() ? "writes nothing, no key is down" : "writes " + written;
        if (report.action == k_key_press && sc == k_one_touch_play_scancode) {
            line += std::string(", sets ") + k_one_touch_play_property + " to 1";
        }
    }
    // Learning a remote: a line to paste into its file, once per command.
    if (raw.pressed &&
        (report.table < 0 || build->customer[report.table][raw.command].name[0] == '\0')) {
        uint32_t key =
            static_cast<uint32_t>(raw.customer_code) << 8 | static_cast<uint32_t>(raw.command);
        if (describer->offered[b].insert(key).second) {
            offer = "    key " + std::to_string(raw.command) + " ?\n";
        }
    }
    return line + "\n" + offer;
}

// A raw code as getevent prints it: hexadecimal, with or without 0x, at most 8 digits.
int parse_raw(const std::string &text, uint32_t *value) {
    size_t start = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    if (text.size() == start || text.size() - start > 8) {
        return -1;
    }
    uint32_t parsed = 0;
    for (size_t i = start; i < text.size(); i++) {
        int digit = hex_digit_value(text[i]);
        if (digit < 0) {
            return -1;
        }
        parsed = parsed << 4 | static_cast<uint32_t>(digit);
    }
    *value = parsed;
    return 0;
}

}  // namespace

int start_describer(raw_describer_t *describer, const tool_options_t *options, FILE *err) {
    describer->options = options;
    for (int32_t protocol : options->protocols) {
        describer->builds.push_back(std::make_unique<layout_build_t>());
        if (build_layouts(options->dir.c_str(), protocol, describer->builds.back().get()) != 0) {
            tool_print(err, "dravoke-keymap: cannot list %s: %s\n", options->dir.c_str(),
                       strerror(describer->builds.back()->dir_error));
            return -1;
        }
    }
    describer->key_down.assign(describer->builds.size(), 0);
    describer->offered.assign(describer->builds.size(), std::set<uint32_t>());
    return 0;
}

std::string describe_event(raw_describer_t *describer, const struct input_event *event) {
    std::string text;
    for (size_t b = 0; b < describer->builds.size(); b++) {
        bool changes;
        std::string line = describe_one(describer, b, event, &changes);
        // The driver's synchronisation records go through the daemon too, mostly to no effect.
        if (event->type != EV_SYN || changes) {
            text += line;
        }
    }
    return text;
}

void print_described(FILE *out, const std::string &prefix, const std::string &text) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        // The "key N ?" offers stand apart, ready to copy.
        tool_print(out, "%s%s\n", line.compare(0, 4, "    ") == 0 ? "" : prefix.c_str(),
                   line.c_str());
        at = end + 1;
    }
    fflush(out);
}

int run_decode(const tool_options_t *options, FILE *out, FILE *err) {
    std::vector<uint32_t> raws;
    for (const std::string &arg : options->args) {
        uint32_t value;
        if (parse_raw(arg, &value) != 0) {
            tool_print(err, "dravoke-keymap: '%s' is not a raw code (up to 8 hexadecimal digits)\n",
                       arg.c_str());
            tool_print(err, "Try 'dravoke-keymap decode --help'.\n");
            return 2;
        }
        raws.push_back(value);
    }
    raw_describer_t describer;
    if (start_describer(&describer, options, err) != 0) {
        return 1;
    }
    for (uint32_t raw : raws) {
        struct input_event event;
        memset(&event, 0, sizeof(event));
        event.type = EV_MSC;
        event.code = MSC_SCAN;
        event.value = static_cast<int32_t>(raw);
        char code[16];
        snprintf(code, sizeof(code), "%08x ", raw);
        print_described(out, code, describe_event(&describer, &event));
    }
    return 0;
}
