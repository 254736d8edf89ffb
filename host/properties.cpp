// SPDX-License-Identifier: Apache-2.0
#include <errno.h>
#include <string.h>

#include <android/log.h>
#include <cutils/properties.h>

namespace {

struct property_t {
    char key[PROPERTY_KEY_MAX];
    char value[PROPERTY_VALUE_MAX];
};

// A handful is plenty: the daemon sets one property.
property_t g_properties[16];
int g_property_count = 0;

property_t *find_property(const char *key) {
    for (int i = 0; i < g_property_count; i++) {
        if (strcmp(g_properties[i].key, key) == 0) {
            return &g_properties[i];
        }
    }
    return nullptr;
}

}  // namespace

int property_set(const char *key, const char *value) {
    if (key == nullptr || value == nullptr || strlen(key) >= PROPERTY_KEY_MAX ||
        strlen(value) >= PROPERTY_VALUE_MAX) {
        return -EINVAL;
    }
    property_t *property = find_property(key);
    if (property == nullptr) {
        if (g_property_count == static_cast<int>(sizeof(g_properties) / sizeof(g_properties[0]))) {
            return -ENOMEM;
        }
        property = &g_properties[g_property_count++];
        strcpy(property->key, key);
    }
    strcpy(property->value, value);
    __android_log_print(ANDROID_LOG_DEBUG, "dravoke", "host property %s set to '%s'", key, value);
    return 0;
}

int property_get(const char *key, char *value, const char *default_value) {
    const property_t *property = find_property(key);
    const char *found = property != nullptr ? property->value : default_value;
    if (found == nullptr) {
        found = "";
    }
    size_t length = strnlen(found, PROPERTY_VALUE_MAX - 1);
    memcpy(value, found, length);
    value[length] = '\0';
    return static_cast<int>(length);
}

void host_properties_clear(void) {
    g_property_count = 0;
}
