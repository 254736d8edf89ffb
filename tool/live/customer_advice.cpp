// SPDX-License-Identifier: Apache-2.0
#include <algorithm>

#include "core/protocol.h"
#include "tool/layouts/layouts.h"
#include "tool/live/live.h"
#include "tool/live/raw_describer.h"
#include "tool/tables/tables.h"

std::string library_remotes_text(int32_t protocol, int customer_code) {
    auto range = std::equal_range(k_library_remotes, k_library_remotes + k_library_remote_count,
                                  library_remote_t{protocol, customer_code, nullptr},
                                  [](const library_remote_t &a, const library_remote_t &b) {
                                      return a.protocol != b.protocol
                                                 ? a.protocol < b.protocol
                                                 : a.customer_code < b.customer_code;
                                  });
    long count = range.second - range.first;
    if (count == 0) {
        return "";
    }
    std::string code = "customer 0x" + customer_code_text(protocol, customer_code);
    if (count == 1) {
        return code + " is " + range.first->name +
               "'s remote in the Linux keymap library: 'dravoke-keymap import " +
               range.first->name + ".toml' writes its whole file";
    }
    // Some codes are shared by a dozen remotes: a few names tell the user enough.
    std::string names;
    const long k_named = 3;
    for (auto remote = range.first; remote != range.second && remote - range.first < k_named;
         remote++) {
        names += (names.empty() ? "" : ", ") + std::string(remote->name);
    }
    if (count > k_named) {
        names += " and " + std::to_string(count - k_named) + " more";
    }
    return code + " is the remote of " + names +
           " in the Linux keymap library: 'dravoke-keymap import NAME.toml' with yours writes its "
           "whole file";
}

std::string swapped_file_advice(const layout_build_t *build, int customer_code) {
    int32_t protocol = build->protocol;
    int swapped = (customer_code & 0xff) << 8 | customer_code >> 8;
    for (int t = 0; t < build->count && protocol == k_ir_protocol_nec && swapped != customer_code;
         t++) {
        if (build->maps[t].customer_code == swapped) {
            return base_name(build->table_path[t]) + " has customer 0x" +
                   customer_code_text(protocol, customer_code) +
                   " with its two bytes swapped: that file was probably imported or written "
                   "with the other byte order; rename it " +
                   customer_file_name(protocol, customer_code) +
                   ", or import it again with --swap-address";
        }
    }
    return "";
}

std::string missing_file_advice(const layout_build_t *build, int customer_code) {
    int32_t protocol = build->protocol;
    std::string code = "customer 0x" + customer_code_text(protocol, customer_code);
    std::string swapped = swapped_file_advice(build, customer_code);
    if (!swapped.empty()) {
        return "no file for " + code + ", but " + swapped;
    }
    std::string advice =
        "no file for " + code + ": create " + customer_file_name(protocol, customer_code);
    std::string remotes = library_remotes_text(protocol, customer_code);
    return remotes.empty() ? advice : advice + "; " + remotes;
}
