#pragma once

// Finding the customer layout files a folder already holds, as the daemon would take them:
// the digits of a name may be of either case, so one customer code may have a file under
// several spellings, of which the daemon uses only the first it lists.

#include <stdint.h>

#include <string>
#include <vector>

// The names in dir that the daemon takes as customer files of the protocol, in listing order,
// with their customer codes; none when dir cannot be listed.
struct customer_file_t {
    std::string name;
    int customer_code;
};
std::vector<customer_file_t> list_customer_files(const std::string &dir, int32_t protocol);

// What writing a customer file into out_dir meets: the files of its customer code in out_dir
// and, when it is another folder, in the key layout folder layout_dir.
struct customer_target_t {
    std::string name;                   // what to write: the existing file's name, else the
                                        // daemon's own spelling
    std::vector<std::string> existing;  // their paths, out_dir's first
};
customer_target_t find_customer_target(const std::string &out_dir, const std::string &layout_dir,
                                       int32_t protocol, int customer_code);
