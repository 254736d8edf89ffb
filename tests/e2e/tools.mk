# SPDX-License-Identifier: Apache-2.0
# Static test programs for the guest; built on the host, run inside it.
OUT ?= .
CXX ?= g++
CC ?= gcc
# A cross build's own flags, e.g. armhf's -Wno-psabi (see cmake/toolchains/debian-cross.cmake).
CROSS_FLAGS ?=
CXXFLAGS = -std=c++17 -O2 -Wall -Wextra -Werror -Wmissing-declarations $(CROSS_FLAGS)
CFLAGS = -std=c11 -O2 -Wall -Wextra -Werror -Wmissing-declarations -D_GNU_SOURCE $(CROSS_FLAGS)

# Every C++ file here is part of the driver.
DRIVER_SOURCES = $(sort $(wildcard *.cpp))

all: $(OUT)/e2e-driver $(OUT)/e2e-forwarder

$(OUT)/e2e-driver: $(DRIVER_SOURCES) $(wildcard *.h)
	$(CXX) $(CXXFLAGS) -static -o $@ $(DRIVER_SOURCES)

$(OUT)/e2e-forwarder: forwarder.c
	$(CC) $(CFLAGS) -static -o $@ forwarder.c
