# 32-bit ARM with hardware floating point, the class of the media boxes: 32-bit time_t and
# a 16-byte input_event. Uses Debian's cross compiler (g++-arm-linux-gnueabihf) and runs
# the test programs under qemu-user. No 64-bit time flags: the boxes' C library has none.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
# GCC notes that passing some structures by value changed in GCC 7.1; everything here is
# built by one compiler, so the note only buries real diagnostics.
set(CMAKE_CXX_FLAGS_INIT -Wno-psabi)

# The target's C and C++ libraries live here; qemu finds the dynamic loader under -L.
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/qemu-arm-static -L /usr/arm-linux-gnueabihf)

# Build tools come from the host; libraries, headers and packages only from the target,
# so that nothing built for x86_64 is picked up by mistake.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
