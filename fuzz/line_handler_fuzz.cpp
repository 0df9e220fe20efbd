// The sweep controller's line handler fed the lines of any byte stream, as the matcher
// delivers them (each up to and including CR LF; the rest of the stream as a last line).
// The first byte picks the band and whether the scan is single or continuous. A bad line may
// raise the program's own errors; anything else (another exception, a crash) is a finding,
// as are curves that no longer hold one point per decoded line.
#include "app/sweep/sweep_controller.h"
#include "app/sweep/sweep_doubles.h"
#include "base/exceptions.h"
#include "chart/plot.h"
#include "chart/series.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

struct Window : app::testing::SweepChartParts {
    app::testing::RecordingComPort port;
    app::testing::RecordingDataPacket matcher;
    app::testing::FakeSweepView view;
    app::SweepController controller{{plot, s1, s2, s3, s4, s5, s6}, port, matcher, view};
};

// R, Z and SWR get one point each per decoded line, at the same frequency. (Points may lie
// beyond the sweep's axis: a start marker that arrives after a single sweep has ended starts
// collecting again at the frequency where that sweep stopped.)
void Check(const Window& w) {
    const int32_t n = w.s3.Count();
    if (w.s1.Count() != n || w.s2.Count() != n) {
        std::abort();
    }
    for (int32_t i = 0; i < n; ++i) {
        const double x = w.s3.XValues().Data()[i];
        if (w.s1.XValues().Data()[i] != x || w.s2.XValues().Data()[i] != x) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    Window w;
    w.controller.FormCreate();
    const uint8_t setup = data[0];
    w.controller.RadioGroup1Click(static_cast<int>(setup % 10) - 1);
    try {
        if (setup & 0x80) {
            w.controller.MutiScanBtnClick();
        } else {
            w.controller.ScanStartBtnClick();
        }
    } catch (const base::Exception&) {
        return 0; // an edit text the program refuses
    }
    std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    while (!stream.empty()) {
        const size_t end = stream.find("\r\n");
        const size_t length = end == std::string_view::npos ? stream.size() : end + 2;
        try {
            w.controller.SioDataPacketStringPacket(stream.substr(0, length));
        } catch (const base::Exception&) {
            // A line the program shows as an error; the next one is handled as usual.
        }
        stream.remove_prefix(length);
        Check(w);
    }
    return 0;
}
