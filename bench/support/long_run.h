// Continuous sweeps through the window, unpaced, with the process's threads, descriptors and
// resident memory counted at the start, after 100 sweeps and after the last.
#pragma once

#include "app/tarnel.h"
#include "e2e/window_support.h"
#include "support/pty_ports.h"

#include <QPushButton>
#include <string_view>

namespace bench {

struct LongRunCounts {
    serial::testing::ProcessCounts start, after100, after_all;
    int sweeps = 0; // sweeps begun (the last count is taken only if all of them came)
};

// The window must be connected with nothing running; it is left so, the last sweep ended.
inline LongRunCounts ContinuousSweeps(app::TTarnel& window, int sweeps) {
    LongRunCounts counts;
    // Every sweep begins with the marker line: count them on their way to the handler.
    auto& matcher = window.SioDataPacket();
    const auto handler = matcher.OnStringPacket;
    matcher.OnStringPacket = [&](std::string_view line) {
        if (line == "Start\r\n")
            ++counts.sweeps;
        handler(line);
    };
    counts.start = serial::testing::CountProcess();
    window.MutiScanBtn->click();
    app::WaitUntil([&] { return counts.sweeps > 100; }, 120000);
    counts.after100 = serial::testing::CountProcess();
    app::WaitUntil([&] { return counts.sweeps > sweeps; }, 600000);
    if (counts.sweeps > sweeps)
        counts.after_all = serial::testing::CountProcess();
    window.StopScanBtn->click();
    app::WaitUntil([&] { return window.ScanStartBtn->isEnabled(); }, 10000);
    matcher.OnStringPacket = handler;
    return counts;
}

} // namespace bench
