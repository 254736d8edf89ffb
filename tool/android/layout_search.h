// SPDX-License-Identifier: Apache-2.0
#pragma once

// Inside the room: how Android finds the virtual keyboard's files, version by version, in the
// box's folders or in a copy of them (--root), and reads its .idc and character map.

#include <map>
#include <string>
#include <utility>

#include "tool/android/android.h"
#include "tool/options.h"

// The folders searched: the box's, under root, or a key layout folder alone.
struct box_tree_t {
    bool bare;              // only keylayout is searched, and AOSP's Generic.kl stands in last
    std::string root;       // the box's "/" as a folder here; "" for the box itself
    std::string keylayout;  // the daemon's key layout folder, /system/usr/keylayout on the box
    bool apex_known;        // the APEX property can be read: on the box itself
    std::string apex;       // its value, "" when unset
};
// The tree options judge: --root's; on the box, the box's own when the folder is its key layout
// folder or doctor judges the box; else the folder alone.
void settle_box_tree(const tool_options_t *options, box_tree_t *tree);
// A box path ("/vendor/usr/keylayout/x.kl") as a path here.
std::string tree_path(const box_tree_t &tree, const std::string &box_path);
// A box path as the box resolves it, "." and ".." taken lexically: under a root here a ".."
// stops at that root, as it stops at the box's "/".
std::string resolved_box_path(const std::string &path);
// A file name from an .idc as that version looks for it: 9 converts it as the device's name.
std::string idc_file_name(const std::string &value, int version);
// The folders that version searches, box paths ending in '/', in order.
std::vector<std::string> search_prefixes(const box_tree_t &tree, int version);

// Files read for a search, by path here: the text, or why it cannot be read.
struct cached_file_t {
    bool folder;      // a folder of the name, which Android cannot read as a file
    std::string why;  // why it cannot be read here, "" when read
    std::string text;
};
typedef std::map<std::string, cached_file_t> file_cache_t;
const cached_file_t &read_cached(file_cache_t *cache, const std::string &path);

// The layout and character map that reading takes for the virtual keyboard.
void choose_layout(const box_tree_t &tree, const android_reading_t &reading, file_cache_t *cache,
                   layout_choice_t *choice);

// An .idc's keys as Android's PropertyMap reads them, with the line of each, rejecting the whole
// file at its first error. Returns 0, or -1 with the error's *line and *why.
typedef std::map<std::string, std::pair<std::string, int>> idc_keys_t;
int parse_idc(const std::string &text, idc_keys_t *keys, int *line, std::string *why);
// A character map's "map key SCANCODE LABEL" lines that version takes: label and line by
// scancode. The rest of the file is not read.
void read_kcm_map_keys(const std::string &text, int version,
                       std::map<int, std::pair<std::string, int>> *keys);
