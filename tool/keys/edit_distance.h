#pragma once

#include <stddef.h>

#include <string>

// Edits (insertions, deletions, substitutions) from a to b, letter case ignored.
size_t edit_distance(const std::string &a, const std::string &b);
