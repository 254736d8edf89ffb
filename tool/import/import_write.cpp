// SPDX-License-Identifier: Apache-2.0
// Writing import's files: never over another file of the same remote without --force, never
// more than the daemon reads, and each whole or not at all.
#include <errno.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "keymap/keymap.h"
#include "tool/check/check.h"
#include "tool/files/files.h"
#include "tool/import/import_files.h"
#include "tool/layouts/layouts.h"
#include "tool/options.h"
#include "tool/print.h"

namespace {

std::string file_text(const import_file_t &file) {
    std::string remotes;
    // A keymap's name is the keymap's to choose: escaped, a line break in it cannot make a line.
    for (const std::string &remote : file.remotes) {
        remotes += (remotes.empty() ? "" : ", ") + printable(remote);
    }
    std::string text = "# " + remotes + " (" + protocol_name(file.protocol) + " customer 0x" +
                       customer_code_text(file.protocol, file.customer_code) +
                       "), from the Linux keymap library by dravoke-keymap import\n";
    for (const auto &line : file.lines) {
        text += "key " + std::to_string(line.first) + " " + line.second.name + "\n";
    }
    return text;
}

// A file to write, under the name it gets.
struct planned_file_t {
    const import_file_t *file;
    std::string name;
};

// The files that may be written: never over a file of the same customer code, in any digit
// case, without --force, and never more of a protocol than the daemon reads, counting those
// in the key layout folder. Those that may not are named, in *refused. Returns -1 when a file
// exists without --force: then nothing at all is written.
int plan_files(import_t *import, const std::string &out_dir, std::vector<planned_file_t> *planned,
               std::vector<std::string> *refused) {
    const tool_options_t *options = import->options;
    std::map<int32_t, std::vector<customer_file_t>> in_layouts;  // by protocol
    std::map<int32_t, size_t> used;                              // files the daemon would read
    bool clobbers = false;
    for (const auto &entry : import->files) {
        const import_file_t &file = entry.second;
        customer_target_t target =
            find_customer_target(out_dir, options->dir, file.protocol, file.customer_code);
        if (in_layouts.count(file.protocol) == 0) {
            in_layouts[file.protocol] = list_customer_files(options->dir, file.protocol);
            used[file.protocol] = in_layouts[file.protocol].size();
        }
        const std::vector<customer_file_t> &present = in_layouts[file.protocol];
        bool replaces = std::any_of(present.begin(), present.end(), [&](const customer_file_t &f) {
            return f.customer_code == file.customer_code;
        });
        if (!replaces && used[file.protocol] >= static_cast<size_t>(k_max_customer_maps)) {
            tool_print(import->out,
                       "%s/%s: error: not written: the daemon reads at most %d %s customer "
                       "files, and %s would hold more\n",
                       out_dir.c_str(), target.name.c_str(), k_max_customer_maps,
                       protocol_name(file.protocol), options->dir.c_str());
            refused->push_back(target.name);
            continue;
        }
        used[file.protocol] += replaces ? 0 : 1;
        std::string path = out_dir + "/" + target.name;
        for (const std::string &existing : target.existing) {
            if (options->force) {
                break;
            }
            std::string code = customer_code_text(file.protocol, file.customer_code);
            tool_print(
                import->out, "%s: error: exists%s; --force %s\n", existing.c_str(),
                existing == path ? "" : (", for customer 0x" + code).c_str(),
                existing == path ? "overwrites it" : ("writes " + path + " to replace it").c_str());
            clobbers = true;
        }
        planned->push_back({&file, target.name});
    }
    return clobbers ? -1 : 0;
}

}  // namespace

int write_imported_files(import_t *import, const std::string &out_dir) {
    const tool_options_t *options = import->options;
    FILE *out = import->out;
    std::vector<planned_file_t> planned;
    std::vector<std::string> refused;
    if (plan_files(import, out_dir, &planned, &refused) != 0) {
        tool_print(out, "import: nothing written\n");
        return 1;
    }
    std::vector<std::string> written;
    std::vector<int32_t> protocols;
    int buttons = 0;
    for (const planned_file_t &planned_file : planned) {
        const import_file_t &file = *planned_file.file;
        std::string path = out_dir + "/" + planned_file.name;
        if (write_file_atomically(out_dir, planned_file.name, file_text(file), options->force) !=
            0) {
            // A file that appeared since the folder was looked at is someone's: it stays.
            std::string why = errno == EEXIST ? "exists now, left as it is; --force overwrites it"
                                              : std::string("cannot write: ") + strerror(errno);
            tool_print(out, "%s: error: %s\n", path.c_str(), why.c_str());
            refused.push_back(planned_file.name);
            continue;
        }
        tool_print(out, "wrote %s: %zu button%s (%s customer 0x%s)\n", path.c_str(),
                   file.lines.size(), file.lines.size() == 1 ? "" : "s",
                   protocol_name(file.protocol),
                   customer_code_text(file.protocol, file.customer_code).c_str());
        if (options->protocols.size() == 1 && options->protocols[0] != file.protocol) {
            tool_print(out,
                       "%s: note: an %s layout, and the receiver decodes %s (%s): the daemon "
                       "does not read it\n",
                       path.c_str(), protocol_name(file.protocol),
                       protocol_name(options->protocols[0]), options->protocol_origin.c_str());
        }
        written.push_back(planned_file.name);
        protocols.push_back(file.protocol);
        buttons += static_cast<int>(file.lines.size());
    }
    if (!written.empty()) {
        check_written(options, out_dir, written, protocols, out);
    }
    std::string not_written;
    for (const std::string &name : refused) {
        not_written +=
            (not_written.empty() ? ", " + std::to_string(refused.size()) + " not: " : ", ") + name;
    }
    tool_print(out, "import: %zu file%s written, %d buttons%s; %d key%s not written\n",
               written.size(), written.size() == 1 ? "" : "s", buttons, not_written.c_str(),
               import->not_written, import->not_written == 1 ? "" : "s");
    return refused.empty() ? 0 : 1;
}
