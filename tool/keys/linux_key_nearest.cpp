#include <ctype.h>

#include <algorithm>
#include <vector>

#include "tool/keys/edit_distance.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

size_t edit_distance(const std::string &a, const std::string &b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); j++) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); i++) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); j++) {
            size_t above = row[j];
            bool same = toupper(static_cast<unsigned char>(a[i - 1])) ==
                        toupper(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string nearest_linux_key(const std::string &name) {
    // A slip of a few letters, not another word.
    return nearest_name(name, std::max<size_t>(2, name.size() / 4), k_linux_keys, k_linux_key_count,
                        [](const linux_key_t &key) { return key.name; });
}
