// SPDX-License-Identifier: Apache-2.0
#include <string>
#include <vector>

#include "core/protocol.h"
#include "tool/layouts/layouts.h"
#include "tool/live/live.h"
#include "tool/live/raw_describer.h"

std::string library_remotes_text(const keymap_library_t &library, int32_t protocol,
                                 int customer_code) {
    std::vector<std::string> remotes = library_remotes_of(library, protocol, customer_code);
    size_t count = remotes.size();
    if (count == 0) {
        return "";
    }
    std::string code = "customer 0x" + customer_code_text(protocol, customer_code);
    if (count == 1) {
        return code + " is " + remotes[0] +
               "'s remote in the Linux keymap library: 'dravoke-keymap import " + remotes[0] +
               ".toml' writes its whole file";
    }
    // Some codes are shared by a dozen remotes: a few names tell the user enough.
    std::string names;
    const size_t k_named = 3;
    for (size_t i = 0; i < count && i < k_named; i++) {
        names += (names.empty() ? "" : ", ") + remotes[i];
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

std::string missing_file_advice(const layout_build_t *build, const keymap_library_t &library,
                                int customer_code) {
    int32_t protocol = build->protocol;
    std::string code = "customer 0x" + customer_code_text(protocol, customer_code);
    std::string swapped = swapped_file_advice(build, customer_code);
    if (!swapped.empty()) {
        return "no file for " + code + ", but " + swapped;
    }
    std::string advice =
        "no file for " + code + ": create " + customer_file_name(protocol, customer_code);
    std::string remotes = library_remotes_text(library, protocol, customer_code);
    return remotes.empty() ? advice : advice + "; " + remotes;
}
