// What the service may open, judged from a file's owner and mode: doctor's view of the nodes,
// and check's of the layouts on a box, where the daemon reads them as the service's user.
#include <sys/stat.h>

#include "tool/check/check.h"

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
