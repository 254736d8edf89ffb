// SPDX-License-Identifier: Apache-2.0
#include <algorithm>

#include "tool/keys/edit_distance.h"
#include "tool/keys/keys.h"
#include "tool/tables/tables.h"

std::string nearest_linux_key(const std::string &name) {
    // A slip of a few letters, not another word.
    return nearest_name(name, std::max<size_t>(2, name.size() / 4), k_linux_keys, k_linux_key_count,
                        [](const linux_key_t &key) { return key.name; });
}
