// Colours as stored integers laid out $00BBGGRR (red in the low byte).
#pragma once

#include <cstdint>

namespace base {

using TColor = int32_t;

constexpr TColor clAutoColor = 0x20000000; // no colour of its own: take the series colour
constexpr TColor clNone = 0x1FFFFFFF;      // marks a null point
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
// System colours (resolved by the canvas at paint time).
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);

constexpr uint8_t RedOf(TColor c) {
    return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GreenOf(TColor c) {
    return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t BlueOf(TColor c) {
    return static_cast<uint8_t>((c >> 16) & 0xFF);
}
constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b) {
    return r | (g << 8) | (b << 16);
}

} // namespace base
