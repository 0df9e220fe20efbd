// Lines per second through the packet manager and the line matcher on the in-memory line:
// the bytes go through the real read and dispatch threads, each line crosses to the UI
// thread (a QueueMessageLoop pumped by the benchmark thread) in a synchronized call, as the
// main window receives them; beside it the same lines with the events on the dispatch
// thread.
#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "packet/data_packet.h"
#include "serial/com_port.h"
#include "serial/support/memory_device.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <memory>
#include <string>

namespace {

using namespace std::chrono_literals;

void LinesThroughMatcher(benchmark::State& state) {
    const bool sync = state.range(0) != 0;
    constexpr int kBatch = 1000;
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed{loop};
    base::RecordingErrorDisplay errors;
    auto line = std::make_shared<serial::testing::TMemoryLine>("COM1");
    serial::TSioComPort port;
    port.SetCustomDispatcher([&](serial::TSioCustomComPort& cp) {
        return serial::TSioDispatcherPtr(new serial::testing::TSioMemoryDispatcher(&cp, line));
    });
    port.SetComNumber(1);
    port.SetBaud(56000);
    packet::TSioDataPacket matcher;
    std::atomic<int64_t> received{0};
    matcher.OnStringPacket = [&](packet::TSioDataPacket&, const std::string& s) {
        if (s.size() > 2)
            received.fetch_add(1, std::memory_order_relaxed);
    };
    matcher.SetComPort(&port);
    matcher.SetStartCond(packet::scAnyData);
    matcher.SetEndCond(packet::TPacketEndSet(packet::ecString));
    matcher.SetEndString("\r\n");
    matcher.SetSyncEvents(sync);
    matcher.SetEnabled(true);
    port.SetOpen(true);

    std::string batch;
    for (int i = 0; i < kBatch; ++i)
        batch += std::to_string(10000 + i) + ",2345,678,1000\r\n";
    int64_t expected = 0;
    for (auto _ : state) {
        expected += kBatch;
        line->Arrive(batch);
        if (!loop.PumpUntil([&] { return received.load() >= expected; }, 30s)) {
            state.SkipWithError("lines did not arrive");
            break;
        }
    }
    state.SetItemsProcessed(received.load());
    state.counters["lines/s"] =
        benchmark::Counter(static_cast<double>(received.load()), benchmark::Counter::kIsRate);
    port.SetOpen(false);
}
BENCHMARK(LinesThroughMatcher)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("sync")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
