// Appending a sweep's points to a line series, and the scans the sweep summary runs.
//
// The AddXY figures include the kernel's cost of mapping fresh pages (each sweep starts
// from a cleared series, whose storage was released); faults_per_point shows how many.
// The "warm heap" run keeps freed memory in the process, leaving the model's own cost.
#include "chart/series.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <sys/resource.h>

namespace {

long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

void AddRising(chart::TPlotSeries& series, int32_t points) {
    for (int32_t i = 0; i < points; ++i) {
        series.AddXY(1000.0 + i * 0.01, 1.0 + (i % 500) * 0.01);
    }
}

void ReportPerPoint(benchmark::State& state, int64_t points, long faults) {
    const double total = static_cast<double>(state.iterations() * points);
    state.SetItemsProcessed(state.iterations() * points);
    state.counters["ns_per_point"] =
        benchmark::Counter(total, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["faults_per_point"] = static_cast<double>(faults) / total;
}

// ns per point for AddXY in rising X order into a fresh line series.
void BM_AddXYRising(benchmark::State& state) {
    const auto points = static_cast<int32_t>(state.range(0));
    const long faults = MinorFaults();
    for (auto _ : state) {
        chart::TPlotLineSeries series;
        AddRising(series, points);
        benchmark::DoNotOptimize(series.Count());
    }
    ReportPerPoint(state, points, MinorFaults() - faults);
}
BENCHMARK(BM_AddXYRising)->Arg(1000)->Arg(30000)->Arg(300000)->Unit(benchmark::kMicrosecond);

// For comparison: two lists that grow by a fixed 1000 entries, copying everything each
// time (quadratic in the count).
void BM_FixedBlockGrowthReference(benchmark::State& state) {
    const auto points = static_cast<int32_t>(state.range(0));
    const long faults = MinorFaults();
    for (auto _ : state) {
        std::unique_ptr<double[]> xs;
        std::unique_ptr<double[]> ys;
        int32_t capacity = 0;
        for (int32_t i = 0; i < points; ++i) {
            if (i == capacity) {
                capacity += 1000;
                for (auto* list : {&xs, &ys}) {
                    auto grown = std::make_unique<double[]>(capacity);
                    if (*list) {
                        std::memcpy(grown.get(), list->get(), sizeof(double) * i);
                    }
                    *list = std::move(grown);
                }
            }
            xs[i] = 1000.0 + i * 0.01;
            ys[i] = 1.0 + (i % 500) * 0.01;
        }
        benchmark::DoNotOptimize(xs.get());
        benchmark::DoNotOptimize(ys.get());
    }
    ReportPerPoint(state, points, MinorFaults() - faults);
}
BENCHMARK(BM_FixedBlockGrowthReference)
    ->Arg(1000)
    ->Arg(30000)
    ->Arg(300000)
    ->Unit(benchmark::kMicrosecond);

std::unique_ptr<chart::TPlotLineSeries> FilledSeries(int32_t points) {
    auto series = std::make_unique<chart::TPlotLineSeries>();
    for (int32_t i = 0; i < points; ++i) {
        series->AddXY(1000.0 + i, 2.0 + (i % 977) * 0.001);
    }
    return series;
}

// Worst case: the value sought is absent, so the whole list is scanned.
void BM_LocateMissing(benchmark::State& state) {
    const auto series = FilledSeries(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(series->XValues().Locate(-1.0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LocateMissing)->Arg(300000)->Unit(benchmark::kMicrosecond);

void BM_MinYValue(benchmark::State& state) {
    const auto series = FilledSeries(static_cast<int32_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(series->MinYValue());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MinYValue)->Arg(300000)->Unit(benchmark::kMicrosecond);

// AddXY again with freed memory kept in the heap (registered last: it changes the
// allocator's settings for the rest of the process).
void BM_AddXYRisingWarmHeap(benchmark::State& state) {
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    const auto points = static_cast<int32_t>(state.range(0));
    {
        chart::TPlotLineSeries warm_up;
        AddRising(warm_up, points);
    }
    const long faults = MinorFaults();
    for (auto _ : state) {
        chart::TPlotLineSeries series;
        AddRising(series, points);
        benchmark::DoNotOptimize(series.Count());
    }
    ReportPerPoint(state, points, MinorFaults() - faults);
}
BENCHMARK(BM_AddXYRisingWarmHeap)
    ->Arg(1000)
    ->Arg(30000)
    ->Arg(300000)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
