// SPDX-License-Identifier: Apache-2.0
// A learning session without recognition ends by itself after the last name, however that
// name was answered; a press after it is not learned.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "support/daemon_fixture.h"
#include "tool/learn/learn_session.h"

namespace {

using learn_session = daemon_test;

TEST_F(learn_session, ends_by_itself_after_the_last_name) {
    ASSERT_EQ(mkdir(path("box").c_str(), 0755), 0);
    write_file("box/orvex-ir.kl", "key 1 POWER\nkey 2 HOME\nkey 3 BACK\n");
    layout_build_t build;
    ASSERT_EQ(build_layouts(path("box").c_str(), k_ir_protocol_nec, &build), 0);
    tool_options_t options = {};
    options.dir = path("box");
    // Steps: "#N" presses command N of customer 0x1234, anything else is an answer.
    const struct {
        std::vector<std::string> steps;
        size_t done_after;  // steps taken when the session ends
        std::map<int, std::string> lines;
    } rows[] = {
        {{"#5", "#6", "#7", "#8"}, 3, {{5, "POWER"}, {6, "HOME"}, {7, "BACK"}}},
        {{"n", "", "#7"}, 3, {{7, "BACK"}}},
    };
    const keymap_library_t no_library = {};
    for (const auto &row : rows) {
        learn_t learn = {};
        learn.options = &options;
        learn.build = &build;
        learn.out_dir = path("box");
        learn.names = learnable_names(&build);
        learn.customer_code = -1;
        learn.library = &no_library;
        char *text = nullptr;
        size_t size = 0;
        learn.out = open_memstream(&text, &size);
        learn_prompt(&learn);
        size_t taken = 0;
        for (const std::string &step : row.steps) {
            if (learn.done) {
                break;
            }
            if (step[0] == '#') {
                learn_press(&learn, {0x1234, std::stoi(step.substr(1)), true});
                learn_press(&learn, {0x1234, std::stoi(step.substr(1)), false});
            } else {
                learn_answer(&learn, step);
            }
            taken++;
        }
        fclose(learn.out);
        std::string printed(text, size);
        free(text);
        EXPECT_TRUE(learn.done) << printed;
        EXPECT_EQ(taken, row.done_after) << printed;
        EXPECT_EQ(learn.assigned, row.lines) << printed;
    }
}

}  // namespace
