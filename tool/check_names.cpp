// check's reading of the folder's file names: names meant as customer layouts that the daemon
// passes over, and files it lists after its last table.
#include <ctype.h>

#include "core/protocol.h"
#include "tool/check.h"

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
        if (entry.table < 0) {
            add(report, path, 0, k_warning,
                "not read: the daemon builds at most %d customer tables, from the first files in "
                "directory order, and this one comes after them",
                k_max_customer_maps);
        }
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
