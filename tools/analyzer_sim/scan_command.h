// The analyzer's side of the scan command: "scanr <start> <end> <step>" CR LF, cut from the
// bytes as they arrive (a command may come split over several reads). Anything else is
// reported back as malformed so the simulator can note it and go on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace analyzer_sim {

struct ScanCommand {
    int64_t start_hz = 0;
    int64_t end_hz = 0;
    int64_t step_hz = 0;
    bool operator==(const ScanCommand&) const = default;
};

// A received line that is not a usable scan command, as received (without its line end).
struct MalformedCommand {
    std::string text;
    std::string reason;
};

using CommandEvent = std::variant<ScanCommand, MalformedCommand>;

// Parses one line without its line end. Words are separated by blanks; start and step must
// be positive, end may lie below start.
[[nodiscard]] CommandEvent ParseCommandLine(std::string_view line);

// Collects bytes into lines (LF ends a line, a CR before it is dropped) and parses each.
// Blank lines are skipped. A line longer than kMaxCommandLength is reported once as
// malformed and its bytes are dropped up to the next LF, so noise cannot grow the buffer.
class CommandParser {
public:
    static constexpr size_t kMaxCommandLength = 256;

    [[nodiscard]] std::vector<CommandEvent> Feed(std::string_view bytes);

private:
    std::string pending_;   // the bytes of the line not yet ended
    bool overlong_ = false; // dropping the rest of an overlong line
};

// The line with control and non-ASCII bytes written as \xNN, for notes on a terminal.
[[nodiscard]] std::string Printable(std::string_view text);

} // namespace analyzer_sim
