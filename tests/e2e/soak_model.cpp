// SPDX-License-Identifier: Apache-2.0
// The soak's model of the translation rules, read from the same layouts as the daemon's.
#include <stdlib.h>
#include <string.h>

#include <sstream>

#include "soak.h"

model_t::model_t(int protocol_in) : protocol(protocol_in), down(0) {
    std::map<std::string, int> standard;
    const char *prefix = protocol == 0 ? "customer_ir_" : "customer_rc5_ir_";
    for (const auto &file : all_layouts()) {
        bool customer = file.first.compare(0, strlen(prefix), prefix) == 0;
        uint32_t code = customer ? strtoul(file.first.c_str() + strlen(prefix), nullptr, 16) : 0;
        std::istringstream lines(file.second);
        std::string line, word, name;
        int number;
        while (std::getline(lines, line)) {
            if (!(std::istringstream(line) >> word >> number >> name) || word != "key") {
                continue;
            }
            if (file.first == "orvex-ir.kl") {
                standard.emplace(name, number);
            } else if (customer && standard.count(name) != 0) {
                tables[code][static_cast<uint32_t>(number)] = standard[name];
            }
        }
    }
}

void model_t::release(std::string *keys) {
    if (down != 0) {
        *keys += " -" + std::to_string(down);
        down = 0;
    }
}

void model_t::feed(uint16_t type, uint16_t code, uint32_t value, std::string *keys) {
    if (type == EV_SYN && code == SYN_DROPPED) {
        release(keys);
        return;
    }
    uint32_t command = value & (protocol == 0 ? 0xff : 0x7f);
    uint32_t customer = (value >> 8) & (protocol == 0 ? 0xffff : 0x1f);
    auto table = tables.find(customer);
    if (table == tables.end() || table->second.count(command) == 0) {
        return;
    }
    int key = table->second.at(command);
    release(keys);
    if (value & k_pressed_bit) {
        *keys += " +" + std::to_string(key);
        down = key;
    }
}

std::string trimmed(const std::string &keys) {
    return keys.empty() ? keys : keys.substr(1);
}
