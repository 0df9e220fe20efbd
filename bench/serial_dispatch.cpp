// The dispatcher's figures: bytes and notifications per second from the device layer's queue
// to an avail handler that takes everything; latency from a block entering the I/O queue to
// the handler; the CPU an idle open dispatcher costs.
#include "base/event.h"
#include "base/message_loop.h"
#include "serial/support/memory_device.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

using serial::TSioBaseDispatcher;
using serial::TSioDispatcherPtr;
using serial::testing::TMemoryLine;
using serial::testing::TSioMemoryDispatcher;
using Clock = std::chrono::steady_clock;

// Takes every byte offered and notes when it was called.
struct Sink {
    TSioBaseDispatcher* d = nullptr;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(serial::DispatchBufferSize);
    std::atomic<uint64_t> bytes{0};
    std::atomic<uint64_t> notes{0};
    std::atomic<int64_t> last_call_ns{0};
    base::Event called{false, false};

    void Notify(uint32_t msg, uint32_t wparam, int32_t) {
        if (msg != serial::APW_TRIGGERAVAIL)
            return;
        last_call_ns = Clock::now().time_since_epoch().count();
        if (d->GetBlock(buffer.data(), wparam) == static_cast<int32_t>(wparam))
            bytes += wparam;
        ++notes;
        called.Set();
    }
};

struct OpenPort {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    std::shared_ptr<TMemoryLine> line = std::make_shared<TMemoryLine>("COM5");
    TSioDispatcherPtr d;
    Sink sink;

    OpenPort() {
        int32_t rc = -1;
        d = TSioMemoryDispatcher::Open(line, rc);
        sink.d = d.get();
        d->RegisterEventTriggerHandler(serial::TSioNotifyEvent::Of<&Sink::Notify>(&sink));
        d->ChangeLengthTrigger(1);
    }
    ~OpenPort() { d.reset(); }

    // What the read thread does with bytes from the device.
    void Arrive(int32_t size) {
        while (size > 0) {
            const int32_t n = std::min(size, 256);
            auto block = std::make_unique<serial::TDataBuffer>(256);
            block->FDataUsed = n;
            d->FQueue.Push(std::move(block));
            size -= n;
        }
    }
};

// Arrivals of state.range(0) bytes each, pushed as the read thread would push them.
void BM_QueueToAvailHandler(benchmark::State& state) {
    OpenPort port;
    const auto size = static_cast<int32_t>(state.range(0));
    // Up to a dispatch ring of bytes in flight (at least 64 arrivals), as a device layer that
    // keeps reading while the dispatch thread works would have.
    const uint64_t window =
        std::max<uint64_t>(serial::DispatchBufferSize, 64 * static_cast<uint64_t>(size));
    uint64_t pushed = 0;
    for (auto _ : state) {
        while (pushed - port.sink.bytes.load() > window)
            (void)port.sink.called.Wait(std::chrono::milliseconds(10));
        port.Arrive(size);
        pushed += static_cast<uint64_t>(size);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (port.sink.bytes.load() < pushed && Clock::now() < deadline)
        (void)port.sink.called.Wait(std::chrono::milliseconds(10));
    if (port.sink.bytes.load() != pushed)
        state.SkipWithError("bytes lost");
    state.SetBytesProcessed(static_cast<int64_t>(pushed));
    state.counters["notifications/s"] = benchmark::Counter(
        static_cast<double>(port.sink.notes.load()), benchmark::Counter::kIsRate);
    state.counters["arrivals/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_QueueToAvailHandler)->Arg(1)->Arg(30)->Arg(256)->Arg(4096)->UseRealTime();

// One 30-byte block at a time: from its push onto the I/O queue to the handler's call.
void BM_QueueToHandlerLatency(benchmark::State& state) {
    OpenPort port;
    std::vector<double> micros;
    for (auto _ : state) {
        const uint64_t before = port.sink.notes.load();
        const auto start = Clock::now();
        port.Arrive(30);
        while (port.sink.notes.load() == before)
            (void)port.sink.called.Wait(std::chrono::milliseconds(200));
        const auto called = Clock::time_point(Clock::duration(port.sink.last_call_ns.load()));
        micros.push_back(std::chrono::duration<double, std::micro>(called - start).count());
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["median_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
        state.counters["max_us"] = micros.back();
    }
}
BENCHMARK(BM_QueueToHandlerLatency)->Iterations(2000)->UseRealTime();

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// An open port with no traffic: the process's CPU time per second of wall time.
void BM_IdleOpenDispatcher(benchmark::State& state) {
    OpenPort port;
    base::Event never;
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu_before = CpuSeconds();
        const auto start = Clock::now();
        (void)never.Wait(std::chrono::seconds(2));
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += CpuSeconds() - cpu_before;
    }
    state.counters["cpu_ms_per_s"] = wall > 0 ? cpu * 1000 / wall : 0;
}
BENCHMARK(BM_IdleOpenDispatcher)->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// A full dispatch ring with blocks still queued and nobody reading: the dispatch thread must
// sleep, not spin on the blocks it cannot move.
void BM_FullRingWithBlocksQueued(benchmark::State& state) {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    auto line = std::make_shared<TMemoryLine>("COM6");
    int32_t rc = -1;
    auto d = TSioMemoryDispatcher::Open(line, rc);
    line->Arrive(std::vector<uint8_t>(serial::DispatchBufferSize + 4096, 'x'));
    base::Event tick;
    while (!d->DispatchFullState() || d->FQueue.FBytesQueued() == 0)
        (void)tick.Wait(std::chrono::milliseconds(5));
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        const double cpu_before = CpuSeconds();
        const auto start = Clock::now();
        (void)tick.Wait(std::chrono::seconds(2));
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += CpuSeconds() - cpu_before;
    }
    state.counters["cpu_ms_per_s"] = wall > 0 ? cpu * 1000 / wall : 0;
    d.reset();
}
BENCHMARK(BM_FullRingWithBlocksQueued)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
