// Which Android versions a verdict is for, and how messages name them.
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include <cutils/properties.h>

#include "tool/android/android.h"
#include "tool/tables/tables.h"

namespace {

// Android's SDK levels from 9 on; 32 is 12L, whose reader is read as 12's.
const struct {
    int sdk;
    int version;
} k_sdk_versions[] = {{28, 9},  {29, 10}, {30, 11}, {31, 12}, {32, 12},
                      {33, 13}, {34, 14}, {35, 15}, {36, 16}};

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

int settle_android_versions(tool_options_t *options, const char *given, std::string *why) {
    std::string all = "Android " + range_text(k_android_oldest, k_android_newest);
    if (given != nullptr) {
        char *end = nullptr;
        long version = strtol(given, &end, 10);
        if (end == given || *end != '\0' || version < k_android_oldest ||
            version > k_android_newest) {
            *why = "--android takes a version from " +
                   range_text(k_android_oldest, k_android_newest) + ", not '" + given + "'";
            return -1;
        }
        options->android_first = options->android_last = static_cast<int>(version);
        options->android_origin = "Android " + std::to_string(version) + " from --android";
        return 0;
    }
    // On the box the box's own version; a host has no such property.
    char sdk_text[PROPERTY_VALUE_MAX] = "";
    property_get("ro.build.version.sdk", sdk_text, "");
    int sdk = atoi(sdk_text);
    int version = android_version_of_sdk(sdk);
    if (sdk_text[0] == '\0' || sdk <= 0) {
        options->android_first = k_android_oldest;
        options->android_last = k_android_newest;
        options->android_origin = all + ", without --android";
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
