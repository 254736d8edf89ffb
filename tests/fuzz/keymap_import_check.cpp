// SPDX-License-Identifier: Apache-2.0
#include "keymap_import_check.h"

#include <linux/input.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

#include "core/protocol.h"
#include "inject/inject.h"
#include "support/log_capture.h"
#include "tool/import/import_files.h"
#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool_fuzz_fixture.h"

namespace {

struct fixture_t {
    std::string dir;
    tool_options_t options;
    layout_build_t standard;
    layout_build_t decoding;
};

fixture_t *fixture() {
    static fixture_t *made = [] {
        fixture_t *f = new fixture_t();
        f->dir = make_layout_folder();
        f->options = fuzz_options(f->dir);
        if (build_layouts(f->dir.c_str(), k_ir_protocol_nec, &f->standard) != 0) {
            abort();
        }
        return f;
    }();
    return made;
}

// The standard scancode that a customer code and command decode to under the tables in use, 0
// for none.
int decode(int customer_code, int command) {
    struct input_event event = {};
    event.type = EV_MSC;
    event.value = static_cast<int32_t>(
        k_raw_pressed_bit | static_cast<uint32_t>(customer_code) << k_raw_customer_shift |
        static_cast<uint32_t>(command));
    key_report_t report;
    plan_key_report(&event, &report);
    return report.scancode;
}

void check_file(fixture_t *f, const import_file_t &file) {
    // A file over the daemon's limit is refused and named: none of its codes decodes then.
    std::string path = f->dir + "/" + customer_file_name(file.protocol, file.customer_code);
    bool written = access(path.c_str(), F_OK) == 0;
    int commands = file.protocol == k_ir_protocol_rc5 ? k_rc5_command_mask + 1 : k_keymap_size;
    for (int command = 0; command < commands; command++) {
        auto line = file.lines.find(command);
        int want = 0;
        bool at_zero;
        if (written && line != file.lines.end()) {
            want = standard_scancode_of(&f->standard, line->second.name.c_str(), &at_zero);
        }
        int got = decode(file.customer_code, command);
        if (got != want || (written && line != file.lines.end() && want == 0)) {
            fprintf(stderr, "%s customer 0x%04x command %d decodes to %d, written for %s (%d)\n",
                    protocol_name(file.protocol), file.customer_code, command, got,
                    line == file.lines.end() ? "no key" : line->second.name.c_str(), want);
            abort();
        }
    }
}

}  // namespace

void import_and_check(const std::string &text) {
    fixture_t *f = fixture();
    keytable_t table;
    keytable_error_t error;
    if (parse_keytable(text, "fuzz.toml", &table, &error) != 0) {
        // A keymap refused says why.
        if (error.text.empty()) {
            abort();
        }
        return;
    }
    import_t import = {&f->standard, &f->options, {}, {}, fuzz_output(), 0, {}};
    for (const keytable_protocol_t &protocol : table.protocols) {
        import_protocol(&import, "fuzz.toml", table, protocol);
    }
    if (!import.files.empty()) {
        write_imported_files(&import, f->dir);
        for (int32_t protocol : {k_ir_protocol_nec, k_ir_protocol_rc5}) {
            build_layouts(f->dir.c_str(), protocol, &f->decoding);
            use_layouts(&f->decoding);
            for (const auto &file : import.files) {
                if (file.second.protocol == protocol) {
                    check_file(f, file.second);
                }
            }
        }
        remove_written_files(f->dir);
    }
    captured_logs().clear();
}
