// SPDX-License-Identifier: Apache-2.0
// The prompt that best tells the library's remotes apart: a short look ahead at the answers
// the remotes still fitting would give, for the name that brings most of them to the offer
// within three presses or answers.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "tool/learn/library_match.h"

namespace {

// Presses and answers within which learn means to make the offer.
constexpr size_t k_prompts_to_offer = 3;
// Names looked at for each prompt after the next: enough to find a good one, few enough to
// choose at once on a box.
constexpr size_t k_names_looked_at = 6;
constexpr size_t k_many = 64;

// A look ahead at the prompts to come: which names are still to ask, by their index in the
// layout's order.
struct outlook_t {
    const library_match_t *match;
    std::vector<size_t> names;
    std::vector<bool> used;
};

int command_of(const outlook_t &outlook, size_t candidate, size_t name) {
    return outlook.match->candidates[candidate].command_of[name];
}

// The answers the remotes would give to a prompt for a name: the command pressed (-1: none on
// the remote) and, with the first press, the customer code; each with the candidates that
// would be left, and the remotes that give it.
struct answer_t {
    std::vector<size_t> left;
    std::vector<size_t> remotes;
};
std::map<std::pair<int, int>, answer_t> answers_to(const outlook_t &outlook,
                                                   const std::vector<size_t> &left,
                                                   const std::vector<size_t> &remotes,
                                                   bool code_known, size_t name) {
    const library_match_t &match = *outlook.match;
    std::map<std::pair<int, int>, answer_t> answers;
    for (size_t remote : remotes) {
        int command = command_of(outlook, remote, name);
        int code = code_known || command < 0 ? -1 : match.candidates[remote].customer_code;
        answers[{code, command}].remotes.push_back(remote);
    }
    for (auto &answer : answers) {
        for (size_t index : left) {
            int code = match.candidates[index].customer_code;
            if (command_of(outlook, index, name) == answer.first.second &&
                (answer.first.first < 0 || code < 0 || code == answer.first.first)) {
                answer.second.left.push_back(index);
            }
        }
    }
    return answers;
}

// The names most worth a look further ahead: those whose answers leave the fewest candidates
// on average (the sum of the squares of the groups of the same command), a few of them.
std::vector<size_t> likely_names(const outlook_t &outlook, const std::vector<size_t> &left) {
    std::vector<std::pair<size_t, size_t>> scored;  // squares, name
    for (size_t name : outlook.names) {
        if (outlook.used[name]) {
            continue;
        }
        std::map<int, size_t> groups;
        for (size_t index : left) {
            groups[command_of(outlook, index, name)]++;
        }
        size_t squares = 0;
        for (const auto &group : groups) {
            squares += group.second * group.second;
        }
        scored.push_back({squares, name});
    }
    std::sort(scored.begin(), scored.end());
    std::vector<size_t> names;
    for (size_t n = 0; n < scored.size() && n < k_names_looked_at; n++) {
        names.push_back(scored[n].second);
    }
    return names;
}

// How many of the remotes, with these candidates left, get the offer within budget more
// prompts, at best.
size_t offered_within(outlook_t *outlook, const std::vector<size_t> &left,
                      const std::vector<size_t> &remotes, size_t presses, bool code_known,
                      int budget) {
    if (offer_reached(*outlook->match, left, presses)) {
        return remotes.size();
    }
    size_t best = 0;
    for (size_t name : budget > 0 ? likely_names(*outlook, left) : std::vector<size_t>()) {
        if (best == remotes.size()) {
            break;
        }
        outlook->used[name] = true;
        size_t offered = 0;
        for (const auto &answer : answers_to(*outlook, left, remotes, code_known, name)) {
            bool pressed = answer.first.second >= 0;
            offered += offered_within(outlook, answer.second.left, answer.second.remotes,
                                      presses + pressed, code_known || pressed, budget - 1);
        }
        outlook->used[name] = false;
        best = std::max(best, offered);
    }
    return best;
}

}  // namespace

size_t choose_next_name(library_match_t *match, const std::vector<std::string> &names, size_t at,
                        int customer_code) {
    if (at < match->asked || at >= names.size()) {
        return at;
    }
    match->asked = at + 1;
    if (!match->on || match->offered) {
        return at;
    }
    // The goal: the offer within three presses or answers; past them, within two more.
    size_t told = match->pressed.size() + match->absent.size();
    int budget = told < k_prompts_to_offer ? static_cast<int>(k_prompts_to_offer - told) : 2;
    // Among many, before the first press tells the customer code, a look further ahead costs
    // seconds and chooses no better.
    budget = match->left.size() > k_many ? 1 : budget;
    outlook_t outlook = {match, {}, std::vector<bool>(names.size(), false)};
    for (size_t n = at; n < names.size(); n++) {
        outlook.names.push_back(match->name_index[names[n]]);
    }
    bool code_known = customer_code >= 0;
    // The name that brings the offer to most remotes; between equals, the one that leaves
    // fewest candidates on average, then the layout's first.
    size_t best = at;
    std::pair<size_t, size_t> best_score = {0, SIZE_MAX};
    for (size_t n = 0; n < outlook.names.size(); n++) {
        size_t name = outlook.names[n];
        outlook.used[name] = true;
        size_t offered = 0;
        size_t kept = 0;
        for (const auto &answer : answers_to(outlook, match->left, match->left, code_known, name)) {
            bool pressed = answer.first.second >= 0;
            offered +=
                offered_within(&outlook, answer.second.left, answer.second.remotes,
                               match->pressed.size() + pressed, code_known || pressed, budget - 1);
            kept += answer.second.left.size() * answer.second.remotes.size();
        }
        outlook.used[name] = false;
        if (offered > best_score.first ||
            (offered == best_score.first && kept < best_score.second)) {
            best = at + n;
            best_score = {offered, kept};
        }
    }
    return best;
}
