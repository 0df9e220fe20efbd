// From code to exception and back.
#include "base/component.h"
#include "serial/errors.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <typeinfo>

namespace serial {
namespace {

// Runs CheckException and returns what it raised (none when it returned).
std::exception_ptr Raised(int32_t code, const base::TComponent* component = nullptr) {
    try {
        EXPECT_EQ(CheckException(component, code), code);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

struct MappedCase {
    int32_t code;
    std::type_index type;
    const char* message; // nullptr: not checked
};

// Names each case by its code in test listings.
void PrintTo(const MappedCase& c, std::ostream* os) {
    *os << c.code;
}

class CheckExceptionMapped : public testing::TestWithParam<MappedCase> {};

TEST_P(CheckExceptionMapped, RaisesTheMappedClassWithTheCodeAndItsText) {
    const MappedCase& c = GetParam();
    try {
        CheckException(nullptr, c.code);
        FAIL() << "nothing raised for " << c.code;
    } catch (const ESioException& e) {
        EXPECT_EQ(std::type_index(typeid(e)), c.type) << c.code;
        EXPECT_EQ(e.ErrorCode, c.code);
        if (c.message != nullptr) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, CheckExceptionMapped,
    testing::Values(
        MappedCase{-2001, typeid(EBadId), "ie_BadId - Specified comport doesn't exist"},
        MappedCase{-2008, typeid(EAlreadyOpen), "ie_Open - device already open"},
        MappedCase{-2007, typeid(ECommNotOpen), "ie_NOpen - device not open"},
        MappedCase{-2011, typeid(ENoPortSelected),
                   "The ComNumber property of the TSioComPort has not been set"},
        MappedCase{-2012, typeid(ENotOpenedByTapi), "Comport was not opened by Tapi"},
        MappedCase{-1002, typeid(EBadArgument), "Bad argument passed to function"},
        MappedCase{-1006, typeid(EInternal), "Internal error creating window class"},
        MappedCase{-1009, typeid(ECannotUseWithWinSock), nullptr},
        MappedCase{-3001, typeid(ENullApi), "No device layer specified"},
        MappedCase{-3003, typeid(ERegisterHandlerFailed), nullptr},
        MappedCase{-3004, typeid(EPutBlockFail), "Failed to put entire block"},
        MappedCase{-3006, typeid(EOutputBufferTooSmall), "Output buffer too small for block"},
        MappedCase{-3007, typeid(EBufferIsEmpty), "Buffer is empty"},
        MappedCase{-3010, typeid(EBaseAddressNotSet), "Base address not set"},
        MappedCase{-4004, typeid(ENotDialing), nullptr},
        MappedCase{-4005, typeid(EAlreadyDialing), nullptr},
        MappedCase{-5001, typeid(ENoMoreTriggers), "No more trigger slots"},
        MappedCase{-5002, typeid(ETriggerTooLong), "Data trigger too long"},
        MappedCase{-5003, typeid(EBadTriggerHandle), "Bad trigger handle"},
        MappedCase{-6008, typeid(EProtocol), nullptr},
        MappedCase{-7003, typeid(EInternal), nullptr},
        MappedCase{-7012, typeid(EInternal), nullptr},
        MappedCase{-7014, typeid(EBadFieldForIndex), nullptr},
        MappedCase{-8053, typeid(EFax), nullptr}, MappedCase{-8070, typeid(EFax), nullptr},
        MappedCase{-13801, typeid(ETapi), nullptr}, MappedCase{-13868, typeid(ETapi), nullptr},
        MappedCase{-13942, typeid(ETapi), nullptr},
        MappedCase{-13980, typeid(ERasLoadFail), nullptr}));

// The rest of the mapped codes: the class only (the texts are the message table's).
INSTANTIATE_TEST_SUITE_P(
    EveryOtherCode, CheckExceptionMapped,
    testing::Values(
        MappedCase{-1003, typeid(EGotQuitMsg), nullptr},
        MappedCase{-1004, typeid(EBufferTooBig), nullptr},
        MappedCase{-1005, typeid(EPortNotAssigned), nullptr},
        MappedCase{-1007, typeid(EModemNotAssigned), nullptr},
        MappedCase{-1008, typeid(EPhonebookNotAssigned), nullptr},
        MappedCase{-2002, typeid(EBaudRate), nullptr},
        MappedCase{-2003, typeid(EByteSize), nullptr}, MappedCase{-2004, typeid(EDefault), nullptr},
        MappedCase{-2005, typeid(EHardware), nullptr}, MappedCase{-2006, typeid(EMemory), nullptr},
        MappedCase{-2009, typeid(ENoHandles), nullptr},
        MappedCase{-2010, typeid(ENoTimers), nullptr},
        MappedCase{-3005, typeid(EGetBlockFail), nullptr},
        MappedCase{-3008, typeid(ETracingNotEnabled), nullptr},
        MappedCase{-3009, typeid(ELoggingNotEnabled), nullptr},
        MappedCase{-4001, typeid(EModemNotStarted), nullptr},
        MappedCase{-4002, typeid(EModemBusy), nullptr},
        MappedCase{-4003, typeid(EModemNotDialing), nullptr},
        MappedCase{-4006, typeid(EModemNotResponding), nullptr},
        MappedCase{-4007, typeid(EModemRejectedCommand), nullptr},
        MappedCase{-4008, typeid(EModemStatusMismatch), nullptr},
        MappedCase{-6006, typeid(EProtocol), nullptr},
        MappedCase{-6009, typeid(EProtocol), nullptr},
        MappedCase{-7001, typeid(EKeyTooLong), nullptr},
        MappedCase{-7002, typeid(EDataTooLarge), nullptr},
        MappedCase{-7004, typeid(EIniWrite), nullptr}, MappedCase{-7005, typeid(EIniRead), nullptr},
        MappedCase{-7006, typeid(EInternal), nullptr},
        MappedCase{-7007, typeid(ERecordExists), nullptr},
        MappedCase{-7008, typeid(ERecordNotFound), nullptr},
        MappedCase{-7010, typeid(EDatabaseFull), nullptr},
        MappedCase{-7011, typeid(EDatabaseEmpty), nullptr},
        MappedCase{-7013, typeid(EBadFieldList), nullptr}, MappedCase{-8001, typeid(EFax), nullptr},
        MappedCase{-8005, typeid(EFax), nullptr}, MappedCase{-8060, typeid(EFax), nullptr},
        MappedCase{-13803, typeid(ETapi), nullptr}, MappedCase{-13805, typeid(ETapi), nullptr},
        MappedCase{-13886, typeid(ETapi), nullptr}, MappedCase{-13928, typeid(ETapi), nullptr},
        MappedCase{-13932, typeid(ETapi), nullptr}, MappedCase{-13935, typeid(ETapi), nullptr},
        MappedCase{-13936, typeid(ETapi), nullptr}));

TEST(CheckException, GroupsCatchTheirLeaves) {
    EXPECT_THROW(CheckException(nullptr, ecBadId), EOpenComm);
    EXPECT_THROW(CheckException(nullptr, ecPutBlockFail), ESerialIO);
    EXPECT_THROW(CheckException(nullptr, ecBadTriggerHandle), ETrigger);
    EXPECT_THROW(CheckException(nullptr, ecBadArgument), EGeneral);
    EXPECT_THROW(CheckException(nullptr, ecBadId), base::Exception);
    EXPECT_THROW(CheckException(nullptr, -6006), EProtocol);
    // The protocol leaves belong to their group.
    EXPECT_THROW(throw ETimeout(-6006), EProtocol);
    EXPECT_THROW(throw ETooManyErrors(-6008), EProtocol);
    EXPECT_THROW(throw ESequenceError(-6009), EProtocol);
}

TEST(CheckException, UnmappedCodesRaiseSerialIOExceptionWithoutCode) {
    // -1001 has a text of its own, which is not used.
    for (const int32_t code :
         {-1, -1001, -3002, -4009, -4021, -5501, -5506, -8006, -13804, -13849, -13887, -13933,
          -20000, INT32_MIN,
          // next to the mapped ranges
          -163, -1010, -2013, -3011, -4000, -5004, -6007, -7009, -7015, -8052, -8054, -8059, -8071,
          -13800, -13927, -13934, -13937, -13943, -13979, -13981}) {
        try {
            CheckException(nullptr, code);
            ADD_FAILURE() << "nothing raised for " << code;
        } catch (const ESioException& e) {
            EXPECT_EQ(typeid(e), typeid(ESioException)) << code;
            EXPECT_EQ(e.ErrorCode, 0) << code;
            EXPECT_STREQ(e.what(), "Serial I/O exception") << code;
        }
    }
}

TEST(CheckException, FileAndDeviceErrorsRaiseInOutErrorWithPositiveCode) {
    struct {
        int32_t code;
        const char* message;
    } const cases[] = {{-2, "File not found"},         {-5, "File access denied"},
                       {-103, "File/device not open"}, {-160, "Device write error"},
                       {-161, "Device read error"},    {-162, "General failure"}};
    for (const auto& c : cases) {
        try {
            CheckException(nullptr, c.code);
            ADD_FAILURE() << "nothing raised for " << c.code;
        } catch (const base::EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, -c.code);
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(CheckException, OutOfMemoryCodeRaisesBadAlloc) {
    try {
        CheckException(nullptr, ecOutOfMemory);
        FAIL() << "nothing raised";
    } catch (const std::bad_alloc& e) {
        EXPECT_STREQ(e.what(), "Insufficient memory");
        EXPECT_EQ(XlatException(e), ecOutOfMemory);
    }
}

TEST(CheckException, InvalidParameterShowsTheSystemText) {
    // The table has no text for 87; the device layer translates EINVAL to it.
    ASSERT_EQ(CodeFromErrno(EINVAL), -87);
    try {
        CheckException(nullptr, -87);
        FAIL() << "nothing raised";
    } catch (const base::EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 87);
        EXPECT_EQ(std::string(e.what()), std::string(std::strerror(EINVAL)));
    }
}

TEST(CheckException, ErrnoWithoutSystemNumberShowsItsOwnText) {
    const int32_t code = CodeFromErrno(EIO);
    ASSERT_LT(code, -162);
    EXPECT_EQ(CarriedErrno(code), EIO);
    try {
        CheckException(nullptr, code);
        FAIL() << "nothing raised";
    } catch (const base::EInOutError& e) {
        EXPECT_EQ(-e.ErrorCode, code);
        EXPECT_EQ(std::string(e.what()), std::string(std::strerror(EIO)));
        EXPECT_EQ(XlatException(e), code);
    }
}

TEST(CheckException, ReturnsSuccessCodesAndEverythingWhileLoading) {
    EXPECT_EQ(Raised(0), nullptr);
    EXPECT_EQ(Raised(17), nullptr);
    base::TComponent component;
    component.BeginLoading();
    for (const int32_t code : {-2001, -2, -8, -1, -9999}) {
        EXPECT_EQ(Raised(code, &component), nullptr) << code;
    }
    component.Loaded();
    EXPECT_NE(Raised(-2001, &component), nullptr);
}

TEST(XlatException, GivesTheCodeOfEachKind) {
    EXPECT_EQ(XlatException(EBadId(ecBadId)), ecBadId);
    EXPECT_EQ(XlatException(ESioException::CreateUnknown("x")), 0);
    EXPECT_EQ(XlatException(base::EInOutError("File not found", 2)), -2);
    EXPECT_EQ(XlatException(std::bad_alloc()), -8);
    EXPECT_EQ(XlatException(std::runtime_error("other")), -9999);
    EXPECT_EQ(XlatException(base::EConvertError("x")), -9999);
    EXPECT_EQ(XlatException(std::make_exception_ptr(42)), -9999);
    EXPECT_EQ(XlatException(std::make_exception_ptr(EBufferIsEmpty(ecBufferIsEmpty))),
              ecBufferIsEmpty);
    EXPECT_EQ(XlatException(std::exception_ptr()), 0);
}

TEST(XlatException, RoundTripsEveryCheckedCode) {
    for (const int32_t code : {-2, -160, -161, -2001, -3006, -5003, -13868}) {
        EXPECT_EQ(XlatException(Raised(code)), code) << code;
    }
}

TEST(ESioException, CreateAndCreateUnknown) {
    const ESioException created(-5501, true);
    EXPECT_EQ(created.ErrorCode, -5501);
    EXPECT_STREQ(created.what(), "Start string is empty");

    const ESioException unknown = ESioException::CreateUnknown("Something", 7);
    EXPECT_EQ(unknown.ErrorCode, 0);
    EXPECT_STREQ(unknown.what(), "Something");

    ESioException writable(ecBadId);
    writable.ErrorCode = -1;
    EXPECT_EQ(writable.ErrorCode, -1);

    EXPECT_EQ(ESioException::MapCodeToStringID(-2001), 2001);
    EXPECT_EQ(ESioException::MapCodeToStringID(2001), 2001);
    EXPECT_EQ(ESioException::MapCodeToStringID(INT32_MIN), INT32_MAX);
}

TEST(ESioException, CodeWithoutAnyTextGivesEmptyMessage) {
    // 4009 is in no table and this system has no text for it.
    const ESioException e(-4009);
    EXPECT_EQ(e.ErrorCode, -4009);
    EXPECT_STREQ(e.what(), "");
}

} // namespace
} // namespace serial
