// Types shared by the dispatcher, its device layers and the com port: trigger notification
// numbers, handler types, the device's queue status and the dispatch log's entry kinds.
#pragma once

#include <cstdint>

namespace serial {

// Trigger notifications: (Msg, wParam, lParam); lParam carries the dispatcher's handle in
// its high 16 bits.
inline constexpr uint32_t APW_TRIGGERAVAIL = 0x7E01;  // wParam: unread bytes offered
inline constexpr uint32_t APW_TRIGGERDATA = 0x7E02;   // wParam: trigger handle
inline constexpr uint32_t APW_TRIGGERTIMER = 0x7E03;  // wParam: trigger handle
inline constexpr uint32_t APW_TRIGGERSTATUS = 0x7E04; // wParam: trigger handle
// The com port's own notifications to its users.
inline constexpr uint32_t APW_PORTOPEN = 0x7E08;
inline constexpr uint32_t APW_PORTCLOSE = 0x7E09;
inline constexpr uint32_t APW_CLOSEPENDING = 0x7E0A;

// The avail (length) trigger's fixed handle.
inline constexpr uint32_t AvailTriggerHandle = 1;

// Status trigger types (the low three bits of a status trigger's handle).
inline constexpr uint32_t stNotActive = 0;
inline constexpr uint32_t stModem = 1;
inline constexpr uint32_t stLine = 2;
inline constexpr uint32_t stOutBuffFree = 3;
inline constexpr uint32_t stOutBuffUsed = 4;
inline constexpr uint32_t stOutSent = 5;

// Device event mask bits carried by status blocks of the I/O queue.
inline constexpr uint32_t EV_RXCHAR = 0x0001;
inline constexpr uint32_t EV_CTS = 0x0008;
inline constexpr uint32_t EV_DSR = 0x0010;
inline constexpr uint32_t EV_RLSD = 0x0020;
inline constexpr uint32_t EV_BREAK = 0x0040;
inline constexpr uint32_t EV_ERR = 0x0080;
inline constexpr uint32_t EV_RING = 0x0100;
inline constexpr uint32_t EV_RINGTE = 0x2000;

// Escape function codes for EscapeComFunction.
inline constexpr int32_t SETRTS = 3;
inline constexpr int32_t CLRRTS = 4;
inline constexpr int32_t SETDTR = 5;
inline constexpr int32_t CLRDTR = 6;

// InitPort option bits.
inline constexpr uint32_t ipAssertDTR = 0x01;
inline constexpr uint32_t ipAssertRTS = 0x02;
inline constexpr uint32_t ipAutoDTR = 0x10;
inline constexpr uint32_t ipAutoRTS = 0x20;

// The device's queue status as of the last refresh (GetComError).
struct TComStat {
    bool fCtsHold = false;  // transmission waits for CTS
    bool fDsrHold = false;  // transmission waits for DSR
    bool fRlsdHold = false; // transmission waits for carrier detect
    bool fXoffHold = false; // transmission waits: XOFF received
    bool fXoffSent = false; // transmission waits: XOFF sent
    bool fEof = false;
    bool fTxim = false;
    uint32_t cbInQue = 0;  // bytes in the input queue
    uint32_t cbOutQue = 0; // bytes in the output queue
};

// A plain procedure handler, called on the dispatch thread.
using TSioNotifyProc = void (*)(uint32_t Msg, uint32_t wParam, int32_t lParam);

// A method handler: the object (Data) and a thunk calling the method on it (Code). Two
// handlers are the same when both parts match, so deregistering one object's handler never
// removes another object's.
struct TSioNotifyEvent {
    using Thunk = void (*)(void* data, uint32_t Msg, uint32_t wParam, int32_t lParam);
    void* Data = nullptr;
    Thunk Code = nullptr;

    // TSioNotifyEvent::Of<&Class::Method>(&object)
    template <auto Method, typename T> static TSioNotifyEvent Of(T* object) {
        return {object, [](void* data, uint32_t msg, uint32_t wparam, int32_t lparam) {
                    (static_cast<T*>(data)->*Method)(msg, wparam, lparam);
                }};
    }
    explicit operator bool() const { return Code != nullptr; }
    void operator()(uint32_t Msg, uint32_t wParam, int32_t lParam) const {
        Code(Data, Msg, wParam, lParam);
    }
    friend bool operator==(const TSioNotifyEvent&, const TSioNotifyEvent&) = default;
};

// A window that receives trigger notifications on the owner thread (the com port's hidden
// window). The dispatcher sends to it through the message loop, waiting at most 3000 ms.
class TSioWindow {
public:
    virtual ~TSioWindow() = default;
    virtual void WndProc(uint32_t Msg, uint32_t wParam, int32_t lParam) = 0;
};
using TSioWindowHandle = TSioWindow*;

enum class TSioHandlerFlagUpdate { fuKeepPort, fuEnablePort, fuDisablePort };

// Kinds of dispatch log entries; the names are message texts (dlTypeNameBase + type).
enum TDispatchType : uint8_t {
    dtNone,
    dtDispatch,
    dtTrigger,
    dtError,
    dtThread,
    dtTriggerAlloc,
    dtTriggerDispose,
    dtTriggerHandlerAlloc,
    dtTriggerHandlerDispose,
    dtTriggerDataChange,
    dtTelnet,
    dtFax,
    dtXModem,
    dtYModem,
    dtZModem,
    dtKermit,
    dtAscii,
    dtBPlus,
    dtPacket,
    dtUser,
    dtScript
};

// Sub kinds of dispatch log entries; names at dlSubTypeNameBase + sub type. Values without a
// name here are still valid and logged by number.
enum TDispatchSubType : uint8_t {
    dstNone = 0,
    dstReadCom = 1,
    dstWriteCom = 2,
    dstLineStatus = 3,
    dstModemStatus = 4,
    dstAvail = 5,
    dstTimer = 6,
    dstData = 7,
    dstStatus = 8,
    dstThreadStart = 9,
    dstThreadExit = 10,
    dstThreadSleep = 11,
    dstThreadWake = 12,
    dstDataTrigger = 13,
    dstTimerTrigger = 14,
    dstStatusTrigger = 15,
    dstAvailTrigger = 16,
    dstWndHandler = 17,
    dstProcHandler = 18,
    dstEventHandler = 19,
    dstEnable = 242,
    dstDisable = 243,
    dstStringPacket = 244,
    dstSizePacket = 245,
    dstPacketTimeout = 246,
    dstStartStr = 247,
    dstEndStr = 248,
    dstIdle = 249,
    dstWaiting = 250,
    dstCollecting = 251,
    dstThreadStatusQueued = 252,
    dstThreadDataQueued = 253,
    dstThreadDataWritten = 254
};

} // namespace serial
