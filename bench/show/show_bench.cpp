// SimTick in a busy show: seed 20261207, both levels High, ticks 20000..30000 timed one by
// one after a warm-up of 20000 ticks. Reports the mean and worst tick, the peak length of
// each list, and heap allocations per tick once warm (counted by replacing operator new).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>

#include "show/show.h"

namespace {

std::atomic<uint64_t> allocations{0};

}  // namespace

void* operator new(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

constexpr uint32_t benchSeed = 20261207;
constexpr int warmTicks = 20000;
constexpr int timedTicks = 10000;

void BM_SimTickBusyShow(benchmark::State& state) {
    nb::settings = nb::Settings{};
    nb::settings.particleLevel = 2;
    nb::settings.smokeLevel = 2;
    nb::SimInit(benchSeed);
    for (int i = 0; i < warmTicks; ++i) {
        nb::SimTick();
    }
    double worstUs = 0;
    double totalUs = 0;
    int ticks = 0;
    int32_t peak[8] = {};
    const uint64_t allocationsBefore = allocations.load();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        nb::SimTick();
        const auto end = std::chrono::steady_clock::now();
        const double us = std::chrono::duration<double, std::micro>(end - start).count();
        state.SetIterationTime(us * 1e-6);
        worstUs = std::max(worstUs, us);
        totalUs += us;
        ++ticks;
        const int32_t lengths[8] = {nb::show.shells.count,     nb::show.smokePuffs.count, nb::show.smokeClouds.count,
                                    nb::show.smokeTrails.count, nb::show.burstStars.count, nb::show.ringStars.count,
                                    nb::show.sparks.count,      nb::show.glitter.count};
        for (int i = 0; i < 8; ++i) {
            peak[i] = std::max(peak[i], lengths[i]);
        }
    }
    const uint64_t allocated = allocations.load() - allocationsBefore;
    state.counters["mean_us"] = totalUs / ticks;
    state.counters["worst_us"] = worstUs;
    state.counters["allocs_per_tick"] = static_cast<double>(allocated) / ticks;
    const char* names[8] = {"peak_shells", "peak_puffs",  "peak_clouds", "peak_trails",
                            "peak_burst",  "peak_ring",   "peak_sparks", "peak_glitter"};
    for (int i = 0; i < 8; ++i) {
        state.counters[names[i]] = peak[i];
    }
    nb::SimShutdown();
}
BENCHMARK(BM_SimTickBusyShow)->Iterations(timedTicks)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
