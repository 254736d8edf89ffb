// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <android/log.h>

#define DRAVOKE_LOG_TAG "dravoke"

#define log_debug(...) __android_log_print(ANDROID_LOG_DEBUG, DRAVOKE_LOG_TAG, __VA_ARGS__)
#define log_error(...) __android_log_print(ANDROID_LOG_ERROR, DRAVOKE_LOG_TAG, __VA_ARGS__)
