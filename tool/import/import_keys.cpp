// SPDX-License-Identifier: Apache-2.0
// What each key of a keymap becomes: the standard layout's name for it, or why it has none.
#include <stdio.h>

#include <string>

#include "keymap/keymap.h"
#include "tool/import/import_files.h"
#include "tool/keys/keys.h"
#include "tool/layouts/layouts.h"
#include "tool/library/library.h"
#include "tool/print.h"

namespace {

void note(import_t *import, const std::string &origin, const std::string &text) {
    if (import->out != nullptr) {
        tool_print(import->out, "%s: note: %s\n", origin.c_str(), text.c_str());
    }
    import->not_written++;
}

// The standard layout's name for a Linux key, the first that it has of: --map's, the generic
// layout's label, the key's meaning on a remote (said once a run); or "" with *why.
std::string standard_name_of(import_t *import, const std::string &key, const std::string &origin,
                             std::string *why) {
    auto mapped = import->maps.find(key);
    if (mapped != import->maps.end()) {
        return mapped->second;
    }
    std::string hint = " (--map " + key + "=NAME writes it)";
    int code = linux_key_code(key.c_str());
    if (code < 0) {
        *why = key + " is not a Linux key name" + hint;
        return "";
    }
    const char *label = android_label(code);
    const char *meaning = remote_label(code);
    const char *name = imported_name(import->build, code);
    if (name != nullptr) {
        if (name != label && import->meanings_told.insert(key).second && import->out != nullptr) {
            tool_print(import->out, "%s: note: %s written as %s, its meaning on a remote\n",
                       origin.c_str(), key.c_str(), meaning);
        }
        return name;
    }
    // A key that none of them places is named with both of its labels.
    std::string lacks = std::string(", which ") + k_standard_layout_file + " lacks";
    if (label == nullptr && meaning == nullptr) {
        *why = key + " has no Android key label" + hint;
    } else if (meaning == nullptr) {
        *why = key + " is Android's " + label + lacks + hint;
    } else if (label == nullptr) {
        *why = key + " has no Android key label, and is " + meaning + " on a remote" + lacks + hint;
    } else {
        *why = key + " is Android's " + label + ", and " + meaning +
               " on a remote: " + k_standard_layout_file + " has neither" + hint;
    }
    return "";
}

// Why a keymap's protocol is not imported. The library's "unknown" keymaps mostly keep the
// command alone in a scancode: the remote's address, its customer code, is not in the file.
std::string unimported_protocol_reason(const keytable_protocol_t &protocol) {
    if (protocol.protocol != "unknown") {
        return "the receiver decodes NEC and RC5 only";
    }
    return std::string(scancodes_are_commands(protocol)
                           ? "its scancodes carry no address"
                           : "the keymap does not say where its scancodes carry the "
                             "address") +
           ", so the remote's customer code is unknown: 'dravoke-keymap learn' learns the remote "
           "from its presses";
}

}  // namespace

const char *imported_name(const layout_build_t *build, int code) {
    const char *label = android_label(code);
    const char *meaning = remote_label(code);
    return standard_has(build, label) ? label : standard_has(build, meaning) ? meaning : nullptr;
}

void import_protocol(import_t *import, const std::string &path, const keytable_t &table,
                     const keytable_protocol_t &protocol) {
    int nec_bits;
    int32_t receiver = receiver_protocol_of(protocol, &nec_bits);
    std::string origin = path + ":" + std::to_string(protocol.line);
    if (receiver < 0) {
        std::string name =
            protocol.protocol + (protocol.variant.empty() ? "" : " (" + protocol.variant + ")");
        note(import, origin,
             "protocol " + name + " skipped (" + std::to_string(protocol.entries.size()) +
                 (protocol.entries.size() == 1 ? " key" : " keys") +
                 "): " + unimported_protocol_reason(protocol));
        return;
    }
    for (const keytable_entry_t &entry : protocol.entries) {
        origin = path + ":" + std::to_string(entry.line);
        ir_code_t code;
        std::string why;
        if (scancode_to_code(receiver, nec_bits, entry.scancode, import->options->swap_address,
                             &code, &why) != 0) {
            note(import, origin, entry.key + " not written: " + why);
            continue;
        }
        import_key(import, table.name, code, entry, origin);
    }
}

void import_key(import_t *import, const std::string &remote, const ir_code_t &code,
                const keytable_entry_t &entry, const std::string &origin) {
    char scancode[16];
    snprintf(scancode, sizeof(scancode), "0x%04x", entry.scancode);
    std::string why;
    std::string name = standard_name_of(import, entry.key, origin, &why);
    if (name.empty()) {
        note(import, origin, std::string(scancode) + " not written: " + why);
        return;
    }
    import_file_t &file = import->files[{code.protocol, code.customer_code}];
    file.protocol = code.protocol;
    file.customer_code = code.customer_code;
    if (file.remotes.empty() || file.remotes.back() != remote) {
        file.remotes.push_back(remote);
    }
    auto taken = file.lines.find(code.command);
    if (taken != file.lines.end() && taken->second.name != name) {
        note(import, origin,
             std::string(scancode) + " " + entry.key + " not written: customer 0x" +
                 customer_code_text(code.protocol, code.customer_code) + " command " +
                 std::to_string(code.command) + " is " + taken->second.key + " already (" +
                 taken->second.origin + ")");
        return;
    }
    file.lines.insert({code.command, {name, entry.key, origin}});
}
