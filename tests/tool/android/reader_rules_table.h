#pragma once

// Android's key layout reader rules as facts, generated into reader_rules_table.cpp by
// tool/tables/gen_tables.py.

#include <stddef.h>

#include <string>

struct reader_rule_row_t {
    const char *rule;
    unsigned versions;  // bit v: Android v
    int abi;            // the box's long: 32 or 64 bits; 0 for both
    std::string example;
    bool accept;
    const char *kernel;   // the config the running kernel has, "" for none
    const char *read_as;  // what is read, in the facts' notation: "116=POWER axis:1=0"
    const char *message;  // a part of the reader's own message on refusal
};
extern const reader_rule_row_t k_reader_rule_rows[];
extern const int k_reader_rule_row_count;
