// SPDX-License-Identifier: Apache-2.0
#include <stdio.h>

#include "core/protocol.h"
#include "tool/library/library.h"

std::string keymap_name_of(const std::string &file) {
    bool toml = file.size() > 5 && file.compare(file.size() - 5, 5, ".toml") == 0;
    return toml ? file.substr(0, file.size() - 5) : file;
}

bool scancodes_are_commands(const keytable_protocol_t &protocol) {
    for (const keytable_entry_t &entry : protocol.entries) {
        if (entry.scancode > 0xff) {
            return false;
        }
    }
    return true;
}

int32_t receiver_protocol_of(const keytable_protocol_t &protocol, int *nec_bits) {
    *nec_bits = 0;
    if (protocol.protocol == "rc5") {
        return protocol.variant.empty() || protocol.variant == "rc5" ? k_ir_protocol_rc5 : -1;
    }
    if (protocol.protocol != "nec") {
        return -1;
    }
    const struct {
        const char *variant;
        int bits;
    } k_variants[] = {{"", 0}, {"nec", 16}, {"necx", 24}, {"nec32", 32}};
    for (const auto &v : k_variants) {
        if (protocol.variant == v.variant) {
            *nec_bits = v.bits;
            return k_ir_protocol_nec;
        }
    }
    return -1;
}

int scancode_to_code(int32_t protocol, int nec_bits, uint32_t scancode, bool swap_address,
                     ir_code_t *code, std::string *why) {
    code->protocol = protocol;
    code->command = static_cast<int>(scancode & 0xff);
    if (protocol == k_ir_protocol_rc5) {
        // The receiver's RC5 raw code is the scancode itself: address in bits 8-12, command
        // in bits 0-6.
        uint32_t address = scancode >> 8;
        if (address > 0x1f || code->command > 0x7f) {
            char text[128];
            snprintf(text, sizeof(text), "RC5 scancode 0x%04x has %s, beyond the receiver's %s",
                     scancode, address > 0x1f ? "an address above 0x1f" : "a command above 0x7f",
                     address > 0x1f ? "5 address bits" : "7 command bits");
            *why = text;
            return -1;
        }
        code->customer_code = static_cast<int>(address);
        return 0;
    }
    // As rc-core: the variant fixes the form; without one, or for a scancode too wide for it
    // (no NEC frame gives more than 16 bits), the scancode's size decides.
    int bits = nec_bits;
    if (bits == 0 || (bits < 32 && scancode >> bits != 0)) {
        bits = scancode <= 0xffff ? 16 : scancode <= 0xffffff ? 24 : 32;
    }
    uint32_t customer;
    if (bits == 16) {
        // Plain NEC sends the address, then its inverse.
        uint32_t address = scancode >> 8 & 0xff;
        customer = (~address & 0xff) << 8 | address;
    } else if (bits == 24) {
        // NECX 0xAABBcc: address bytes AA then BB.
        customer = (scancode >> 8 & 0xff) << 8 | (scancode >> 16 & 0xff);
    } else {
        // NEC32 0xBBAAxxcc: rc-core writes the second address byte first.
        customer = scancode >> 16;
    }
    if (swap_address) {
        customer = (customer & 0xff) << 8 | customer >> 8;
    }
    code->customer_code = static_cast<int>(customer);
    return 0;
}
