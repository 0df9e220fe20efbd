// The line settings record that the dispatcher composes and a device layer applies: baud
// rate, framing, flow control and the DTR/RTS control modes. The POSIX device layer
// translates it to termios; the in-memory test device keeps it as it is.
#pragma once

#include <cstdint>

namespace serial {

// How the driver drives DTR.
enum class TDtrControl : uint8_t {
    dtrDisable = 0,  // low
    dtrEnable = 1,   // high
    dtrHandshake = 2 // hardware flow control (input side)
};

// How the driver drives RTS.
enum class TRtsControl : uint8_t {
    rtsDisable = 0,   // low
    rtsEnable = 1,    // high
    rtsHandshake = 2, // hardware flow control (input side)
    rtsToggle = 3     // high while bytes are being sent (RS-485 direction)
};

// Parity codes.
inline constexpr uint8_t NOPARITY = 0;
inline constexpr uint8_t ODDPARITY = 1;
inline constexpr uint8_t EVENPARITY = 2;
inline constexpr uint8_t MARKPARITY = 3;
inline constexpr uint8_t SPACEPARITY = 4;

// Stop-bits codes.
inline constexpr uint8_t ONESTOPBIT = 0;
inline constexpr uint8_t ONE5STOPBITS = 1;
inline constexpr uint8_t TWOSTOPBITS = 2;

// Values of SetLine's arguments that keep the device's current setting.
inline constexpr int32_t DontChangeBaud = 0;
inline constexpr int32_t DontChangeParity = 5;
inline constexpr int32_t DontChangeDatabits = 9;
inline constexpr int32_t DontChangeStopbits = 3;

// HWFlowOptions option bits.
inline constexpr uint32_t hfUseDTR = 0x01;     // DTR handshake on the receive side
inline constexpr uint32_t hfUseRTS = 0x02;     // RTS handshake on the receive side
inline constexpr uint32_t hfRequireDSR = 0x04; // transmit only while DSR is high
inline constexpr uint32_t hfRequireCTS = 0x08; // transmit only while CTS is high

// SWFlowEnable option bits.
inline constexpr uint32_t sfTransmitFlow = 0x01; // obey XON/XOFF received
inline constexpr uint32_t sfReceiveFlow = 0x02;  // send XON/XOFF as the input fills

// Flow-control states (HWFlowState, SWFlowState).
inline constexpr int32_t fsOff = 1;       // no flow control of that kind
inline constexpr int32_t fsOn = 2;        // on, nothing held
inline constexpr int32_t fsDsrHold = 3;   // transmission waits for DSR
inline constexpr int32_t fsCtsHold = 4;   // transmission waits for CTS
inline constexpr int32_t fsXOutHold = 6;  // transmission waits: XOFF received
inline constexpr int32_t fsXInHold = 7;   // XOFF sent, the other side waits
inline constexpr int32_t fsXBothHold = 8; // both

struct DCB {
    uint32_t BaudRate = 0; // bits per second, or a legacy index code (LegacyBaudRate)
    // Flags.
    bool fBinary = true;
    bool fParity = false;      // check parity on input
    bool fOutxCtsFlow = false; // transmit only while CTS is high
    bool fOutxDsrFlow = false; // transmit only while DSR is high
    TDtrControl fDtrControl = TDtrControl::dtrDisable;
    bool fDsrSensitivity = false; // drop input while DSR is low
    bool fTXContinueOnXoff = false;
    bool fOutX = false; // XON/XOFF on the transmit side
    bool fInX = false;  // XON/XOFF on the receive side
    bool fNull = false; // drop received NUL bytes
    TRtsControl fRtsControl = TRtsControl::rtsDisable;
    // Fields.
    uint16_t XonLim = 0;  // free input bytes at which XON is sent
    uint16_t XoffLim = 0; // input bytes at which XOFF is sent (input size - this)
    uint8_t ByteSize = 8; // data bits, 5..8
    uint8_t Parity = NOPARITY;
    uint8_t StopBits = ONESTOPBIT;
    uint8_t XonChar = 17;
    uint8_t XoffChar = 19;

    friend bool operator==(const DCB&, const DCB&) = default;
};

// True when every flag of a and b is the same.
[[nodiscard]] constexpr bool SameFlags(const DCB& a, const DCB& b) {
    return a.fBinary == b.fBinary && a.fParity == b.fParity && a.fOutxCtsFlow == b.fOutxCtsFlow &&
           a.fOutxDsrFlow == b.fOutxDsrFlow && a.fDtrControl == b.fDtrControl &&
           a.fDsrSensitivity == b.fDsrSensitivity && a.fTXContinueOnXoff == b.fTXContinueOnXoff &&
           a.fOutX == b.fOutX && a.fInX == b.fInX && a.fNull == b.fNull &&
           a.fRtsControl == b.fRtsControl;
}

// The baud rate a DCB's rate field stands for: the legacy index codes (0xFEFF and
// 0xFF10..0xFF27) of the common rates are translated, everything else is a rate itself.
[[nodiscard]] constexpr uint32_t LegacyBaudRate(uint32_t rate) {
    switch (rate) {
    case 0xFEFF:
        return 115200;
    case 0xFF10:
        return 110;
    case 0xFF11:
        return 300;
    case 0xFF12:
        return 600;
    case 0xFF13:
        return 1200;
    case 0xFF14:
        return 2400;
    case 0xFF15:
        return 4800;
    case 0xFF16:
        return 9600;
    case 0xFF17:
        return 14400;
    case 0xFF18:
        return 19200;
    case 0xFF1B:
        return 38400;
    case 0xFF1F:
        return 56000;
    case 0xFF23:
        return 128000;
    case 0xFF27:
        return 256000;
    default:
        return rate;
    }
}

} // namespace serial
