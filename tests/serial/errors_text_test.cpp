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
