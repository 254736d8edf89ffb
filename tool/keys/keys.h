// SPDX-License-Identifier: Apache-2.0
#pragma once

// Linux key names and Android's key labels, looked up in the generated tables.

#include <string>

// The code of a Linux key or button name ("KEY_POWER"), aliases included, or -1.
int linux_key_code(const char *name);
// The Linux key name nearest to name, letter case ignored, or "" when none is near.
std::string nearest_linux_key(const std::string &name);
// The Android key label for a Linux key code, or null when Android gives it none.
const char *android_label(int code);
// The Android label of a Linux key's meaning on a remote, or null when it is the generic one.
const char *remote_label(int code);
// The label Android's generic key layout, Generic.kl, gives a Linux key code, or null. Unlike
// android_label, it leaves KEY_OK unmapped, as Generic.kl does.
const char *generic_label(int code);

// The Android versions whose key layout reader accepts label in a key line, from *first to
// *last; false when no version known here does.
bool android_label_versions(const std::string &label, int *first, int *last);
// Whether that version's reader accepts label.
bool android_accepts_label(const std::string &label, int version);
// The Android label a name was probably meant as, or "" when none is near.
std::string nearest_android_label(const std::string &name);
