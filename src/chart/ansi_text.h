// 8-bit text of the stored layout (Windows-1252) to the UTF-8 the program uses inside.
#pragma once

#include <string>
#include <string_view>

namespace chart {

// Decodes Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined map to
// the control characters of the same number, as the system's own conversion does.
[[nodiscard]] std::string Windows1252ToUtf8(std::string_view bytes);

} // namespace chart
