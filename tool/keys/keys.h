#pragma once

// Linux key names and Android's labels for them, looked up in the generated tables.

#include <string>

// The code of a Linux key or button name ("KEY_POWER"), aliases included, or -1.
int linux_key_code(const char *name);
// The Linux key name nearest to name, letter case ignored, or "" when none is near.
std::string nearest_linux_key(const std::string &name);
// The Android key label for a Linux key code, or null when Android gives it none.
const char *android_label(int code);
// The Android label of a Linux key's meaning on a remote, or null when it is the generic one.
const char *remote_label(int code);
