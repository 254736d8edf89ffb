# Static test programs for the guest; built on the host, run inside it.
OUT ?= .
CXX ?= g++
CC ?= gcc
# A cross build's own flags, e.g. armhf's -Wno-psabi (see cmake/toolchains/debian-cross.cmake).
CROSS_FLAGS ?=
CXXFLAGS = -std=c++17 -O2 -Wall -Wextra -Werror -Wmissing-declarations $(CROSS_FLAGS)
CFLAGS = -std=c11 -O2 -Wall -Wextra -Werror -Wmissing-declarations -D_GNU_SOURCE $(CROSS_FLAGS)

all: $(OUT)/e2e-driver $(OUT)/e2e-forwarder

$(OUT)/e2e-driver: driver.cpp e2e.h cases.cpp bench.cpp demo.cpp soak.cpp guest_util.cpp
	$(CXX) $(CXXFLAGS) -static -o $@ driver.cpp cases.cpp bench.cpp demo.cpp soak.cpp guest_util.cpp

$(OUT)/e2e-forwarder: forwarder.c
	$(CC) $(CFLAGS) -static -o $@ forwarder.c
