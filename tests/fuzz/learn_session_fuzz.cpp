// SPDX-License-Identifier: Apache-2.0
// A learning session driven as learn drives it: answer lines of any bytes and presses of any
// raw code, in any order, in a folder that already holds a file for one remote of each
// protocol, with or without recognition of the library's remotes. The session must stay
// whole: the name asked is one of the list while it runs, the remote is the first press's,
// and every learned line gives a learnable name a command of the table's range.
//   input: flags (1 byte: bit 0 RC5, bit 1 --force, bit 2 recognition), then answer bytes,
//   each line ended by a newline, and presses: a 0xff byte, then the raw code's customer code
//   (2 bytes, high first) and command (1 byte)
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "core/raw_code.h"
#include "support/log_capture.h"
#include "tool/layouts/layouts.h"
#include "tool/learn/learn_session.h"
#include "tool_fuzz_fixture.h"

namespace {

struct fixture_t {
    std::string dir;
    std::string out_dir;
    layout_build_t builds[2];  // by protocol
    std::vector<std::string> names[2];
    tool_options_t options[2];
    learn_t recognising[2];  // a session's start with the library's files made, made once
};

void write_file(const std::string &path, const std::string &text) {
    FILE *file = fopen(path.c_str(), "w");
    if (file == nullptr || fputs(text.c_str(), file) < 0 || fclose(file) != 0) {
        abort();
    }
}

fixture_t *g_fixture;

void check_session(const learn_t &learn, int32_t protocol, int first_customer_code) {
    const std::vector<std::string> &names = g_fixture->names[protocol];
    // Recognition asks the names in another order, and taking a keymap leaves out its names.
    bool whole = learn.at <= learn.names.size() && (learn.done || learn.at < learn.names.size()) &&
                 learn.customer_code == first_customer_code;
    for (const std::string &name : learn.names) {
        whole = whole && std::find(names.begin(), names.end(), name) != names.end();
    }
    for (const auto &line : learn.assigned) {
        whole = whole && line.first >= 0 && line.first < k_keymap_size &&
                std::find(names.begin(), names.end(), line.second) != names.end();
    }
    if (!whole) {
        fprintf(stderr, "session broken: at %zu of %zu, done %d, customer %d (first press %d)\n",
                learn.at, names.size(), learn.done, learn.customer_code, first_customer_code);
        abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    g_fixture = new fixture_t();
    g_fixture->dir = make_layout_folder();
    g_fixture->out_dir = make_layout_folder();
    // Files to start from with --force, in the other digit case: a name twice, a line the
    // daemon passes over.
    write_file(g_fixture->dir + "/customer_ir_80FF.kl",
               "key 18 POWER\nkey 19 POWER\nkey 20 DPAD_UP\nkey 300 HOME\n");
    write_file(g_fixture->dir + "/customer_rc5_ir_05.kl", "key 1 BACK\nkey 127 MENU\n");
    for (int32_t protocol : {k_ir_protocol_nec, k_ir_protocol_rc5}) {
        if (build_layouts(g_fixture->dir.c_str(), protocol, &g_fixture->builds[protocol]) != 0) {
            abort();
        }
        g_fixture->names[protocol] = learnable_names(&g_fixture->builds[protocol]);
        g_fixture->options[protocol] = fuzz_options(g_fixture->dir);
        g_fixture->options[protocol].protocols = {protocol};
        learn_t &start = g_fixture->recognising[protocol];
        start.options = &g_fixture->options[protocol];
        start.build = &g_fixture->builds[protocol];
        start.names = g_fixture->names[protocol];
        start.customer_code = -1;
        start.out = fuzz_output();
        start.library = fuzz_library();
        start_library_match(&start.match, start.build, start.options, *start.library, start.names,
                            start.out);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    int32_t protocol = data[0] & 1 ? k_ir_protocol_rc5 : k_ir_protocol_nec;
    tool_options_t options = fuzz_options(g_fixture->dir);
    options.protocols = {protocol};
    options.out_dir = g_fixture->out_dir;
    options.force = (data[0] & 2) != 0;
    learn_t learn{};
    if (data[0] & 4) {
        learn = g_fixture->recognising[protocol];
    }
    learn.options = &options;
    learn.build = &g_fixture->builds[protocol];
    learn.out_dir = g_fixture->out_dir;
    learn.names = g_fixture->names[protocol];
    learn.customer_code = -1;
    learn.out = fuzz_output();
    learn.library = fuzz_library();
    learn_prompt(&learn);

    int first_customer_code = -1;
    std::string answer;
    for (size_t at = 1; at < size; at++) {
        if (data[at] == 0xff && at + 3 < size) {
            uint32_t value =
                k_raw_pressed_bit | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
            raw_code_t raw = decode_raw_code(static_cast<int32_t>(value), protocol);
            // The first press the running session takes makes the remote.
            if (first_customer_code < 0 && !learn.done) {
                first_customer_code = raw.customer_code;
            }
            learn_press(&learn, raw);
            at += 3;
        } else if (data[at] != '\n') {
            answer += static_cast<char>(data[at]);
            continue;
        } else {
            // Answers, as learn takes them, only while the session runs.
            if (!learn.done) {
                learn_answer(&learn, answer);
            }
            answer.clear();
        }
        check_session(learn, protocol, first_customer_code);
    }
    captured_logs().clear();
    return 0;
}
