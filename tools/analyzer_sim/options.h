// What the simulator is told on its command line: where to publish the port, whether to
// pace its output at the analyzer's line rate, and the faults to inject for tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace analyzer_sim {

// Faults, each at a measurement line of a sweep (1-based; 0 = off). Each fires in the first
// sweep that gets that far, or in every sweep with every_sweep.
struct Faults {
    int64_t bad_line = 0;                        // this line's field c is not a number
    size_t noise_bytes = 0;                      // a line of binary noise (no CR, LF or ",") ...
    int64_t noise_after = 0;                     // ... after this line; 0 puts it before "Start"
    int64_t pause_after = 0;                     // silence after this line ...
    std::chrono::milliseconds pause{0};          // ... this long
    int64_t hangup_after = 0;                    // close the line after this line ...
    std::chrono::milliseconds return_after{200}; // ... and come back on a new pty this later
    bool every_sweep = false;
};

struct Options {
    int port = 6;                    // published as COM<port>
    std::filesystem::path ports_dir; // the folder of the link
    bool fast = false;               // send as fast as the pty takes, not at 56000 baud
    Faults faults;
};

struct ParsedOptions {
    std::optional<Options> options; // empty on an error or for --help
    std::string error;              // what was wrong, for the user
    bool help = false;
};

// Parses the arguments after the program's name. The ports folder defaults to
// default_ports_dir (the caller passes $TARNEL_PORTS_DIR); it must end up non-empty.
[[nodiscard]] ParsedOptions ParseOptions(const std::vector<std::string>& args,
                                         const std::string& default_ports_dir);

// The option summary printed by --help.
[[nodiscard]] std::string Usage();

} // namespace analyzer_sim
