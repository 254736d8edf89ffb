// SPDX-License-Identifier: Apache-2.0
// check's reading of the folder's file names: names meant as customer layouts that the daemon
// passes over, and customer files whose use depends on the order the folder lists them in.
#include <ctype.h>

#include <algorithm>
#include <map>

#include "core/protocol.h"
#include "tool/check/diagnostics.h"
#include "tool/layouts/layouts.h"

namespace {

std::string lower_dashless(const std::string &name) {
    std::string s = name;
    for (char &c : s) {
        c = c == '-' || c == ' ' ? '_' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// A name that was meant as a customer layout: what it should have been, or "".
std::string repaired_name(const std::string &name, int32_t *protocol) {
    std::string s = lower_dashless(name);
    std::string rc5_prefix = customer_name_pattern(k_ir_protocol_rc5)->prefix;
    *protocol =
        s.compare(0, rc5_prefix.size(), rc5_prefix) == 0 ? k_ir_protocol_rc5 : k_ir_protocol_nec;
    std::string prefix = customer_name_pattern(*protocol)->prefix;
    size_t digits_wanted = static_cast<size_t>(customer_name_pattern(*protocol)->digits);
    if (s.compare(0, prefix.size(), prefix) != 0) {
        return "";
    }
    size_t end = s.find('.', prefix.size());
    std::string digits =
        s.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
    if (digits.compare(0, 2, "0x") == 0) {
        digits.erase(0, 2);
    }
    while (digits.size() > digits_wanted && digits[0] == '0') {
        digits.erase(0, 1);
    }
    if (digits.empty() || digits.size() > digits_wanted ||
        digits.find_first_not_of("0123456789abcdef") != std::string::npos) {
        return "";
    }
    std::string repaired =
        prefix + std::string(digits_wanted - digits.size(), '0') + digits + k_customer_name_suffix;
    return match_kl_filename(repaired.c_str(), *protocol, nullptr) >= 0 ? repaired : "";
}

}  // namespace

void check_name(report_t *report, const layout_build_t *build, const listed_entry_t &entry,
                bool single_protocol, const std::set<std::string> &names) {
    std::string path = build->dir + "/" + entry.name;
    if (entry.customer_code >= 0) {
        return;
    }
    if (lower_dashless(entry.name).compare(0, 8, "customer") != 0) {
        return;
    }
    int32_t other = build->protocol == k_ir_protocol_rc5 ? k_ir_protocol_nec : k_ir_protocol_rc5;
    if (match_kl_filename(entry.name.c_str(), other, nullptr) >= 0) {
        if (single_protocol) {
            add(report, path, 0, k_warning,
                "not read: a layout for %s remotes, and the receiver "
                "decodes %s",
                protocol_name(other), protocol_name(build->protocol));
        }
        return;
    }
    int32_t meant;
    std::string repaired = repaired_name(entry.name, &meant);
    kl_name_note_t why;
    match_kl_filename(entry.name.c_str(), meant, &why);
    const customer_name_pattern_t *pattern = customer_name_pattern(meant);
    std::string reason =
        why == k_name_prefix   ? std::string("begin with \"") + pattern->prefix + "\" exactly"
        : why == k_name_digits ? "carry the customer code in exactly " +
                                     std::to_string(pattern->digits) + " hexadecimal digits"
                               : std::string("end in \".kl\", in lower case");
    std::string hint;
    if (!repaired.empty() && names.count(repaired) != 0) {
        hint = " (" + repaired + " exists beside it)";
    } else if (!repaired.empty()) {
        hint = " (did you mean " + repaired + "?)";
    }
    add(report, path, 0, k_warning, "not read: the name of a %s customer layout must %s%s",
        protocol_name(meant), reason.c_str(), hint.c_str());
}

namespace {

// "a, b and c"
std::string listed(const std::vector<std::string> &names) {
    std::string text;
    for (size_t i = 0; i < names.size(); i++) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

}  // namespace

void check_listing(report_t *report, const layout_build_t *build) {
    // The daemon takes customer files in its folder's listing order, which the box's
    // filesystem decides: verdicts that hang on it would hold on this machine only.
    std::map<int, std::vector<std::string>> by_code;
    std::vector<std::string> all;
    for (const listed_entry_t &entry : build->entries) {
        if (entry.customer_code >= 0) {
            by_code[entry.customer_code].push_back(entry.name);
            all.push_back(entry.name);
        }
    }
    for (auto &code : by_code) {
        if (code.second.size() < 2) {
            continue;
        }
        std::sort(code.second.begin(), code.second.end());
        add(report, build->dir, 0, k_error,
            "customer code 0x%s has %s files, %s: the daemon uses whichever the box's folder lists "
            "first; keep one",
            customer_code_text(build->protocol, code.first).c_str(),
            code.second.size() == 2 ? "two" : std::to_string(code.second.size()).c_str(),
            listed(code.second).c_str());
    }
    if (all.size() > static_cast<size_t>(k_max_customer_maps)) {
        std::sort(all.begin(), all.end());
        add(report, build->dir, 0, k_error,
            "%zu %s customer files, and the daemon reads %d: which %d depends on the order the "
            "box's folder lists them, the others are never used; keep %d at most: %s",
            all.size(), protocol_name(build->protocol), k_max_customer_maps, k_max_customer_maps,
            k_max_customer_maps, listed(all).c_str());
    }
}
