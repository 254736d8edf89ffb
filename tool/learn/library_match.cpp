// SPDX-License-Identifier: Apache-2.0
// Recognising a remote of the Linux keymap library from a few presses, so that learn asks for
// the buttons that tell the library's remotes apart and then offers the whole layout.
#include "tool/learn/library_match.h"

#include <algorithm>
#include <map>
#include <utility>

#include "tool/import/import.h"
#include "tool/print.h"

namespace {

// Presses that must agree before the offer: the customer code tells a keymap of the library
// already, a keymap of command bytes has only its commands.
constexpr size_t k_presses_with_code = 2;
constexpr size_t k_presses_commands_only = 3;

bool agrees(const library_match_t &match, int customer_code, const library_candidate_t &candidate) {
    if (candidate.customer_code >= 0 && customer_code >= 0 &&
        candidate.customer_code != customer_code) {
        return false;
    }
    for (const auto &press : match.pressed) {
        auto line = candidate.lines.find(press.first);
        if (line == candidate.lines.end() || line->second != press.second) {
            return false;
        }
    }
    return std::none_of(candidate.lines.begin(), candidate.lines.end(),
                        [&](const auto &line) { return match.absent.count(line.second) != 0; });
}

std::vector<std::string> remotes_left(const library_match_t &match) {
    std::vector<std::string> names;
    for (size_t index : match.left) {
        for (const std::string &remote : match.candidates[index].remotes) {
            if (std::find(names.begin(), names.end(), remote) == names.end()) {
                names.push_back(remote);
            }
        }
    }
    return names;
}

}  // namespace

bool offer_reached(const library_match_t &match, const std::vector<size_t> &left, size_t presses) {
    size_t needed = k_presses_with_code;
    for (size_t index : left) {
        if (match.candidates[index].file != match.candidates[left[0]].file) {
            return false;
        }
        needed = match.candidates[index].customer_code < 0 ? k_presses_commands_only : needed;
    }
    return !left.empty() && presses >= needed;
}

void start_library_match(library_match_t *match, const layout_build_t *build,
                         const tool_options_t *options, const keymap_library_t &library,
                         const std::vector<std::string> &names, FILE *out) {
    std::map<std::pair<int, std::map<int, std::string>>, size_t> seen;
    std::map<std::map<int, std::string>, size_t> files;
    for (const library_file_t &file : library_files(build, options, library)) {
        auto key = std::make_pair(file.customer_code, file.lines);
        auto same = seen.find(key);
        if (same != seen.end()) {
            match->candidates[same->second].remotes.push_back(file.remote);
            continue;
        }
        seen[key] = match->candidates.size();
        library_candidate_t candidate = {{file.remote}, file.customer_code, file.lines, {}, 0};
        candidate.command_of.assign(names.size(), -1);
        for (auto line = file.lines.rbegin(); line != file.lines.rend(); line++) {
            auto name = std::find(names.begin(), names.end(), line->second);
            if (name != names.end()) {
                candidate.command_of[static_cast<size_t>(name - names.begin())] = line->first;
            }
        }
        auto same_lines = files.insert({file.lines, files.size()}).first;
        candidate.file = same_lines->second;
        match->candidates.push_back(candidate);
    }
    for (size_t index = 0; index < match->candidates.size(); index++) {
        match->left.push_back(index);
    }
    for (size_t n = 0; n < names.size(); n++) {
        match->name_index[names[n]] = n;
    }
    match->on = !match->candidates.empty();
    if (match->on) {
        tool_print(out,
                   "recognising the remote among %zu of the Linux keymap library: the names "
                   "that tell them apart come first (--no-library: in order)\n",
                   remotes_left(*match).size());
    }
}

void match_evidence(library_match_t *match, int customer_code, FILE *out) {
    if (!match->on) {
        return;
    }
    match->left.clear();
    for (size_t index = 0; index < match->candidates.size(); index++) {
        if (agrees(*match, customer_code, match->candidates[index])) {
            match->left.push_back(index);
        }
    }
    if (match->left.empty()) {
        tool_print(out,
                   "fits no remote of the Linux keymap library: learning goes on name by name\n");
        match->on = false;
        return;
    }
    std::vector<std::string> names = remotes_left(*match);
    std::string list;
    const size_t k_named = 3;
    for (size_t i = 0; i < names.size() && i < k_named; i++) {
        list += (i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > k_named) {
        list += " and " + std::to_string(names.size() - k_named) + " more";
    }
    tool_print(out, "fits %zu remote%s of the library: %s\n", names.size(),
               names.size() == 1 ? "" : "s", list.c_str());
    match->offered = offer_reached(*match, match->left, match->pressed.size());
}

void print_offer(const library_match_t &match, FILE *out) {
    std::vector<std::string> names = remotes_left(match);
    std::string list;
    for (const std::string &name : names) {
        list += (list.empty() ? "" : " or ") + name;
    }
    size_t buttons = offered_lines(match).size();
    tool_print(out, "this is %s (%zu button%s): take them? [Y/n]\n", list.c_str(), buttons,
               buttons == 1 ? "" : "s");
    fflush(out);
}

const std::map<int, std::string> &offered_lines(const library_match_t &match) {
    return match.candidates[match.left[0]].lines;
}
