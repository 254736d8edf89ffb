// The words each version of Android's key layout reader takes. Labels, flags and keywords come
// from the generated facts; axis, LED and sensor names are not among them and are kept here, from
// Android's input headers: remote layouts hardly ever hold such lines, yet a reader that
// refused a correct one would be wrong about the whole file.
#include <string.h>

#include <string>

#include "tool/android/reader_words.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

namespace {

struct named_t {
    const char *word;
    int first_version;
};

const named_t k_axes[] = {
    {"X", 9},
    {"Y", 9},
    {"PRESSURE", 9},
    {"SIZE", 9},
    {"TOUCH_MAJOR", 9},
    {"TOUCH_MINOR", 9},
    {"TOOL_MAJOR", 9},
    {"TOOL_MINOR", 9},
    {"ORIENTATION", 9},
    {"VSCROLL", 9},
    {"HSCROLL", 9},
    {"Z", 9},
    {"RX", 9},
    {"RY", 9},
    {"RZ", 9},
    {"HAT_X", 9},
    {"HAT_Y", 9},
    {"LTRIGGER", 9},
    {"RTRIGGER", 9},
    {"THROTTLE", 9},
    {"RUDDER", 9},
    {"WHEEL", 9},
    {"GAS", 9},
    {"BRAKE", 9},
    {"DISTANCE", 9},
    {"TILT", 9},
    {"SCROLL", 9},
    {"RELATIVE_X", 9},
    {"RELATIVE_Y", 9},
    {"GENERIC_1", 9},
    {"GENERIC_2", 9},
    {"GENERIC_3", 9},
    {"GENERIC_4", 9},
    {"GENERIC_5", 9},
    {"GENERIC_6", 9},
    {"GENERIC_7", 9},
    {"GENERIC_8", 9},
    {"GENERIC_9", 9},
    {"GENERIC_10", 9},
    {"GENERIC_11", 9},
    {"GENERIC_12", 9},
    {"GENERIC_13", 9},
    {"GENERIC_14", 9},
    {"GENERIC_15", 9},
    {"GENERIC_16", 9},
    {"GESTURE_X_OFFSET", 14},
    {"GESTURE_Y_OFFSET", 14},
    {"GESTURE_SCROLL_X_DISTANCE", 14},
    {"GESTURE_SCROLL_Y_DISTANCE", 14},
    {"GESTURE_PINCH_SCALE_FACTOR", 14},
    {"GESTURE_SWIPE_FINGER_COUNT", 14},
};

const named_t k_leds[] = {
    {"NUM_LOCK", 9},      {"CAPS_LOCK", 9},     {"SCROLL_LOCK", 9},   {"COMPOSE", 9},
    {"KANA", 9},          {"SLEEP", 9},         {"SUSPEND", 9},       {"MUTE", 9},
    {"MISC", 9},          {"MAIL", 9},          {"CHARGING", 9},      {"CONTROLLER_1", 12},
    {"CONTROLLER_2", 12}, {"CONTROLLER_3", 12}, {"CONTROLLER_4", 12},
};

// Sensor lines came with Android 12, with these types and data indexes.
const named_t k_sensors[] = {
    {"ACCELEROMETER", 12},
    {"MAGNETIC_FIELD", 12},
    {"ORIENTATION", 12},
    {"GYROSCOPE", 12},
    {"LIGHT", 12},
    {"PRESSURE", 12},
    {"TEMPERATURE", 12},
    {"PROXIMITY", 12},
    {"GRAVITY", 12},
    {"LINEAR_ACCELERATION", 12},
    {"ROTATION_VECTOR", 12},
    {"RELATIVE_HUMIDITY", 12},
    {"AMBIENT_TEMPERATURE", 12},
    {"MAGNETIC_FIELD_UNCALIBRATED", 12},
    {"GAME_ROTATION_VECTOR", 12},
    {"GYROSCOPE_UNCALIBRATED", 12},
    {"SIGNIFICANT_MOTION", 12},
};
const named_t k_sensor_data[] = {{"X", 12}, {"Y", 12}, {"Z", 12}};

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

// Calls each(word, first, last) for every word of a kind, in its table's order.
template <typename each_t>
void for_each_word(android_word_kind_t kind, each_t each) {
    auto named = [&](const named_t *words, size_t count) {
        for (size_t i = 0; i < count; i++) {
            each(words[i].word, words[i].first_version, k_android_newest);
        }
    };
    auto facts = [&](const android_word_t *words, int count) {
        for (int i = 0; i < count; i++) {
            int last = words[i].last_version != 0 ? words[i].last_version : k_android_newest;
            each(words[i].word, words[i].first_version, last);
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
            named(k_axes, sizeof(k_axes) / sizeof(k_axes[0]));
            break;
        case k_word_led:
            named(k_leds, sizeof(k_leds) / sizeof(k_leds[0]));
            break;
        case k_word_sensor:
            named(k_sensors, sizeof(k_sensors) / sizeof(k_sensors[0]));
            break;
        case k_word_sensor_data:
            named(k_sensor_data, sizeof(k_sensor_data) / sizeof(k_sensor_data[0]));
            break;
        default:
            for (int i = 0; i < k_android_keyword_count; i++) {
                const android_keyword_t &k = k_android_keywords[i];
                if (strcmp(k.context, keyword_context(kind)) == 0) {
                    each(k.word, k.first_version,
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
    for_each_word(kind, [&](const char *name, int from, int to) {
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

std::string android_words_of(android_word_kind_t kind, int version) {
    std::string words;
    for_each_word(kind, [&](const char *name, int from, int to) {
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
