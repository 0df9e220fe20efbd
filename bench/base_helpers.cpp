// Cost of the run-time helpers on the program's hot paths: the integer conversion of every
// measurement field, the general number and label formats, and the round trip of a call
// synchronized from a worker onto the owner thread of the plain message loop.
#include "base/conversions.h"
#include "base/format_settings.h"
#include "base/message_loop.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <thread>

namespace {

void BM_StrToInt(benchmark::State& state) {
    const char* fields[] = {"1234", "-56", "  789", "$1F", "2147483647"};
    int64_t sum = 0;
    for (auto _ : state) {
        for (const char* f : fields) {
            sum += base::StrToInt(f);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_StrToInt);

void BM_FloatToStr(benchmark::State& state) {
    base::ScopedFormatSettings settings({".", ","});
    long double v = 1.23456789L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(base::FloatToStr(v));
        v += 0.01L;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FloatToStr);

void BM_FormatFloatLabel(benchmark::State& state) {
    base::ScopedFormatSettings settings({".", ","});
    long double v = 13675.0L;
    for (auto _ : state) {
        benchmark::DoNotOptimize(base::FormatFloat("#,##0.###", v));
        v += 0.125L;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatFloatLabel);

// One worker synchronizing onto an owner thread that waits in PumpUntil.
void BM_SynchronizeRoundTrip(benchmark::State& state) {
    std::atomic<bool> ready{false};
    std::atomic<bool> stop{false};
    base::QueueMessageLoop* loop_ptr = nullptr;
    std::thread owner([&] {
        base::QueueMessageLoop loop;
        loop_ptr = &loop;
        ready = true;
        while (!stop) {
            (void)loop.PumpUntil([&] { return stop.load(); }, std::chrono::milliseconds(100));
        }
    });
    while (!ready) {
        std::this_thread::yield();
    }
    int counter = 0;
    for (auto _ : state) {
        loop_ptr->Synchronize([&] { ++counter; });
    }
    stop = true;
    owner.join();
    benchmark::DoNotOptimize(counter);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SynchronizeRoundTrip)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
