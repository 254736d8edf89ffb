# SPDX-License-Identifier: Apache-2.0
# 64-bit ARM, for boxes that run a 64-bit system: 64-bit time_t and a 24-byte input_event.
# Uses Debian's cross compiler (g++-aarch64-linux-gnu) and runs the test programs under
# qemu-user.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(DRAVOKE_CROSS_TRIPLE aarch64-linux-gnu)
set(DRAVOKE_CROSS_QEMU qemu-aarch64-static)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
