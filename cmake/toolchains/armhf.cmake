# SPDX-License-Identifier: Apache-2.0
# 32-bit ARM with hardware floating point, the class of the media boxes: 32-bit time_t and
# a 16-byte input_event. Uses Debian's cross compiler (g++-arm-linux-gnueabihf) and runs
# the test programs under qemu-user. No 64-bit time flags: the boxes' C library has none.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(DRAVOKE_CROSS_TRIPLE arm-linux-gnueabihf)
set(DRAVOKE_CROSS_QEMU qemu-arm-static)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)

# GCC notes that passing some structures by value changed in GCC 7.1; everything here is
# built by one compiler, so the note only buries real diagnostics.
#
# Directory listings as the boxes' C library makes them: its struct dirent always has 64-bit
# inode and offset fields, where glibc's 32-bit readdir fails with EOVERFLOW on any entry
# whose value does not fit 32 bits. Under qemu-user that is every entry on ext4, whose
# directory offsets are 64-bit hashes for what the host kernel takes for a 64-bit process
# (a real 32-bit ARM kernel gives 32-bit processes 32-bit ones): the receiver lookup would
# see empty directories. This is large-file support only; time_t stays 32-bit.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi -D_FILE_OFFSET_BITS=64")

