// SPDX-License-Identifier: Apache-2.0
// The running kernel's configuration, which decides whether Android uses a key layout with a
// requires_kernel_config line: /proc/config.gz, which the shell domain may read.
#include <string>

#include "tool/android/android.h"
#include "tool/android/reader.h"
#include "tool/files/files.h"
#include "tool/tables/tables.h"

const char *g_kernel_config_file = "/proc/config.gz";

namespace {

// The compressed configuration is some 40 KiB, the text some 250 KiB.
constexpr size_t k_max_config_gz_bytes = 1 << 20;
constexpr size_t k_max_config_bytes = 16 << 20;

}  // namespace

void read_kernel_config(const tool_options_t *options, kernel_config_t *kernel) {
    kernel->known = false;
    kernel->config.clear();
    int first;
    int last;
    android_judged(options, &first, &last);
    if (!options->on_android ||
        (k_android_kernel_configs_checked & android_versions(first, last)) == 0) {
        kernel->unknown = "not known off the box";
        return;
    }
    std::string gz;
    std::string text;
    std::string why;
    if (read_regular_file(g_kernel_config_file, k_max_config_gz_bytes, &gz, &why) != 0 ||
        gunzip(gz, k_max_config_bytes, &text, &why) != 0) {
        kernel->unknown = std::string("not known: ") + g_kernel_config_file + ": " + why;
        return;
    }
    // "CONFIG_X=y" or "=m"; "# CONFIG_X is not set" and other values do not count.
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end;
        size_t equals = at;
        while (equals < end && text[equals] != '=') {
            equals++;
        }
        if (equals < end && end - equals == 2 &&
            (text[equals + 1] == 'y' || text[equals + 1] == 'm')) {
            kernel->config.insert(text.substr(at, equals - at));
        }
        at = end + 1;
    }
    kernel->known = true;
}
