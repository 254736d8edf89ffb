// Recognising a remote of the Linux keymap library from a few presses, so that learn asks for
// the buttons that tell the library's remotes apart and then offers the whole layout.
#include "tool/onboard/library_match.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <utility>

#include "core/protocol.h"
#include "tool/onboard/import.h"
#include "tool/onboard/keytable.h"
#include "tool/onboard/learn_session.h"
#include "tool/print.h"

namespace {

// Presses that must agree before the offer: the customer code tells a keymap of the library
// already, a keymap of command bytes has only its commands.
constexpr size_t k_presses_with_code = 2;
constexpr size_t k_presses_commands_only = 3;
// Presses and answers within which learn means to make the offer.
constexpr size_t k_prompts_to_offer = 3;
// Names looked at for each prompt after the next: enough to find a good one, few enough to
// choose at once on a box.
constexpr size_t k_names_looked_at = 6;
constexpr size_t k_many = 64;

// The keys of a command-byte keymap, at the commands its scancodes are; none under RC5 when a
// command is beyond the receiver's 7 bits.
void import_commands(import_t *import, int32_t protocol, const keytable_t &table,
                     const keytable_protocol_t &commands) {
    for (const keytable_entry_t &entry : commands.entries) {
        if (protocol == k_ir_protocol_rc5 && entry.scancode > 0x7f) {
            import->files.clear();
            return;
        }
        ir_code_t code = {protocol, -1, static_cast<int>(entry.scancode)};
        import_key(import, table.name, code, entry, table.name);
    }
}

bool agrees(const learn_t *learn, const library_candidate_t &candidate) {
    const library_match_t &match = learn->match;
    if (candidate.customer_code >= 0 && learn->customer_code >= 0 &&
        candidate.customer_code != learn->customer_code) {
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

void start_library_match(learn_t *learn) {
    library_match_t &match = learn->match;
    int32_t protocol = learn->build->protocol;
    // Named quietly, exactly as import names them.
    import_t import = {learn->build, learn->options, {}, {}, nullptr, 0, {}};
    std::map<std::pair<int, std::map<int, std::string>>, size_t> seen;
    std::map<std::map<int, std::string>, size_t> files;
    for (const keytable_t &table : library_keymaps()) {
        for (const keytable_protocol_t &p : table.protocols) {
            if (p.protocol == "unknown") {
                import_commands(&import, protocol, table, p);
            } else {
                import_protocol(&import, table.name, table, p);
            }
        }
        for (const auto &entry : import.files) {
            const import_file_t &file = entry.second;
            if (file.protocol != protocol || file.lines.empty()) {
                continue;
            }
            std::map<int, std::string> lines;
            for (const auto &line : file.lines) {
                lines[line.first] = line.second.name;
            }
            auto key = std::make_pair(file.customer_code, lines);
            auto same = seen.find(key);
            if (same != seen.end()) {
                match.candidates[same->second].remotes.push_back(table.name);
                continue;
            }
            seen[key] = match.candidates.size();
            library_candidate_t candidate = {{table.name}, file.customer_code, lines, {}, 0};
            candidate.command_of.assign(learn->names.size(), -1);
            for (auto line = lines.rbegin(); line != lines.rend(); line++) {
                auto name = std::find(learn->names.begin(), learn->names.end(), line->second);
                if (name != learn->names.end()) {
                    candidate.command_of[static_cast<size_t>(name - learn->names.begin())] =
                        line->first;
                }
            }
            auto same_lines = files.insert({lines, files.size()}).first;
            candidate.file = same_lines->second;
            match.candidates.push_back(candidate);
        }
        import.files.clear();
    }
    for (size_t index = 0; index < match.candidates.size(); index++) {
        match.left.push_back(index);
    }
    for (size_t n = 0; n < learn->names.size(); n++) {
        match.name_index[learn->names[n]] = n;
    }
    match.on = !match.candidates.empty();
    if (match.on) {
        tool_print(learn->out,
                   "recognising the remote among %zu of the Linux keymap library: the names "
                   "that tell them apart come first (--no-library: in order)\n",
                   remotes_left(match).size());
    }
}

void match_evidence(learn_t *learn) {
    library_match_t &match = learn->match;
    if (!match.on) {
        return;
    }
    match.left.clear();
    for (size_t index = 0; index < match.candidates.size(); index++) {
        if (agrees(learn, match.candidates[index])) {
            match.left.push_back(index);
        }
    }
    if (match.left.empty()) {
        tool_print(learn->out,
                   "fits no remote of the Linux keymap library: learning goes on name by name\n");
        match.on = false;
        return;
    }
    std::vector<std::string> names = remotes_left(match);
    std::string list;
    const size_t k_named = 3;
    for (size_t i = 0; i < names.size() && i < k_named; i++) {
        list += (i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > k_named) {
        list += " and " + std::to_string(names.size() - k_named) + " more";
    }
    tool_print(learn->out, "fits %zu remote%s of the library: %s\n", names.size(),
               names.size() == 1 ? "" : "s", list.c_str());
    match.offered = offer_reached(match, match.left, match.pressed.size());
}

void choose_next_name(learn_t *learn) {
    library_match_t &match = learn->match;
    if (learn->at < match.asked || learn->at >= learn->names.size()) {
        return;
    }
    match.asked = learn->at + 1;
    if (!match.on || match.offered) {
        return;
    }
    // The goal: the offer within three presses or answers; past them, within two more.
    size_t told = match.pressed.size() + match.absent.size();
    int budget = told < k_prompts_to_offer ? static_cast<int>(k_prompts_to_offer - told) : 2;
    // Among many, before the first press tells the customer code, a look further ahead costs
    // seconds and chooses no better.
    budget = match.left.size() > k_many ? 1 : budget;
    outlook_t outlook = {&match, {}, std::vector<bool>(learn->names.size(), false)};
    for (size_t n = learn->at; n < learn->names.size(); n++) {
        outlook.names.push_back(match.name_index[learn->names[n]]);
    }
    bool code_known = learn->customer_code >= 0;
    // The name that brings the offer to most remotes; between equals, the one that leaves
    // fewest candidates on average, then the layout's first.
    auto first = learn->names.begin() + static_cast<long>(learn->at);
    auto best = first;
    std::pair<size_t, size_t> best_score = {0, SIZE_MAX};
    for (size_t n = 0; n < outlook.names.size(); n++) {
        size_t name = outlook.names[n];
        outlook.used[name] = true;
        size_t offered = 0;
        size_t kept = 0;
        for (const auto &answer : answers_to(outlook, match.left, match.left, code_known, name)) {
            bool pressed = answer.first.second >= 0;
            offered +=
                offered_within(&outlook, answer.second.left, answer.second.remotes,
                               match.pressed.size() + pressed, code_known || pressed, budget - 1);
            kept += answer.second.left.size() * answer.second.remotes.size();
        }
        outlook.used[name] = false;
        if (offered > best_score.first ||
            (offered == best_score.first && kept < best_score.second)) {
            best = first + static_cast<long>(n);
            best_score = {offered, kept};
        }
    }
    // The others keep the layout's order, for when recognition ends.
    std::rotate(first, best, best + 1);
}

void print_offer(const learn_t *learn) {
    const library_match_t &match = learn->match;
    std::vector<std::string> names = remotes_left(match);
    std::string list;
    for (const std::string &name : names) {
        list += (list.empty() ? "" : " or ") + name;
    }
    size_t buttons = match.candidates[match.left[0]].lines.size();
    tool_print(learn->out, "this is %s (%zu button%s): take them? [Y/n]\n", list.c_str(), buttons,
               buttons == 1 ? "" : "s");
    fflush(learn->out);
}

void answer_offer(learn_t *learn, const std::string &answer) {
    library_match_t &match = learn->match;
    if (answer == "n" || answer == "no" || answer == "N") {
        tool_print(learn->out, "not taken: learning goes on name by name\n");
    } else if (answer.empty() || answer == "y" || answer == "yes" || answer == "Y") {
        const library_candidate_t &taken = match.candidates[match.left[0]];
        std::set<std::string> names;
        for (const auto &line : taken.lines) {
            names.insert(line.second);
        }
        // A line learning started from stays where the keymap says nothing of its command or
        // its name.
        for (auto line = learn->assigned.begin(); line != learn->assigned.end();) {
            bool spoken = taken.lines.count(line->first) != 0 || names.count(line->second) != 0;
            line = spoken ? learn->assigned.erase(line) : std::next(line);
        }
        learn->assigned.insert(taken.lines.begin(), taken.lines.end());
        auto rest = learn->names.begin() + static_cast<long>(learn->at);
        learn->names.erase(std::remove_if(rest, learn->names.end(),
                                          [&](const std::string &n) { return names.count(n); }),
                           learn->names.end());
        tool_print(learn->out, "took %zu buttons; %s\n", taken.lines.size(),
                   learn->at >= learn->names.size()
                       ? "the keymap has every standard name"
                       : "now the standard names the keymap lacks (q: finish)");
    } else {
        tool_print(learn->out, "'%s' is no answer: Enter or y takes them, n goes on\n",
                   answer.c_str());
        print_offer(learn);
        return;
    }
    match.on = false;
    match.offered = false;
    learn->done = learn->at >= learn->names.size();
    learn_prompt(learn);
}
