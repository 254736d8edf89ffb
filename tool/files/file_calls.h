// SPDX-License-Identifier: Apache-2.0
#pragma once

// The calls that give a written file its name. A race for the name cannot be staged with
// files alone, nor can a filesystem without these calls: production uses the real calls;
// tests replace single entries and restore the table with reset_file_calls().
struct file_calls_t {
    // Renames from to to unless to exists (EEXIST); EINVAL where the filesystem cannot.
    int (*rename_noreplace)(const char *from, const char *to);
    int (*link)(const char *from, const char *to);
};

extern file_calls_t g_file_calls;

void reset_file_calls(void);
