// SPDX-License-Identifier: Apache-2.0
#include "keymap/key_layout_line.h"

#include <string.h>

namespace {

constexpr size_t k_word_max = 31;
constexpr int32_t k_scancode_max = 255;

// White space as the C locale's scanning knows it; the daemon never changes locale.
bool is_scan_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char *skip_scan_space(const char *p) {
    while (is_scan_space(*p)) {
        p++;
    }
    return p;
}

bool ends_word(char c) {
    return c == '\0' || is_scan_space(c);
}

// Takes the next word, cut after its 31st character; the rest of a longer word stays in the
// input. Returns the position after what was taken, or null when no word is left.
const char *scan_word(const char *p, char word[k_word_max + 1]) {
    p = skip_scan_space(p);
    size_t n = 0;
    while (n < k_word_max && !ends_word(p[n])) {
        word[n] = p[n];
        n++;
    }
    if (n == 0) {
        return nullptr;
    }
    word[n] = '\0';
    return p + n;
}

bool mistyped_keyword(const char *word) {
    const char *k = "key";
    for (; *k != '\0'; word++, k++) {
        if ((*word | 0x20) != *k) {
            return false;
        }
    }
    return true;
}

key_line_note_t note_rejected_line(const char *line, const char *keyword) {
    const char *first = skip_scan_space(line);
    if (*first == '\0') {
        return k_line_blank;
    }
    if (*first == '#') {
        return k_line_tab_before_comment;
    }
    if (strcmp(keyword, "key") == 0) {
        return k_line_incomplete;
    }
    if (mistyped_keyword(keyword)) {
        return k_line_keyword_mistyped;
    }
    // Android's key layout files hold these too; the daemon rightly reads only "key" lines.
    static const char *const k_android_keywords[] = {"axis", "led", "sensor",
                                                     "requires_kernel_config"};
    for (const char *android : k_android_keywords) {
        if (strcmp(keyword, android) == 0) {
            return k_line_android_keyword;
        }
    }
    return k_line_not_key;
}

// Takes a decimal number with an optional sign. However many digits it has, a value outside
// 0..255 comes back as -1, so it can never wrap into range. Returns the position after the
// digits, or null when there is no digit.
const char *scan_scancode(const char *p, int32_t *scancode) {
    p = skip_scan_space(p);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        p++;
    }
    if (*p < '0' || *p > '9') {
        return nullptr;
    }
    int32_t value = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        if (value <= k_scancode_max) {
            value = value * 10 + (*p - '0');
        }
    }
    if (value > k_scancode_max || (negative && value != 0)) {
        value = -1;
    }
    *scancode = value;
    return p;
}

}  // namespace

int parse_key_layout_line(const char *line, int32_t *scancode, char name[32],
                          key_line_note_t *note) {
    key_line_note_t ignored;
    if (note == nullptr) {
        note = &ignored;
    }
    // Only spaces may stand before a comment's "#"; after a tab it is just a first word.
    const char *p = line;
    while (*p == ' ') {
        p++;
    }
    if (*p == '#') {
        *note = k_line_comment;
        return -1;
    }

    char keyword[k_word_max + 1] = "";
    char word[k_word_max + 1];
    int32_t value = -1;
    p = scan_word(line, keyword);
    const char *after_number = p == nullptr ? nullptr : scan_scancode(p, &value);
    const char *after_name = after_number == nullptr ? nullptr : scan_word(after_number, word);
    if (after_name == nullptr || strcmp(keyword, "key") != 0) {
        *note = note_rejected_line(line, keyword);
        return -1;
    }
    if (value < 0) {
        *note = k_line_out_of_range;
        return -1;
    }
    if (!ends_word(*after_number)) {
        *note = k_line_taken_glued;
    } else if (!ends_word(*after_name)) {
        *note = k_line_taken_name_cut;
    } else {
        *note = k_line_taken;
    }
    *scancode = value;
    memcpy(name, word, strlen(word) + 1);
    return 0;
}
