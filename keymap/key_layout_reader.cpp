// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include "core/kernel_calls.h"
#include "core/log.h"
#include "keymap/key_layout_line.h"
#include "keymap/keymap.h"
#include "keymap/keymap_observer.h"

namespace {

// A layout file read in blocks, handed out a line piece at a time. Lives on the reader's
// stack: the reader keeps nothing between calls and allocates nothing.
struct layout_stream_t {
    int fd;
    size_t pos;
    size_t len;
    char block[4096];
};

// Copies the next piece of a line into line: up to and including the next newline, at most
// k_layout_line_size - 1 characters, NUL-terminated. Returns the number of characters (NUL
// bytes of the file included), 0 at the end of the file, or -1 on a read error with errno
// set; a piece cut short by a read error is dropped.
ssize_t read_line_piece(layout_stream_t *stream, char line[k_layout_line_size]) {
    size_t n = 0;
    while (n < k_layout_line_size - 1) {
        if (stream->pos == stream->len) {
            ssize_t got = g_kernel.read(stream->fd, stream->block, sizeof(stream->block));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return -1;
            }
            if (got == 0) {
                break;
            }
            stream->pos = 0;
            stream->len = static_cast<size_t>(got);
        }
        char c = stream->block[stream->pos++];
        line[n++] = c;
        if (c == '\n') {
            break;
        }
    }
    line[n] = '\0';
    return static_cast<ssize_t>(n);
}

}  // namespace

int create_keymap_from_file(const char *path, keymap_t *table) {
    // Non-blocking so that a FIFO under a layout file's name cannot stall start-up; it has no
    // effect on regular files.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int error_number = errno;
        log_error("open '%s' fail, %s\n", path, strerror(error_number));
        if (g_keymap_observer != nullptr) {
            g_keymap_observer->file_failed(path, error_number, true);
        }
        return -1;
    }

    layout_stream_t stream;
    stream.fd = fd;
    stream.pos = 0;
    stream.len = 0;
    char line[k_layout_line_size];
    int result = 0;
    int line_number = 1;
    for (;;) {
        ssize_t got = read_line_piece(&stream, line);
        if (got < 0) {
            int error_number = errno;
            log_error("reading '%s' error, %s\n", path, strerror(error_number));
            if (g_keymap_observer != nullptr) {
                g_keymap_observer->file_failed(path, error_number, false);
            }
            result = -1;
            break;
        }
        if (got == 0) {
            break;
        }
        int32_t scancode = -1;
        char name[sizeof(table[0].name)] = "";
        key_line_note_t note;
        if (parse_key_layout_line(line, &scancode, name, &note) == 0) {
            // Last line wins for a scancode named twice.
            table[scancode].scancode = scancode;
            memcpy(table[scancode].name, name, strlen(name) + 1);
        }
        if (g_keymap_observer != nullptr) {
            g_keymap_observer->line_read(path, line_number, line, static_cast<size_t>(got), note,
                                         scancode, name);
        }
        if (line[got - 1] == '\n') {
            line_number++;
        }
    }
    close(fd);
    return result;
}
