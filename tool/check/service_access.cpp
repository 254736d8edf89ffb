// SPDX-License-Identifier: Apache-2.0
// What the service may open, judged from a file's owner and mode: doctor's view of the nodes,
// and check's of the layouts on a box, where the daemon reads them as the service's user.
#include <sys/stat.h>

#include "tool/check/check.h"
#include "tool/check/diagnostics.h"
#include "tool/layouts/layouts.h"

namespace {

// The service's identity as dravoke.rc gives it (user nobody, groups uhid and input), in
// Android's fixed ids. A box's ueventd gives /dev/uinput to uhid and /dev/input/* to input.
constexpr uid_t k_service_uid = 9999;
constexpr gid_t k_service_gids[] = {9999, 3011, 1004};

std::string id_name(unsigned id) {
    switch (id) {
        case 0:
            return "root";
        case 1000:
            return "system";
        case 1004:
            return "input";
        case 3011:
            return "uhid";
        case 9999:
            return "nobody";
        default:
            return std::to_string(id);
    }
}

}  // namespace

const char k_service_identity[] = "the service (user nobody, groups uhid input)";

std::string describe_node(const struct stat &st) {
    const char *type = S_ISCHR(st.st_mode)   ? "c"
                       : S_ISDIR(st.st_mode) ? "d"
                       : S_ISREG(st.st_mode) ? "-"
                                             : "?";
    std::string mode = type;
    const char rwx[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; bit++) {
        mode += (st.st_mode & (0400 >> bit)) ? rwx[bit] : '-';
    }
    return mode + " " + id_name(st.st_uid) + " " + id_name(st.st_gid);
}

bool service_may(const struct stat &st, unsigned access) {
    if (st.st_uid == k_service_uid) {
        return ((st.st_mode >> 6) & access) == access;
    }
    for (gid_t gid : k_service_gids) {
        if (st.st_gid == gid) {
            return ((st.st_mode >> 3) & access) == access;
        }
    }
    return (st.st_mode & access) == access;
}

// The daemon reads the layouts as the service's user, whoever runs check; only on the box do
// the files have the modes the daemon meets.
void check_service_access(report_t *report, const layout_build_t *build) {
    std::vector<std::string> paths = {build->dir, standard_layout_path(build)};
    for (const listed_entry_t &entry : build->entries) {
        if (entry.customer_code >= 0) {
            paths.push_back(build->dir + "/" + entry.name);
        }
    }
    for (const std::string &path : paths) {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            continue;  // a missing file is told as the daemon meets it
        }
        const char *cannot = nullptr;
        if (path != build->dir) {
            cannot = service_may(st, 4) ? nullptr : "read it, so the daemon reads nothing of it";
        } else if (!service_may(st, 4)) {
            cannot = "list it, so the daemon stops at start";
        } else if (!service_may(st, 1)) {
            cannot = "open the files in it, so the daemon reads none of them";
        }
        if (cannot != nullptr) {
            add(report, path, 0, k_error, "mode %s: %s cannot %s: make it %s",
                describe_node(st).c_str(), k_service_identity, cannot,
                path == build->dir ? "0755" : "0644");
        }
    }
}
