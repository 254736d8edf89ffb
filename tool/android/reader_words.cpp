// SPDX-License-Identifier: Apache-2.0
// The words each version of Android's key layout reader takes, from the generated facts.
#include <string.h>

#include <string>

#include "tool/android/reader_words.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

namespace {

const char *keyword_context(android_word_kind_t kind) {
    switch (kind) {
        case k_word_line:
            return "line";
        case k_word_in_key:
            return "key";
        case k_word_in_led:
            return "led";
        default:
            return "axis";
    }
}

// Calls each(word, value, first, last) for every word of a kind, in its table's order.
template <typename each_t>
void for_each_word(android_word_kind_t kind, each_t each) {
    auto facts = [&](const android_word_t *words, int count) {
        for (int i = 0; i < count; i++) {
            int last = words[i].last_version != 0 ? words[i].last_version : k_android_newest;
            each(words[i].word, words[i].code, words[i].first_version, last);
        }
    };
    switch (kind) {
        case k_word_label:
            facts(k_android_key_labels, k_android_key_label_count);
            break;
        case k_word_flag:
            facts(k_android_key_flags, k_android_key_flag_count);
            break;
        case k_word_axis:
            facts(k_android_axes, k_android_axis_count);
            break;
        case k_word_led:
            facts(k_android_leds, k_android_led_count);
            break;
        case k_word_sensor:
            facts(k_android_sensor_types, k_android_sensor_type_count);
            break;
        case k_word_sensor_data:
            facts(k_android_sensor_indexes, k_android_sensor_index_count);
            break;
        default:
            for (int i = 0; i < k_android_keyword_count; i++) {
                const android_keyword_t &k = k_android_keywords[i];
                if (strcmp(k.context, keyword_context(kind)) == 0) {
                    each(k.word, 0, k.first_version,
                         k.last_version != 0 ? k.last_version : k_android_newest);
                }
            }
    }
}

}  // namespace

bool android_word_versions(android_word_kind_t kind, const std::string &word, int *first,
                           int *last) {
    if (kind == k_word_label) {
        return android_label_versions(word, first, last);
    }
    bool found = false;
    for_each_word(kind, [&](const char *name, int, int from, int to) {
        if (!found && word == name) {
            found = true;
            *first = from;
            *last = to;
        }
    });
    return found;
}

bool android_takes_word(android_word_kind_t kind, const std::string &word, int version) {
    int first;
    int last;
    return android_word_versions(kind, word, &first, &last) && first <= version && version <= last;
}

int android_word_value(android_word_kind_t kind, const std::string &word, int version) {
    int value = -1;
    for_each_word(kind, [&](const char *name, int code, int from, int to) {
        value = word == name && from <= version && version <= to ? code : value;
    });
    return value;
}

std::string android_word_named(android_word_kind_t kind, int value, int version) {
    std::string named;
    for_each_word(kind, [&](const char *name, int code, int from, int to) {
        named = named.empty() && code == value && from <= version && version <= to ? name : named;
    });
    return named;
}

std::string android_words_of(android_word_kind_t kind, int version) {
    std::string words;
    for_each_word(kind, [&](const char *name, int, int from, int to) {
        if (from <= version && version <= to) {
            words += (words.empty() ? "" : ", ") + std::string(name);
        }
    });
    return words;
}

unsigned android_flag_bit(const std::string &word) {
    for (int i = 0; i < k_android_key_flag_count; i++) {
        if (word == k_android_key_flags[i].word) {
            return 1u << i;
        }
    }
    return 0;
}
