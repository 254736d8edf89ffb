// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <stddef.h>

#include <string>

// Edits (insertions, deletions, substitutions) from a to b, letter case ignored.
size_t edit_distance(const std::string &a, const std::string &b);

// The name of the item that is fewest edits from name, at most most, the first of equals; ""
// when none is that near.
template <typename item_t, typename name_of_t>
std::string nearest_name(const std::string &name, size_t most, const item_t *items, int count,
                         name_of_t name_of) {
    std::string nearest;
    for (int i = 0; i < count; i++) {
        std::string candidate = name_of(items[i]);
        // The distance is at least the difference in length: no need to work it out then.
        if ((name.size() > candidate.size() ? name.size() - candidate.size()
                                            : candidate.size() - name.size()) > most) {
            continue;
        }
        size_t distance = edit_distance(name, candidate);
        if (distance <= most && (nearest.empty() || distance < most)) {
            most = distance;
            nearest = name_of(items[i]);
        }
    }
    return nearest;
}
