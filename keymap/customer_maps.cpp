#include "keymap/keymap.h"

keymap_t g_base_keymap[k_keymap_size];
keymap_t g_customer_keymap[k_keymap_size];
customer_map_t g_customer_maps[k_max_customer_maps];
int g_customer_map_count = 0;

// Placeholder until layout files are read: one empty table keeps start-up going.
int init_orvex_ir_map(void) {
    return 1;
}
