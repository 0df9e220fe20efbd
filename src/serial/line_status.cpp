#include "serial/line_status.h"

namespace serial {

bool ValidLineArguments(int32_t Baud, int32_t Parity, int32_t DataBits, int32_t StopBits) {
    return Baud >= 0 && Parity >= 0 && Parity <= DontChangeParity && DataBits >= 5 &&
           DataBits <= DontChangeDatabits && StopBits >= 0;
}

DCB ComposeLine(const DCB& current, int32_t Baud, int32_t Parity, int32_t DataBits,
                int32_t StopBits) {
    DCB dcb = current;
    dcb.fBinary = true;
    dcb.fTXContinueOnXoff = true;
    dcb.fParity = false;
    dcb.fDsrSensitivity = false;
    dcb.fNull = false;
    if (Baud != DontChangeBaud) {
        dcb.BaudRate = static_cast<uint32_t>(Baud);
    }
    if (Parity != DontChangeParity) {
        dcb.Parity = static_cast<uint8_t>(Parity);
    }
    if (DataBits != DontChangeDatabits) {
        dcb.ByteSize = static_cast<uint8_t>(DataBits);
    }
    if (StopBits == 0) {
        StopBits = 1;
    } else if (StopBits > DontChangeStopbits) {
        StopBits = 2;
    }
    if (StopBits != DontChangeStopbits) {
        dcb.StopBits = StopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
    }
    if (DataBits == 5 || (StopBits != DontChangeStopbits && dcb.ByteSize == 5)) {
        dcb.StopBits = ONE5STOPBITS;
    }
    return dcb;
}

bool SameLine(const DCB& a, const DCB& b) {
    return a.BaudRate == b.BaudRate && a.Parity == b.Parity && a.ByteSize == b.ByteSize &&
           a.StopBits == b.StopBits && SameFlags(a, b);
}

uint32_t DrainWaitMs(uint32_t baud, const DCB& dcb) {
    const uint64_t rate = LegacyBaudRate(baud);
    if (rate == 0) {
        return 0;
    }
    uint64_t bits = uint64_t{dcb.ByteSize} + 2;
    if (dcb.Parity != NOPARITY) {
        ++bits;
    }
    if (dcb.StopBits != ONESTOPBIT) {
        ++bits;
    }
    // In units of 100 ns.
    uint64_t t = (10'000'000 / rate) * bits * 18;
    if (t < 10'000) {
        t *= 2;
    }
    return static_cast<uint32_t>((t + 9'999) / 10'000);
}

int32_t LineErrorCode(uint32_t last_error) {
    if (last_error & leBufferBit) {
        return leBuffer;
    }
    if (last_error & leOverrunBit) {
        return leOverrun;
    }
    if (last_error & leParityBit) {
        return leParity;
    }
    if (last_error & leFramingBit) {
        return leFraming;
    }
    if (last_error & leBreakBit) {
        return leBreak;
    }
    return leNone;
}

uint16_t StatusTriggerValue(uint32_t SType, uint16_t Value, uint8_t modem_status) {
    switch (SType) {
    case stModem: // the lines to watch, and their state now
        return static_cast<uint16_t>(((Value & 0xFF) << 8) | (Value & modem_status & 0xFF));
    case stLine: // overrun, parity, framing, break as LastError's bits
        return static_cast<uint16_t>((Value & 0x0F) << 1);
    case stOutBuffFree:
    case stOutBuffUsed:
        return Value; // a byte count
    default:
        return 0;
    }
}

} // namespace serial
