// SPDX-License-Identifier: Apache-2.0
#include <dirent.h>

#include "keymap/keymap.h"
#include "tool/files/files.h"
#include "tool/layouts/layouts.h"

std::vector<customer_file_t> list_customer_files(const std::string &dir, int32_t protocol) {
    std::vector<customer_file_t> files;
    DIR *listing = opendir(dir.c_str());
    if (listing == nullptr) {
        return files;
    }
    for (struct dirent *entry = readdir(listing); entry != nullptr; entry = readdir(listing)) {
        int code = match_kl_filename(entry->d_name, protocol, nullptr);
        if (code >= 0) {
            files.push_back({entry->d_name, code});
        }
    }
    closedir(listing);
    return files;
}

customer_target_t find_customer_target(const std::string &out_dir, const std::string &layout_dir,
                                       int32_t protocol, int customer_code) {
    customer_target_t target;
    std::vector<std::string> dirs = {out_dir};
    if (!same_folder(out_dir, layout_dir)) {
        dirs.push_back(layout_dir);
    }
    for (const std::string &dir : dirs) {
        for (const customer_file_t &file : list_customer_files(dir, protocol)) {
            if (file.customer_code != customer_code) {
                continue;
            }
            // Replaced under its own name, the folder never holds two files for the code.
            if (target.existing.empty()) {
                target.name = file.name;
            }
            target.existing.push_back(dir + "/" + file.name);
        }
    }
    if (target.existing.empty()) {
        target.name = customer_file_name(protocol, customer_code);
    }
    return target;
}
