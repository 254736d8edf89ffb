// SPDX-License-Identifier: Apache-2.0
#pragma once

// Host stand-in for libcutils' system properties: values live in this process only.
#define PROPERTY_KEY_MAX 32
#define PROPERTY_VALUE_MAX 92

extern "C" {
int property_set(const char *key, const char *value);
int property_get(const char *key, char *value, const char *default_value);
}

// Forgets every value; for tests.
void host_properties_clear(void);
