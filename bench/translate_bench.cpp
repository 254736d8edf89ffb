// SPDX-License-Identifier: Apache-2.0
// What translating a raw code costs over merely passing an event on: nanoseconds per key
// for the receiver read plus detect_key_input writing into a pipe, against a bare
// forwarder that reads one event and writes it on unchanged.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "core/protocol.h"
#include "daemon/daemon.h"
#include "inject/inject.h"
#include "keymap/keymap.h"

namespace {

// Keys handled between two refills of the receiver pipe, outside the timing.
constexpr int k_batch = 1024;
constexpr int32_t k_customer = 0x00ff;

struct pipes_t {
    int receiver_read;
    int receiver_write;
    int keyboard_read;
    int keyboard_write;
};

void open_pipe(int *read_end, int *write_end) {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK) != 0) {
        perror("pipe2");
        _exit(1);
    }
    // Room for a whole batch of keys in either direction.
    fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    *read_end = fds[0];
    *write_end = fds[1];
}

pipes_t open_pipes(void) {
    pipes_t p;
    open_pipe(&p.receiver_read, &p.receiver_write);
    open_pipe(&p.keyboard_read, &p.keyboard_write);
    return p;
}

void close_pipes(const pipes_t &p) {
    close(p.receiver_read);
    close(p.receiver_write);
    close(p.keyboard_read);
    close(p.keyboard_write);
}

// The remote's table is the last of the 18, so every key searches them all.
void load_tables(void) {
    ir_protocol_used = k_ir_protocol_nec;
    g_customer_map_count = k_max_customer_maps;
    for (int i = 0; i < k_max_customer_maps; i++) {
        memset(&g_customer_maps[i], 0, sizeof(g_customer_maps[i]));
        g_customer_maps[i].customer_code = i + 1;
    }
    customer_map_t &remote = g_customer_maps[k_max_customer_maps - 1];
    remote.customer_code = k_customer;
    remote.scancode_map[3] = 115;
}

// Refills the receiver with a batch of raw codes and empties the keyboard pipe.
void refill(const pipes_t &p, bool presses_only) {
    static char sink[1 << 16];
    while (read(p.keyboard_read, sink, sizeof(sink)) > 0) {
    }
    std::vector<struct input_event> events(k_batch);
    for (int i = 0; i < k_batch; i++) {
        memset(&events[i], 0, sizeof(events[i]));
        events[i].type = EV_MSC;
        events[i].code = MSC_SCAN;
        bool pressed = presses_only || i % 2 == 0;
        events[i].value = (pressed ? 0x1000000 : 0) | k_customer << 8 | 3;
    }
    size_t size = events.size() * sizeof(struct input_event);
    if (write(p.receiver_write, events.data(), size) != static_cast<ssize_t>(size)) {
        perror("refill");
        _exit(1);
    }
}

void run_translation(benchmark::State &state, bool presses_only) {
    load_tables();
    pipes_t p = open_pipes();
    g_key_dev.fd = p.keyboard_write;
    g_key_dev.event = &g_receive_buffer;
    g_key_dev.key_down = 0;
    int left = 0;
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            refill(p, presses_only);
            left = k_batch;
            state.ResumeTiming();
        }
        if (input_event_process(p.receiver_read, &g_receive_buffer) == 0) {
            detect_key_input(&g_key_dev);
        }
        left--;
    }
    close_pipes(p);
}

// Alternating press and release reports: two writes a key.
void translate_press_release(benchmark::State &state) {
    run_translation(state, false);
}

// Press reports only, each releasing the key still down first: four writes a key.
void translate_repeated_press(benchmark::State &state) {
    run_translation(state, true);
}

void forward_unchanged(benchmark::State &state) {
    pipes_t p = open_pipes();
    int left = 0;
    struct input_event event;
    for (auto _ : state) {
        if (left == 0) {
            state.PauseTiming();
            refill(p, false);
            left = k_batch;
            state.ResumeTiming();
        }
        if (read(p.receiver_read, &event, sizeof(event)) == static_cast<ssize_t>(sizeof(event))) {
            benchmark::DoNotOptimize(write(p.keyboard_write, &event, sizeof(event)));
        }
        left--;
    }
    close_pipes(p);
}

BENCHMARK(translate_press_release);
BENCHMARK(translate_repeated_press);
BENCHMARK(forward_unchanged);

// Prints as usual and keeps the nanoseconds per key of each benchmark for the ratios.
class recording_reporter : public benchmark::ConsoleReporter {
   public:
    // No colour codes: the figures usually end up in a log.
    recording_reporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                ns_per_key[run.benchmark_name()] = run.GetAdjustedRealTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::map<std::string, double> ns_per_key;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    recording_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto found = reporter.ns_per_key.find("forward_unchanged");
    if (found == reporter.ns_per_key.end() || found->second <= 0) {
        return 0;
    }
    for (const auto &entry : reporter.ns_per_key) {
        printf("%-26s %8.1f ns per key, %5.2f x the bare forwarder\n", entry.first.c_str(),
               entry.second, entry.second / found->second);
    }
    return 0;
}
