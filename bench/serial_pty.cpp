// The POSIX device layer's figures on a pseudo-terminal, beside a plain poll + read loop in
// the same run: throughput from the master side to an avail handler that takes everything,
// latency from a byte written on the master to that handler, the CPU of an idle open port
// and of the time after a hang-up, and what 200 open/close cycles leave behind.
//
// Run: build/bench_serial_pty   (about 20 s; prints one table)
#include "base/event.h"
#include "base/message_loop.h"
#include "base/recording_error_display.h"
#include "serial/posix/posix_dispatcher.h"
#include "support/pty_ports.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using serial::TSioBaseDispatcher;
using serial::TSioDispatcherPtr;
using serial::testing::OpenDescriptorsOn;
using serial::testing::PortsFolders;
using serial::testing::Pty;
using serial::testing::ThreadCount;

constexpr size_t kStreamBytes = 64u << 20;
constexpr int kLatencySamples = 2000;

// Streams kStreamBytes into the master in 64 KiB writes.
std::thread Streamer(Pty& pty) {
    return std::thread([&pty] {
        const std::string chunk(65536, '\x55');
        for (size_t sent = 0; sent < kStreamBytes; sent += chunk.size())
            (void)pty.Write(chunk);
    });
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int Count(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++n;
    return n;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

// ---- The plain loop ----

struct PlainResult {
    double mb_per_s = 0, median_ms = 0, p99_ms = 0;
};

PlainResult PlainLoop() {
    PlainResult result;
    Pty pty;
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    std::atomic<size_t> received{0};
    std::atomic<int64_t> seen_ns{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::vector<uint8_t> buffer(65536);
        while (!stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n > 0) {
                received += static_cast<size_t>(n);
                seen_ns = Clock::now().time_since_epoch().count();
            }
        }
    });
    const auto start = Clock::now();
    std::thread streamer = Streamer(pty);
    while (received < kStreamBytes)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    result.mb_per_s =
        kStreamBytes / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();
    streamer.join();

    std::vector<double> latencies;
    for (int i = 0; i < kLatencySamples; ++i) {
        const size_t before = received;
        const auto sent = Clock::now();
        (void)pty.Write("L");
        while (received == before)
            std::this_thread::yield();
        latencies.push_back((seen_ns.load() - sent.time_since_epoch().count()) / 1e6);
    }
    result.median_ms = Percentile(latencies, 0.5);
    result.p99_ms = Percentile(latencies, 0.99);
    stop = true;
    reader.join();
    ::close(fd);
    return result;
}

// ---- Through the device layer ----

// Takes every byte offered and notes when.
struct Sink {
    TSioBaseDispatcher* d = nullptr;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(serial::DispatchBufferSize);
    std::atomic<size_t> bytes{0};
    std::atomic<int64_t> last_ns{0};
    void Notify(uint32_t msg, uint32_t wparam, int32_t) {
        if (msg != serial::APW_TRIGGERAVAIL)
            return;
        if (d->GetBlock(buffer.data(), wparam) == static_cast<int32_t>(wparam)) {
            last_ns = Clock::now().time_since_epoch().count();
            bytes += wparam;
        }
    }
};

class Port {
public:
    explicit Port(const fs::path& ports) : ports_(ports) {}
    int32_t Open(Pty& pty, Sink* sink) {
        PortsFolders::Link(ports_, 5, pty.SlavePath());
        d = TSioDispatcherPtr(new serial::TSioPosixDispatcher(nullptr));
        const int32_t rc = d->InitPort("COM5", 56000, serial::NOPARITY, 8, 1, 65536, 4096, 0);
        if (rc == 0 && sink != nullptr) {
            sink->d = d.get();
            d->RegisterEventTriggerHandler(serial::TSioNotifyEvent::Of<&Sink::Notify>(sink));
            d->ChangeLengthTrigger(1);
        }
        return rc;
    }
    TSioDispatcherPtr d;

private:
    fs::path ports_;
};

} // namespace

int main() {
    base::QueueMessageLoop loop;
    base::ScopedMessageLoop installed(loop);
    base::RecordingErrorDisplay errors;
    PortsFolders folders; // $TARNEL_PORTS_DIR for this run, removed at the end
    Port port(folders.Tool());

    const PlainResult plain = PlainLoop();

    // Throughput and latency through the read thread, the queue and the dispatch thread.
    double ours_mb = 0, ours_median = 0, ours_p99 = 0;
    {
        Pty pty;
        Sink sink;
        if (port.Open(pty, &sink) != 0)
            return 1;
        const auto start = Clock::now();
        std::thread streamer = Streamer(pty);
        while (sink.bytes < kStreamBytes)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ours_mb = kStreamBytes / 1e6 / std::chrono::duration<double>(Clock::now() - start).count();
        streamer.join();
        std::vector<double> latencies;
        for (int i = 0; i < kLatencySamples; ++i) {
            const size_t before = sink.bytes;
            const auto sent = Clock::now();
            (void)pty.Write("L");
            while (sink.bytes == before)
                std::this_thread::yield();
            latencies.push_back((sink.last_ns.load() - sent.time_since_epoch().count()) / 1e6);
        }
        ours_median = Percentile(latencies, 0.5);
        ours_p99 = Percentile(latencies, 0.99);

        // Connected and idle.
        const double cpu0 = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const double idle_pct = (CpuSeconds() - cpu0) / 10.0 * 100.0;

        // The other side hangs up while bytes stream in.
        std::thread more = std::thread([&] {
            const std::string chunk(4096, '\x33');
            for (int i = 0; i < 64; ++i)
                (void)pty.Write(chunk);
        });
        more.join();
        pty.CloseMaster();
        const double cpu1 = CpuSeconds();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double hangup_pct = (CpuSeconds() - cpu1) / 3.0 * 100.0;
        loop.Pump();
        port.d.reset();

        std::printf("%-48s %12s %12s\n", "figure", "plain loop", "device layer");
        std::printf("%-48s %12.1f %12.1f\n", "throughput, MB/s", plain.mb_per_s, ours_mb);
        std::printf("%-48s %12.3f %12.3f\n", "latency median, ms", plain.median_ms, ours_median);
        std::printf("%-48s %12.3f %12.3f\n", "latency p99, ms", plain.p99_ms, ours_p99);
        std::printf("%-48s %12s %11.2f%%\n", "CPU connected and idle 10 s, % of a core", "",
                    idle_pct);
        std::printf("%-48s %12s %11.2f%%\n", "CPU 3 s after the hang-up, % of a core", "",
                    hangup_pct);
        std::printf("%-48s %12s %12zu\n", "errors shown after the hang-up", "", errors.Count());
    }

    // Open/close cycles.
    {
        Pty pty;
        const int threads_before = ThreadCount();
        const int fds_before = Count("/proc/self/fd");
        int failed = 0;
        for (int i = 0; i < 200; ++i) {
            failed += port.Open(pty, nullptr) != 0 ? 1 : 0;
            port.d.reset();
        }
        // A thread counts as gone a moment before the system lets go of it.
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (ThreadCount() > threads_before && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::printf("%-48s %12s %12d\n", "200 open/close: failed opens", "", failed);
        std::printf("%-48s %12s %12d\n", "200 open/close: descriptors left", "",
                    Count("/proc/self/fd") - fds_before + OpenDescriptorsOn(pty.SlavePath()));
        std::printf("%-48s %12s %12d\n", "200 open/close: threads left", "",
                    ThreadCount() - threads_before);
    }
    return 0;
}
