// SPDX-License-Identifier: Apache-2.0
// A whole key layout file read through the kernel-call table, with read sizes taken from
// the input so that line pieces are cut across read boundaries. The table built must not
// depend on how the file arrived.
//   input: n (1 byte), n read sizes (0: the read is interrupted), then the file
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "core/kernel_calls.h"
#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"
#include "support/log_capture.h"

namespace {

struct script_t {
    const uint8_t *sizes;
    size_t size_count;
    size_t next_size;
    const uint8_t *file;
    size_t file_size;
    size_t pos;
};
script_t g_script;
char g_path[] = "/tmp/dravoke-fuzz-layout.XXXXXX";

ssize_t scripted_read(int, void *buf, size_t count) {
    uint8_t size = g_script.sizes[g_script.next_size++ % g_script.size_count];
    if (size == 0) {
        errno = EINTR;
        return -1;
    }
    size_t n = std::min({count, static_cast<size_t>(size), g_script.file_size - g_script.pos});
    memcpy(buf, g_script.file + g_script.pos, n);
    g_script.pos += n;
    return static_cast<ssize_t>(n);
}

// The table as the file's line pieces give it, cut as the reader's line buffer cuts them.
void build_reference(const uint8_t *file, size_t size, keymap_t *table) {
    size_t pos = 0;
    while (pos < size) {
        char line[k_layout_line_size];
        size_t n = 0;
        while (n < k_layout_line_size - 1 && pos < size) {
            line[n++] = static_cast<char>(file[pos++]);
            if (line[n - 1] == '\n') {
                break;
            }
        }
        line[n] = '\0';
        int32_t scancode;
        char name[32];
        if (parse_key_layout_line(line, &scancode, name, nullptr) == 0) {
            table[scancode].scancode = scancode;
            memcpy(table[scancode].name, name, strlen(name) + 1);
        }
    }
}

// Before reading, entries hold a mark that no line can store.
void fill_marked(keymap_t *table) {
    for (int i = 0; i < k_keymap_size; i++) {
        table[i].scancode = -7;
        memset(table[i].name, 0x7f, sizeof(table[i].name));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    int fd = mkstemp(g_path);
    if (fd < 0) {
        abort();
    }
    close(fd);
    atexit([] { unlink(g_path); });
    g_kernel.read = scripted_read;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) {
        return 0;
    }
    size_t size_count = std::min<size_t>(data[0] % 8 + 1, size - 1);
    g_script = {data + 1, size_count, 0, data + 1 + size_count, size - 1 - size_count, 0};
    // Every interrupted read is retried; the script must deliver something eventually.
    if (std::all_of(g_script.sizes, g_script.sizes + size_count, [](uint8_t s) { return !s; })) {
        return 0;
    }

    static keymap_t table[k_keymap_size];
    static keymap_t reference[k_keymap_size];
    fill_marked(table);
    fill_marked(reference);
    if (create_keymap_from_file(g_path, table) != 0) {
        abort();
    }
    build_reference(g_script.file, g_script.file_size, reference);
    for (int i = 0; i < k_keymap_size; i++) {
        const keymap_t &entry = table[i];
        bool marked = entry.scancode == -7;
        size_t length = strnlen(entry.name, sizeof(entry.name));
        // A filled entry sits at its own index with a name that fits.
        if (!marked && (entry.scancode != i || length < 1 || length > 31)) {
            abort();
        }
        if (memcmp(&entry, &reference[i], sizeof(entry)) != 0) {
            abort();
        }
    }
    captured_logs().clear();
    return 0;
}
