// termios2 on a descriptor: raw mode, and the DCB's line settings with any rate (BOTHER).
#include "serial/posix/line_settings.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace serial::posix {

namespace {

int GetSettings(int fd, termios2& t) {
    return ::ioctl(fd, TCGETS2, &t) == 0 ? 0 : errno;
}

int SetSettings(int fd, const termios2& t) {
    return ::ioctl(fd, TCSETS2, &t) == 0 ? 0 : errno;
}

// The rate a termios2 holds: c_ospeed is filled by the kernel for every rate, BOTHER or not.
uint32_t OutputRate(const termios2& t) {
    return t.c_ospeed;
}

tcflag_t SizeBits(uint8_t data_bits) {
    switch (data_bits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

uint8_t DataBits(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5:
        return 5;
    case CS6:
        return 6;
    case CS7:
        return 7;
    default:
        return 8;
    }
}

} // namespace

bool RateAccepted(uint32_t wanted, uint32_t reported) {
    const uint64_t off = wanted > reported ? wanted - reported : reported - wanted;
    return off * 100 <= uint64_t{wanted} * 3;
}

int ApplyRawMode(int fd) {
    termios2 t{};
    if (const int err = GetSettings(fd, t); err != 0)
        return err;
    t.c_iflag &= ~static_cast<tcflag_t>(BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | IUCLC | IMAXBEL | INPCK);
    t.c_iflag |= IGNBRK;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST | ONLCR | OCRNL | ONOCR | ONLRET | OLCUC);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOKE | ICANON |
                                        ISIG | IEXTEN | NOFLSH | TOSTOP);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CMSPAR | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (const int err = SetSettings(fd, t); err != 0)
        return err;
    // A device may keep a flag it cannot change: cooked input would turn CR LF into LF LF.
    termios2 back{};
    if (const int err = GetSettings(fd, back); err != 0)
        return err;
    const bool raw = (back.c_iflag & (ICRNL | INLCR | IGNCR | IXON)) == 0 &&
                     (back.c_oflag & OPOST) == 0 &&
                     (back.c_lflag & (ECHO | ICANON | ISIG | IEXTEN)) == 0 &&
                     (back.c_cflag & (CLOCAL | CREAD)) == (CLOCAL | CREAD) &&
                     back.c_cc[VMIN] == 1 && back.c_cc[VTIME] == 0;
    return raw ? 0 : EINVAL;
}

void DecodeSettings(const termios2& t, DCB& dcb) {
    dcb.BaudRate = OutputRate(t);
    dcb.ByteSize = DataBits(t.c_cflag);
    if ((t.c_cflag & PARENB) == 0) {
        dcb.Parity = NOPARITY;
    } else if ((t.c_cflag & CMSPAR) != 0) {
        dcb.Parity = (t.c_cflag & PARODD) != 0 ? MARKPARITY : SPACEPARITY;
    } else {
        dcb.Parity = (t.c_cflag & PARODD) != 0 ? ODDPARITY : EVENPARITY;
    }
    if ((t.c_cflag & CSTOPB) == 0)
        dcb.StopBits = ONESTOPBIT;
    else
        dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
    dcb.fOutX = (t.c_iflag & IXON) != 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0;
    dcb.XonChar = t.c_cc[VSTART];
    dcb.XoffChar = t.c_cc[VSTOP];
}

int ComposeSettings(const DCB& dcb, termios2& t) {
    const uint32_t rate = LegacyBaudRate(dcb.BaudRate);
    if (rate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
        dcb.StopBits > TWOSTOPBITS)
        return EINVAL;
    if ((dcb.StopBits == ONE5STOPBITS) != (dcb.StopBits != ONESTOPBIT && dcb.ByteSize == 5))
        return EINVAL;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | CSTOPB | PARENB |
                                        PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | SizeBits(dcb.ByteSize);
    t.c_ispeed = rate;
    t.c_ospeed = rate;
    if (dcb.StopBits != ONESTOPBIT)
        t.c_cflag |= CSTOPB;
    switch (dcb.Parity) {
    case ODDPARITY:
        t.c_cflag |= PARENB | PARODD;
        break;
    case EVENPARITY:
        t.c_cflag |= PARENB;
        break;
    case MARKPARITY:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // The driver has one switch for both directions of RTS/CTS handshaking.
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == TRtsControl::rtsHandshake)
        t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | INPCK);
    if (dcb.fOutX)
        t.c_iflag |= IXON;
    if (dcb.fInX)
        t.c_iflag |= IXOFF;
    if (dcb.fParity && dcb.Parity != NOPARITY)
        t.c_iflag |= INPCK;
    t.c_cc[VSTART] = dcb.XonChar;
    t.c_cc[VSTOP] = dcb.XoffChar;
    return 0;
}

int ReadLine(int fd, DCB& dcb) {
    termios2 t{};
    if (const int err = GetSettings(fd, t); err != 0)
        return err;
    DecodeSettings(t, dcb);
    return 0;
}

int WriteLine(int fd, const DCB& dcb, const RateReadback& readback) {
    termios2 old{};
    if (const int err = GetSettings(fd, old); err != 0)
        return err;
    termios2 t = old;
    if (const int err = ComposeSettings(dcb, t); err != 0)
        return err;
    if (const int err = SetSettings(fd, t); err != 0)
        return err;
    termios2 back{};
    if (const int err = GetSettings(fd, back); err != 0)
        return err;
    constexpr tcflag_t kFraming = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR;
    const uint32_t reported = readback ? readback(OutputRate(back)) : OutputRate(back);
    if (!RateAccepted(t.c_ospeed, reported) ||
        (back.c_cflag & kFraming) != (t.c_cflag & kFraming)) {
        // The device changed what it was given: it cannot do it. Keep the line as it was.
        (void)SetSettings(fd, old);
        return EINVAL;
    }
    return 0;
}

} // namespace serial::posix
