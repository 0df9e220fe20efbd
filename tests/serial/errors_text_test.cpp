// The text of a code: the message table, the system's texts and their clean-up.
#include "serial/errors.h"
#include "serial/message_table.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace serial {
namespace {

TEST(MessageTable, EveryEntryIsFoundByItsNumberAndItsNegation) {
    for (const TSioMessageEntry& entry : SioMessageNumberLookup()) {
        EXPECT_EQ(MessageNumberToString(entry.MessageNumber), entry.MessageString)
            << entry.MessageNumber;
        EXPECT_EQ(MessageNumberToString(-entry.MessageNumber), entry.MessageString)
            << entry.MessageNumber;
    }
}

TEST(MessageTable, NumbersBetweenAndBeyondEntriesAreNotFound) {
    const auto table = SioMessageNumberLookup();
    for (std::size_t i = 0; i + 1 < table.size(); ++i) {
        const int32_t a = std::abs(table[i].MessageNumber);
        const int32_t b = std::abs(table[i + 1].MessageNumber);
        if (b - a > 1) {
            EXPECT_EQ(MessageNumberToString(a + 1), "") << a + 1;
        }
    }
    EXPECT_EQ(MessageNumberToString(std::abs(table.back().MessageNumber) + 1), "");
    EXPECT_EQ(MessageNumberToString(INT32_MIN), "");
    EXPECT_EQ(MessageNumberToString(INT32_MAX), "");
}

TEST(MessageTable, SerialCoreAndLogTexts) {
    struct {
        int32_t code;
        const char* text;
    } const cases[] = {
        {0, "OK"},
        {5501, "Start string is empty"},
        {-5501, "Start string is empty"},
        {-1004, "Terminal buffer greater than 65521"},
        {-2005, "ie_Hardware - Specified comport in use"},
        {-3002, "Function not supported by driver"},
        {-5506, "Packet too long"},
        {-100, "Attempt to read beyond end of file"},
        {15019, "Packet"},
        {15100, ""},
        {15119, "Method"},
        {15342, "Enable"},
        {15354, "Data Written"},
        {15501, "Time      Type      SubType       Data      OtherData"},
        {15502, "--------  --------  ------------  --------  ---------"},
        {15601, "DCTS "},
        {15608, "DCD "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageNumberToString(c.code), c.text) << c.code;
        if (c.text[0] != '\0') {
            EXPECT_EQ(SioLoadStr(c.code), c.text) << c.code;
            EXPECT_EQ(ErrorMsg(c.code), c.text) << c.code;
        }
    }
}

TEST(MessageTable, EveryTextOfTheSerialCoreAndTheFileErrors) {
    struct {
        int32_t code;
        const char* text;
    } const cases[] = {
        {0, "OK"},
        {-2, "File not found"},
        {-3, "Path not found"},
        {-4, "Too many open files"},
        {-5, "File access denied"},
        {-6, "Invalid file handle"},
        {-8, "Insufficient memory"},
        {-15, "Invalid drive"},
        {-18, "No more files"},
        {-100, "Attempt to read beyond end of file"},
        {-101, "Disk is full"},
        {-102, "File/device not assigned"},
        {-103, "File/device not open"},
        {-104, "File/device not open for input"},
        {-105, "File/device not open for output"},
        {-150, "Disk is write-protected"},
        {-151, "Unknown disk unit"},
        {-152, "Drive is not ready"},
        {-153, "Unknown command"},
        {-154, "Data error"},
        {-155, "Bad request structure length"},
        {-156, "Seek error"},
        {-157, "Unknown media type"},
        {-158, "Disk sector not found"},
        {-159, "Printer is out of paper"},
        {-160, "Device write error"},
        {-161, "Device read error"},
        {-162, "General failure"},
        {-1001, "Bad handle passed to com function"},
        {-1002, "Bad argument passed to function"},
        {-1003, "Got quit message"},
        {-1004, "Terminal buffer greater than 65521"},
        {-1005, "ComPort component not assigned"},
        {-1006, "Internal error creating window class"},
        {-1007, "Modem component not assigned"},
        {-1008, "Phonebook component not assigned"},
        {-1009, "Component not compatible with WinSock"},
        {-2001, "ie_BadId - Specified comport doesn't exist"},
        {-2002, "ie_Baudrate - unsupported baud rate"},
        {-2003, "ie_Bytesize - invalid byte size"},
        {-2004, "ie_Default - error in default parameters"},
        {-2005, "ie_Hardware - Specified comport in use"},
        {-2006, "ie_Memory - unable to allocate queues"},
        {-2007, "ie_NOpen - device not open"},
        {-2008, "ie_Open - device already open"},
        {-2009, "No more handles, can't open port"},
        {-2010, "No timers available"},
        {-2011, "The ComNumber property of the TSioComPort has not been set"},
        {-2012, "Comport was not opened by Tapi"},
        {-3001, "No device layer specified"},
        {-3002, "Function not supported by driver"},
        {-3003, "EnableCommNotification failed"},
        {-3004, "Failed to put entire block"},
        {-3005, "Failed to get entire block"},
        {-3006, "Output buffer too small for block"},
        {-3007, "Buffer is empty"},
        {-3008, "Tracing not enabled"},
        {-3009, "Logging not enabled"},
        {-3010, "Base address not set"},
        {-5001, "No more trigger slots"},
        {-5002, "Data trigger too long"},
        {-5003, "Bad trigger handle"},
        {-5501, "Start string is empty"},
        {-5502, "Packet size cannot be smaller than start string"},
        {-5503, "CharCount packets must have an end-condition"},
        {-5504, "End string is empty"},
        {-5505, "Packet size cannot be zero"},
        {-5506, "Packet too long"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MessageNumberToString(c.code), c.text) << c.code;
    }
}

TEST(MessageTable, DispatchLogAndModemLineNames) {
    const char* const types[] = {
        "No event", "Dispatch", "Trigger",  "Error",  "Thread", "TrigAllc", "TrigDisp",
        "TrgHdAlc", "TrgHdDsp", "TrDatChg", "Telnet", "Fax",    "XModem",   "YModem",
        "ZModem",   "Kermit",   "Ascii",    "BPlus",  "Packet", "User",     "Script"};
    const char* const serial_sub_types[] = {
        "",      "ReadCom", "WriteCom", "Line status", "Modem status", "Avail", "Timer",
        "Data",  "Status",  "Start",    "Exit",        "Sleep",        "Wake",  "Data",
        "Timer", "Status",  "Avail",    "Window",      "Procedure",    "Method"};
    const char* const matcher_sub_types[] = {
        "Enable",        "Disable",     "StringPacket", "SizePacket", "PcktTimeout",
        "StartStr",      "EndStr",      "Idle",         "Waiting",    "Collecting",
        "Status Queued", "Data Queued", "Data Written"};
    const char* const modem_lines[] = {"DCTS ", "DDSR ", "TERI ", "DDCD ",
                                       "CTS ",  "DSR ",  "RI ",   "DCD "};
    const auto expect_run = [](int32_t first, const auto& names) {
        int32_t number = first;
        for (const char* name : names) {
            EXPECT_EQ(MessageNumberToString(number), name) << number;
            ++number;
        }
    };
    expect_run(dlTypeNameBase, types);
    expect_run(dlSubTypeNameBase, serial_sub_types);
    expect_run(dlSubTypeNameBase + 242, matcher_sub_types);
    expect_run(msNameBase, modem_lines);
}

// A stand-in for the operating system's message table.
SystemMessageSource Fixed(std::string text, std::vector<uint32_t>* asked = nullptr) {
    return [text = std::move(text), asked](uint32_t number) {
        if (asked != nullptr) {
            asked->push_back(number);
        }
        return text;
    };
}

TEST(SioLoadStr, AsksTheSystemOnlyWhenTheTableHasNoText) {
    std::vector<uint32_t> asked;
    EXPECT_EQ(SioLoadStr(-2001, Fixed("system", &asked)),
              "ie_BadId - Specified comport doesn't exist");
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(SioLoadStr(-87, Fixed("The parameter is incorrect.", &asked)),
              "The parameter is incorrect.");
    // An entry with an empty text asks as well.
    EXPECT_EQ(SioLoadStr(15100, Fixed("system", &asked)), "system");
    EXPECT_EQ(asked, (std::vector<uint32_t>{87, 15100}));
}

TEST(SioLoadStr, CodeWithoutTableOrSystemTextIsEmpty) {
    EXPECT_EQ(SioLoadStr(-4009, Fixed("")), "");
    EXPECT_EQ(SioLoadStr(-4009, SystemMessageSource()), "");
    EXPECT_EQ(SioLoadStr(-4009), "");
}

TEST(SioLoadStr, CleansSystemTexts) {
    struct {
        const char* system;
        const char* expected;
    } const cases[] = {
        {"The parameter is incorrect.\r\n", "The parameter is incorrect. "},
        {"Two  spaces   and\ttab\x01", "Two spaces and tab "},
        {"\r\n\r\n", " "},
        {"  lead", " lead"},
        {"caf\xe9 \xff", "caf\xe9 \xff"}, // bytes above 127 are text, not control
    };
    for (const auto& c : cases) {
        const std::string text = SioLoadStr(-87, Fixed(c.system));
        EXPECT_EQ(text, c.expected) << c.system;
        EXPECT_EQ(text.find("  "), std::string::npos);
    }
}

TEST(SioLoadStr, CutsLongTextsTo255Characters) {
    EXPECT_EQ(SioLoadStr(-87, Fixed(std::string(300, 'x'))), std::string(255, 'x'));
}

TEST(SioLoadStr, PlatformTextsOfTranslatedErrnos) {
    EXPECT_EQ(SioLoadStr(-87), std::strerror(EINVAL));
    EXPECT_EQ(SioLoadStr(CodeFromErrno(EACCES)), std::strerror(EACCES));
    // Numbers the table names keep the table's text.
    EXPECT_EQ(SioLoadStr(CodeFromErrno(ENOENT)), "File not found");
    EXPECT_EQ(SioLoadStr(CodeFromErrno(EBUSY)), "File access denied");
}

TEST(SioLoadStrZ, CopiesZeroTerminatedAndCutsToTheBuffer) {
    char big[64];
    std::memset(big, '#', sizeof big);
    EXPECT_EQ(SioLoadStrZ(big, -3007), big);
    EXPECT_STREQ(big, "Buffer is empty");

    char small[7];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(SioLoadStrZ(small, -3007), small);
    EXPECT_STREQ(small, "Buffer");

    char one[1] = {'#'};
    EXPECT_EQ(SioLoadStrZ(one, -3007), one);
    EXPECT_EQ(one[0], '\0');

    EXPECT_EQ(SioLoadStrZ(std::span<char>(), -3007), nullptr);
}

TEST(SystemErrors, ErrnoTranslation) {
    struct {
        int err;
        uint32_t number;
    } const cases[] = {{0, 0},
                       {ENOENT, 2},
                       {ENODEV, 2},
                       {ENXIO, 2},
                       {ENOTDIR, 3},
                       {EMFILE, 4},
                       {EBUSY, 5},
                       {EAGAIN, 5},
                       {EBADF, 6},
                       {ENOMEM, 8},
                       {EINVAL, 87},
                       {EIO, kErrnoTag | EIO},
                       {EACCES, kErrnoTag | EACCES}};
    for (const auto& c : cases) {
        EXPECT_EQ(SystemErrorFromErrno(c.err), c.number) << c.err;
        EXPECT_EQ(CodeFromErrno(c.err), -static_cast<int64_t>(c.number)) << c.err;
    }
    EXPECT_EQ(CarriedErrno(CodeFromErrno(EACCES)), EACCES);
    EXPECT_EQ(CarriedErrno(kErrnoTag | EIO), EIO);
    EXPECT_EQ(CarriedErrno(-87), 0);
    EXPECT_EQ(CarriedErrno(-2001), 0);
    EXPECT_EQ(PlatformSystemMessage(15100), "");
    EXPECT_EQ(PlatformSystemMessage(4009), "");
}

} // namespace
} // namespace serial
