// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reading and writing the user's files so that nothing half-happens: only regular files are
// read, and only so much of them; a file is written whole under its name or not at all.

#include <stddef.h>

#include <string>

// Reads path whole when it is a regular file of at most limit bytes. Opens without blocking
// (a FIFO or a device never holds the tool). Returns 0, or -1 with *why: the kind of file it
// is, its size over the limit, or the system's error.
int read_regular_file(const std::string &path, size_t limit, std::string *text, std::string *why);

// The content of a gzip file's bytes, at most limit bytes of it. Returns 0, or -1 with *why.
int gunzip(const std::string &gz, size_t limit, std::string *out, std::string *why);

// Writes text as dir/name through a temporary file in dir, synced and then given the name. With
// replace it is renamed over a file of the name, keeping that file's mode; without, a file of
// the name, even one made while writing, stays as it was and the write fails with EEXIST. A
// new file is 0644 whatever the umask. Returns 0, or -1 with errno, having removed the
// temporary file: the folder is then as it was.
int write_file_atomically(const std::string &dir, const std::string &name, const std::string &text,
                          bool replace);

// Whether a file can be made and written in dir, tried with a temporary one. Returns 0, or -1
// with errno.
int try_folder_writable(const std::string &dir);

// Whether two paths name the same folder.
bool same_folder(const std::string &a, const std::string &b);
