# Static test programs for the guest; built on the host, run inside it.
OUT ?= .
CXX ?= g++
CC ?= gcc
CXXFLAGS = -std=c++17 -O2 -Wall -Wextra -Werror -Wmissing-declarations
CFLAGS = -std=c11 -O2 -Wall -Wextra -Werror -Wmissing-declarations -D_GNU_SOURCE

all: $(OUT)/e2e-driver $(OUT)/e2e-forwarder

$(OUT)/e2e-driver: driver.cpp e2e.h cases.cpp bench.cpp demo.cpp soak.cpp guest_util.cpp
	$(CXX) $(CXXFLAGS) -static -o $@ driver.cpp cases.cpp bench.cpp demo.cpp soak.cpp guest_util.cpp

$(OUT)/e2e-forwarder: forwarder.c
	$(CC) $(CFLAGS) -static -o $@ forwarder.c
