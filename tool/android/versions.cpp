// SPDX-License-Identifier: Apache-2.0
// Which Android versions a verdict is for, and how messages name them.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include <cutils/properties.h>

#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/files/files.h"
#include "tool/tables/tables.h"

namespace {

// Android's SDK levels from 9 on; 32 is 12L, whose reader is read as 12's.
const struct {
    int sdk;
    int version;
} k_sdk_versions[] = {{28, 9},  {29, 10}, {30, 11}, {31, 12}, {32, 12},
                      {33, 13}, {34, 14}, {35, 15}, {36, 16}};

// Key layouts are a few KiB; a limit far above them keeps a device from filling memory.
constexpr size_t k_max_layout_bytes = 1 << 20;

std::string range_text(int first, int last) {
    return first == last ? std::to_string(first)
                         : std::to_string(first) + " to " + std::to_string(last);
}

}  // namespace

unsigned android_versions(int first, int last) {
    unsigned versions = 0;
    for (int v = first; v <= last; v++) {
        versions |= 1u << v;
    }
    return versions;
}

std::string android_versions_text(unsigned versions) {
    if (versions == android_versions(k_android_oldest, k_android_newest)) {
        return "Android";
    }
    // Runs of versions; a run of two is named as two.
    std::vector<std::string> parts;
    for (int v = k_android_oldest; v <= k_android_newest; v++) {
        if ((versions & (1u << v)) == 0) {
            continue;
        }
        int last = v;
        while (last < k_android_newest && (versions & (1u << (last + 1))) != 0) {
            last++;
        }
        if (last == v + 1) {
            parts.push_back(std::to_string(v));
            parts.push_back(std::to_string(last));
        } else {
            parts.push_back(range_text(v, last));
        }
        v = last;
    }
    std::string text = "Android";
    for (size_t i = 0; i < parts.size(); i++) {
        text += (i == 0 ? " " : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text;
}

std::string android_verb(unsigned versions, const std::string &verb) {
    bool one = (versions & (versions - 1)) == 0 || android_versions_text(versions) == "Android";
    return one ? verb + "s" : verb;
}

int android_version_of_sdk(int sdk) {
    for (const auto &entry : k_sdk_versions) {
        if (entry.sdk == sdk) {
            return entry.version;
        }
    }
    return 0;
}

void android_judged(const tool_options_t *options, int *first, int *last) {
    bool set = options->android_first != 0;
    *first = set ? options->android_first : k_android_oldest;
    *last = set ? options->android_last : k_android_newest;
}

int settle_android_versions(tool_options_t *options, const char *given, const char *abi,
                            std::string *why) {
    // On the box the box's own version and word size; a host has no such property.
    char sdk_text[PROPERTY_VALUE_MAX] = "";
    property_get("ro.build.version.sdk", sdk_text, "");
    int sdk = atoi(sdk_text);
    options->on_android = sdk > 0;
    // The tool runs in the box's userspace, whose long is its own.
    int own = static_cast<int>(sizeof(long)) * 8;
    if (abi != nullptr && strcmp(abi, "32") != 0 && strcmp(abi, "64") != 0) {
        *why = std::string("--abi takes 32 or 64, not '") + abi + "'";
        return -1;
    }
    options->abi = abi != nullptr ? atoi(abi) : options->on_android ? own : 0;
    options->abi_origin = abi != nullptr ? std::string("a ") + abi + "-bit box from --abi"
                          : options->on_android
                              ? "a " + std::to_string(own) + "-bit box, the tool's own word size"
                              : "32- and 64-bit boxes, without --abi";
    if (given != nullptr) {
        // 12L reads key layouts as 12 does.
        std::string text = strcmp(given, "12L") == 0 ? "12" : given;
        char *end = nullptr;
        long version = strtol(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0' || version < k_android_oldest ||
            version > k_android_newest) {
            *why = "--android takes a version from " +
                   range_text(k_android_oldest, k_android_newest) + ", not '" + given + "'";
            return -1;
        }
        options->android_first = options->android_last = static_cast<int>(version);
        options->android_origin = "Android " + std::to_string(version) + " from --android" +
                                  (text != given ? std::string(" ") + given : "");
        return 0;
    }
    int version = android_version_of_sdk(sdk);
    if (!options->on_android) {
        options->android_first = k_android_oldest;
        options->android_last = k_android_newest;
        options->android_origin =
            "Android " + range_text(k_android_oldest, k_android_newest) + ", without --android";
        return 0;
    }
    std::string origin = std::string("ro.build.version.sdk ") + sdk_text;
    if (version == 0) {
        // A version this tool does not know: judged by the nearest it knows.
        version = sdk > k_sdk_versions[0].sdk ? k_android_newest : k_android_oldest;
        origin += ", judged as Android " + std::to_string(version) + ", the nearest known here";
    }
    options->android_first = options->android_last = version;
    options->android_origin = "Android " + std::to_string(version) + " from " + origin;
    return 0;
}

std::string android_judged_text(const tool_options_t *options) {
    return options->android_origin + "; " + options->abi_origin;
}

std::string android_since_text(int first, int last) {
    if (last < k_android_newest) {
        return first == last ? "in Android " + std::to_string(first) + " only"
                             : "from Android " + std::to_string(first) + " to " +
                                   std::to_string(last) + " only";
    }
    return "since Android " + std::to_string(first);
}

int read_android_layouts(const std::string &path, const tool_options_t *options,
                         std::vector<android_layout_t> *layouts, std::string *why) {
    std::string text;
    if (read_regular_file(path, k_max_layout_bytes, &text, why) != 0) {
        return -1;
    }
    kernel_config_t kernel;
    read_kernel_config(options, &kernel);
    for (android_reading_t reading : android_readings(options)) {
        reading.kernel = &kernel;
        layouts->emplace_back();
        read_android_layout(text, reading, &layouts->back());
    }
    return 0;
}

std::vector<android_reading_t> android_readings(const tool_options_t *options) {
    int first;
    int last;
    android_judged(options, &first, &last);
    std::vector<android_reading_t> readings;
    for (int version = first; version <= last; version++) {
        for (int abi : {32, 64}) {
            if (options->abi == 0 || options->abi == abi) {
                readings.push_back({version, abi, nullptr});
            }
        }
    }
    return readings;
}

android_readings_t android_reading_bit(int version, int abi) {
    return android_readings_t{1} << (version + (abi == 32 ? 32 : 0));
}

std::string android_readings_text(android_readings_t readings, bool both) {
    auto on32 = static_cast<unsigned>(readings >> 32);
    auto on64 = static_cast<unsigned>(readings);
    if (!both || on32 == on64) {
        return android_versions_text(on32 | on64);
    }
    std::string text = on32 != 0 ? android_versions_text(on32) + " on a 32-bit box" : "";
    return text + (on32 != 0 && on64 != 0 ? " and " : "") +
           (on64 != 0 ? android_versions_text(on64) + " on a 64-bit box" : "");
}

std::string android_readings_verb(android_readings_t readings, bool both, const std::string &verb) {
    auto on32 = static_cast<unsigned>(readings >> 32);
    auto on64 = static_cast<unsigned>(readings);
    if (both && on32 != on64 && on32 != 0 && on64 != 0) {
        return verb;
    }
    return android_verb(on32 | on64, verb);
}

int generic_kl_oldest(void) {
    return k_generic_kl_versions[0];
}

std::string generic_kl_label(int version, int scancode, bool *known) {
    // The newest known Generic.kl not newer than version, else the oldest known.
    int column = 0;
    for (int i = 0; i < k_generic_kl_version_count; i++) {
        column = k_generic_kl_versions[i] <= version ? i : column;
    }
    *known = k_generic_kl_versions[column] == version;
    const generic_kl_key_t *end = k_generic_kl + k_generic_kl_count;
    const generic_kl_key_t *found = std::lower_bound(
        k_generic_kl, end, scancode,
        [](const generic_kl_key_t &key, int wanted) { return key.scancode < wanted; });
    return found != end && found->scancode == scancode ? found->labels[column] : "";
}
