// SPDX-License-Identifier: Apache-2.0
#include "core/poll_set.h"

int32_t g_nfds = 0;
