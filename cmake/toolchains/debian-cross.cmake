# SPDX-License-Identifier: Apache-2.0
# What every cross build here shares; the including toolchain file sets
# CMAKE_SYSTEM_PROCESSOR, DRAVOKE_CROSS_TRIPLE (Debian's multiarch triple) and
# DRAVOKE_CROSS_QEMU (the qemu-user program that runs the test programs).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_LIBRARY_ARCHITECTURE ${DRAVOKE_CROSS_TRIPLE})

set(CMAKE_C_COMPILER ${DRAVOKE_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${DRAVOKE_CROSS_TRIPLE}-g++)

# The target's C and C++ libraries live here; qemu finds the dynamic loader under -L.
set(CMAKE_FIND_ROOT_PATH /usr/${DRAVOKE_CROSS_TRIPLE})
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${DRAVOKE_CROSS_QEMU} -L /usr/${DRAVOKE_CROSS_TRIPLE})

# Build tools come from the host; libraries, headers and packages only from the target,
# so that nothing built for x86_64 is picked up by mistake.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
