#include "analyzer_sim/scan_command.h"

#include <charconv>

namespace analyzer_sim {

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const size_t begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > begin) {
            words.push_back(line.substr(begin, i - begin));
        }
    }
    return words;
}

std::optional<int64_t> Number(std::string_view word) {
    int64_t value = 0;
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

CommandEvent ParseCommandLine(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    std::string text(line);
    if (words.empty() || words[0] != "scanr") {
        return MalformedCommand{text, "unknown command"};
    }
    if (words.size() != 4) {
        return MalformedCommand{text, "scanr takes start, end and step"};
    }
    const auto start = Number(words[1]);
    const auto end = Number(words[2]);
    const auto step = Number(words[3]);
    if (!start || !end || !step) {
        return MalformedCommand{text, "not a whole number"};
    }
    if (*start <= 0 || *step <= 0) {
        return MalformedCommand{text, "start and step must be above 0"};
    }
    return ScanCommand{*start, *end, *step};
}

std::vector<CommandEvent> CommandParser::Feed(std::string_view bytes) {
    std::vector<CommandEvent> events;
    for (const char ch : bytes) {
        if (ch == '\n') {
            if (!overlong_) {
                std::string_view line = pending_;
                if (!line.empty() && line.back() == '\r') {
                    line.remove_suffix(1);
                }
                if (!Words(line).empty()) {
                    events.push_back(ParseCommandLine(line));
                }
            }
            pending_.clear();
            overlong_ = false;
            continue;
        }
        if (overlong_) {
            continue;
        }
        if (pending_.size() == kMaxCommandLength) {
            events.push_back(MalformedCommand{pending_, "line too long"});
            pending_.clear();
            overlong_ = true;
            continue;
        }
        pending_ += ch;
    }
    return events;
}

std::string Printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown += ch;
        } else {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        }
    }
    return shown;
}

} // namespace analyzer_sim
