#pragma once

// Recognising a remote of the Linux keymap library while learn runs: the keymaps that agree
// with every press and answer so far, the standard name that best tells them apart, and the
// offer of the whole layout once they all write the same file.

#include <stddef.h>

#include <map>
#include <set>
#include <string>
#include <vector>

struct learn_t;

// One file a keymap of the library gives under the standard layout.
struct library_candidate_t {
    std::vector<std::string> remotes;  // the keymaps that give this very file
    int customer_code;                 // -1: command bytes alone, under any customer code
    std::map<int, std::string> lines;  // command -> standard name, as import writes them
    std::vector<int> command_of;       // by name, in the layout's order: its lowest command, or -1
    size_t file;                       // the same for candidates of the same lines
};

struct library_match_t {
    bool on;  // recognising: not --no-library, and no press or answer has ruled every file out
    std::vector<library_candidate_t> candidates;
    std::vector<size_t> left;                  // the candidates that agree with everything so far
    std::map<int, std::string> pressed;        // command -> name: this session's presses
    std::set<std::string> absent;              // names the remote has no button for
    std::map<std::string, size_t> name_index;  // in the standard layout's order
    size_t asked;                              // names[0, asked) have been prompted
    bool offered;                              // the offer waits for its answer
};

// Whether the candidates left all write one file, after enough presses to offer it: two, or
// three when a keymap of command bytes alone is among them.
bool offer_reached(const library_match_t &match, const std::vector<size_t> &left, size_t presses);

// Makes every file the library gives under the standard layout, for the session's protocol,
// a candidate.
void start_library_match(learn_t *learn);
// After a press or an answer that tells about the remote: what is left, said briefly; the end
// of recognition, said once, when nothing is; the offer when it is due.
void match_evidence(learn_t *learn);
// Puts the name that best tells the candidates apart at the name to ask for, when it is asked
// for the first time.
void choose_next_name(learn_t *learn);
// "this is NAME (N buttons): take them? [Y/n]"
void print_offer(const learn_t *learn);
// The answer to the offer, but q: yes takes the keymap's buttons, no goes on name by name.
void answer_offer(learn_t *learn, const std::string &answer);
