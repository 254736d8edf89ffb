// SPDX-License-Identifier: Apache-2.0
// Building the customer tables against just reading their layout files: 18 customer files of
// 256 named keys each and a full standard layout. The ratio counter is the build's time over
// the reading's time.
#include <benchmark/benchmark.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/protocol.h"
#include "keymap/keymap.h"
#include "keymap/pairing.h"
#include "support/log_capture.h"

namespace {

std::string g_bench_root;
std::string g_bench_keylayout_dir;
std::vector<std::string> g_layout_paths;

std::string key_name(int n) {
    char name[32];
    snprintf(name, sizeof(name), "KEY_FUNCTION_%03d", n);
    return name;
}

void write_layout(const std::string &file, const std::vector<int> &names) {
    FILE *out = fopen(file.c_str(), "w");
    fputs("# layout written by the benchmark\n", out);
    for (size_t scancode = 0; scancode < names.size(); scancode++) {
        fprintf(out, "key %zu   %s\n", scancode, key_name(names[scancode]).c_str());
    }
    fclose(out);
    g_layout_paths.push_back(file);
}

// Every standard scancode is named; each customer file names all 256 of its scancodes with
// the standard names in an order of its own.
void make_layout_tree(void) {
    char root[] = "/tmp/dravoke-bench-XXXXXX";
    if (mkdtemp(root) == nullptr) {
        abort();
    }
    g_bench_root = root;
    g_bench_keylayout_dir = g_bench_root + "/keylayout";
    mkdir(g_bench_keylayout_dir.c_str(), 0755);

    std::vector<int> names(k_keymap_size);
    for (int i = 0; i < k_keymap_size; i++) {
        names[i] = i;
    }
    write_layout(g_bench_keylayout_dir + "/orvex-ir.kl", names);
    std::mt19937 rng(7);
    for (int t = 0; t < k_max_customer_maps; t++) {
        std::shuffle(names.begin(), names.end(), rng);
        char file[64];
        snprintf(file, sizeof(file), "/customer_ir_%04x.kl", 0x1000 + t);
        write_layout(g_bench_keylayout_dir + file, names);
    }
    g_keylayout_dir = g_bench_keylayout_dir.c_str();
    ir_protocol_used = k_ir_protocol_nec;
}

int remove_entry(const char *path, const struct stat *, int, struct FTW *) {
    return remove(path);
}

void read_layout_files(void) {
    static keymap_t table[k_keymap_size];
    for (const std::string &file : g_layout_paths) {
        create_keymap_from_file(file.c_str(), table);
    }
    benchmark::DoNotOptimize(table);
}

void BM_read_layout_files(benchmark::State &state) {
    for (auto _ : state) {
        read_layout_files();
    }
}
BENCHMARK(BM_read_layout_files);

void BM_build_customer_tables(benchmark::State &state) {
    for (auto _ : state) {
        if (init_orvex_ir_map() != k_max_customer_maps) {
            state.SkipWithError("the build did not give 18 tables");
            break;
        }
        benchmark::DoNotOptimize(g_customer_maps);
    }
}
BENCHMARK(BM_build_customer_tables);

// The pairing alone, for one customer table against the standard names indexed once.
void BM_pair_one_table(benchmark::State &state) {
    init_orvex_ir_map();
    keymap_t scratch[k_keymap_size];
    create_keymap_from_file(g_layout_paths.back().c_str(), scratch);
    int32_t map[k_keymap_size];
    name_index_t index;
    index_standard_names(g_base_keymap, &index);
    for (auto _ : state) {
        keymap_t fresh[k_keymap_size];
        memcpy(fresh, scratch, sizeof(fresh));
        pair_customer_keys(g_base_keymap, &index, fresh, map);
        benchmark::DoNotOptimize(map);
    }
}
BENCHMARK(BM_pair_one_table);

double thread_cpu_us(void) {
    struct timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

double wall_us(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// Both in turn in every iteration, so that the ratio is taken under the same conditions.
// "ratio" compares CPU time (user and system), which other work on the machine disturbs
// least; "wall_ratio" compares elapsed time.
void BM_build_to_read_ratio(benchmark::State &state) {
    double read_cpu = 0;
    double build_cpu = 0;
    double read_wall = 0;
    double build_wall = 0;
    for (auto _ : state) {
        double cpu0 = thread_cpu_us();
        double wall0 = wall_us();
        read_layout_files();
        double cpu1 = thread_cpu_us();
        double wall1 = wall_us();
        init_orvex_ir_map();
        double cpu2 = thread_cpu_us();
        double wall2 = wall_us();
        read_cpu += cpu1 - cpu0;
        build_cpu += cpu2 - cpu1;
        read_wall += wall1 - wall0;
        build_wall += wall2 - wall1;
    }
    state.counters["read_cpu_us"] =
        benchmark::Counter(read_cpu, benchmark::Counter::kAvgIterations);
    state.counters["build_cpu_us"] =
        benchmark::Counter(build_cpu, benchmark::Counter::kAvgIterations);
    state.counters["ratio"] = read_cpu > 0 ? build_cpu / read_cpu : 0;
    state.counters["wall_ratio"] = read_wall > 0 ? build_wall / read_wall : 0;
}
BENCHMARK(BM_build_to_read_ratio);

}  // namespace

int main(int argc, char **argv) {
    make_layout_tree();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The layouts are well-formed: any message means the figures measured something else.
    for (const log_line_t &line : take_logs()) {
        fprintf(stderr, "unexpected log: %s", line.text.c_str());
    }
    nftw(g_bench_root.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    return 0;
}
