// The simulator's end of the line: the master side of a pseudo-terminal in raw mode, and
// the COM<n> link that publishes its slave as a port to the program.
#pragma once

#include "analyzer_sim/unique_fd.h"

#include <filesystem>
#include <string>

namespace analyzer_sim {

// A pseudo-terminal master, non-blocking, with the line in raw mode (no echo, no line
// editing, no CR/LF translation) so the bytes pass as they are in both directions.
// Throws std::system_error when no pseudo-terminal can be had.
class PtyMaster {
public:
    PtyMaster();

    [[nodiscard]] int Fd() const { return master_.Get(); }
    [[nodiscard]] const std::string& SlavePath() const { return slave_path_; }

private:
    UniqueFd master_;
    std::string slave_path_; // /dev/pts/<n>
};

// COM<n> in a ports folder, a symbolic link to a pty slave. Each Publish replaces it in one
// step (a link under a temporary name renamed over it), so a reader never finds the name
// missing or half made. The link is removed with the object if it still names what was
// published last.
class PortLink {
public:
    // Creates the folder when missing. Throws std::filesystem::filesystem_error.
    PortLink(std::filesystem::path folder, int number);
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    void Publish(const std::string& target);
    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string target_; // what the link names, empty before the first Publish
};

} // namespace analyzer_sim
