#include "analyzer_sim/options.h"

#include <charconv>
#include <limits>

namespace analyzer_sim {

namespace {

bool ParseCount(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

} // namespace

std::string Usage() {
    return "usage: tarnel-analyzer-sim [options]\n"
           "Answers the program's scan commands on a pseudo-terminal published as COM<n>.\n"
           "  --port N          publish as COM<N> (default 6)\n"
           "  --ports-dir DIR   folder of the COM<N> link (default $TARNEL_PORTS_DIR)\n"
           "  --fast            send as fast as the line takes (default: 56000 baud)\n"
           "faults, at measurement line N of the first sweep that gets there:\n"
           "  --bad-line N      line N carries a field that is not a number\n"
           "  --noise BYTES     a line of BYTES bytes of binary noise before \"Start\"\n"
           "  --noise-after N   ... after line N instead\n"
           "  --pause-after N   stay silent after line N ...\n"
           "  --pause-ms MS     ... for MS milliseconds\n"
           "  --hangup-after N  hang up after line N (the pty closes) ...\n"
           "  --return-ms MS    ... and come back on a new pty MS later (default 200)\n"
           "  --every-sweep     inject the faults in every sweep\n"
           "  --help            this text\n";
}

ParsedOptions ParseOptions(const std::vector<std::string>& args,
                           const std::string& default_ports_dir) {
    ParsedOptions result;
    Options options;
    options.ports_dir = default_ports_dir;
    constexpr int64_t kMaxLine = std::numeric_limits<int32_t>::max();
    constexpr int64_t kMaxMs = 24LL * 3600 * 1000;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.help = true;
            return result;
        }
        if (arg == "--fast") {
            options.fast = true;
            continue;
        }
        if (arg == "--every-sweep") {
            options.faults.every_sweep = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            result.error =
                arg.rfind("--", 0) == 0 ? arg + " needs a value" : "unknown argument " + arg;
            return result;
        }
        const std::string& value = args[++i];
        int64_t n = 0;
        bool ok = true;
        if (arg == "--ports-dir") {
            options.ports_dir = value;
        } else if (arg == "--port") {
            ok = ParseCount(value, 1, 255, n);
            options.port = static_cast<int>(n);
        } else if (arg == "--bad-line") {
            ok = ParseCount(value, 1, kMaxLine, options.faults.bad_line);
        } else if (arg == "--noise") {
            ok = ParseCount(value, 1, 1 << 20, n);
            options.faults.noise_bytes = static_cast<size_t>(n);
        } else if (arg == "--noise-after") {
            ok = ParseCount(value, 0, kMaxLine, options.faults.noise_after);
        } else if (arg == "--pause-after") {
            ok = ParseCount(value, 1, kMaxLine, options.faults.pause_after);
        } else if (arg == "--pause-ms") {
            ok = ParseCount(value, 0, kMaxMs, n);
            options.faults.pause = std::chrono::milliseconds(n);
        } else if (arg == "--hangup-after") {
            ok = ParseCount(value, 1, kMaxLine, options.faults.hangup_after);
        } else if (arg == "--return-ms") {
            ok = ParseCount(value, 0, kMaxMs, n);
            options.faults.return_after = std::chrono::milliseconds(n);
        } else {
            result.error = "unknown option " + arg;
            return result;
        }
        if (!ok) {
            result.error = "bad value for " + arg + ": " + value;
            return result;
        }
    }
    if (options.ports_dir.empty()) {
        result.error = "no ports folder: give --ports-dir DIR or set TARNEL_PORTS_DIR";
        return result;
    }
    result.options = options;
    return result;
}

} // namespace analyzer_sim
