// Whole-file reading and writing that never leaves a half-written file behind.
//
// WriteFileReplacing writes to a temporary file in the target's folder, flushes it to the
// disk and renames it over the target, so a failure (full disk, no permission, a folder that
// is not one) leaves any earlier file as it was and removes the temporary file. A target that
// is a link is written through to the file it points at (the link stays); a link that points
// nowhere is refused, as is a folder. Paths are the system's bytes (UTF-8 on Linux).
//
// Results: an empty string on success, otherwise the system's reason ("Permission denied",
// "No space left on device", ...) or our own sentence, without the file's name; the caller
// names the file in its message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

[[nodiscard]] std::string WriteFileReplacing(const std::string& path, std::string_view bytes);

// Reads the whole file into bytes; refuses a file larger than max_bytes.
[[nodiscard]] std::string ReadWholeFile(const std::string& path, int64_t max_bytes,
                                        std::string& bytes);

} // namespace base
