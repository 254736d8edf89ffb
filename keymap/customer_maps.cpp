// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "core/log.h"
#include "core/paths.h"
#include "keymap/keymap.h"
#include "keymap/keymap_observer.h"
#include "keymap/pairing.h"

keymap_t g_base_keymap[k_keymap_size];
keymap_t g_customer_keymap[k_keymap_size];
customer_map_t g_customer_maps[k_max_customer_maps];
int g_customer_map_count = 0;
const keymap_observer_t *g_keymap_observer = nullptr;

namespace {

constexpr size_t k_layout_path_size = 512;

// Unset standard entries carry a name that no layout line can give a real key.
void reset_base_keymap(void) {
    for (keymap_t &entry : g_base_keymap) {
        entry.scancode = 0;
        strcpy(entry.name, "!RESERVE");
    }
}

}  // namespace

int init_orvex_ir_map(void) {
    char path[k_layout_path_size];

    reset_base_keymap();
    // A missing or unreadable standard layout has been logged by the reader; the customer
    // tables are still built, with nothing to translate to.
    snprintf(path, sizeof(path), "%s/%s", g_keylayout_dir, k_standard_layout_file);
    create_keymap_from_file(path, g_base_keymap);

    DIR *dir = opendir(g_keylayout_dir);
    if (dir == nullptr) {
        // Start-up ends the daemon with exit status 255 on this result.
        log_error("Open directory '%s' error, %s\n", g_keylayout_dir, strerror(errno));
        return -1;
    }

    name_index_t standard_names;
    index_standard_names(g_base_keymap, &standard_names);

    int count = 0;
    // Listing order, unsorted: the first accepted file of a customer code wins at run time.
    for (struct dirent *entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        int customer_code = kl_filename_verify(entry->d_name);
        bool built = customer_code >= 0 && count < k_max_customer_maps;
        if (g_keymap_observer != nullptr) {
            g_keymap_observer->entry_listed(entry->d_name, customer_code, built ? count : -1);
        }
        if (!built) {
            continue;
        }
        snprintf(path, sizeof(path), "%s/%s", g_keylayout_dir, entry->d_name);

        memset(g_customer_keymap, 0, sizeof(g_customer_keymap));
        // An accepted file that cannot be read still gives a table, so its remote is known.
        create_keymap_from_file(path, g_customer_keymap);

        customer_map_t *map = &g_customer_maps[count];
        memset(map, 0, sizeof(*map));
        pair_customer_keys(g_base_keymap, &standard_names, g_customer_keymap, map->scancode_map);
        map->customer_code = customer_code;
        if (g_keymap_observer != nullptr) {
            g_keymap_observer->table_built(count, path, g_customer_keymap);
        }
        count++;
    }
    closedir(dir);
    return count;
}
