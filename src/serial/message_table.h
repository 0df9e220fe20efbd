// The serial layer's message table: one text per message number, sorted by the absolute
// value of the number, each absolute value once. Errors are stored with their negative code,
// status texts and log names with a positive number; lookups ignore the sign.
#pragma once

#include <cstdint>
#include <span>

namespace serial {

struct TSioMessageEntry {
    int32_t MessageNumber;
    const char* MessageString;
};

[[nodiscard]] std::span<const TSioMessageEntry> SioMessageNumberLookup();

} // namespace serial
