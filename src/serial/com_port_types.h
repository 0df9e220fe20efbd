// The com port's enumerations, option sets, event and callback types, and the seam through
// which it asks the user for a port when it has none.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace serial {

class TSioCustomComPort;

enum TPortState : uint8_t { psClosed, psShuttingDown, psOpen };

// dlWin32 is the platform's serial device layer (POSIX termios on Linux); dlWinsock is a
// network layer this program does not have.
enum TDeviceLayer : uint8_t { dlWin32, dlWinsock };

enum TParity : uint8_t { pNone, pOdd, pEven, pMark, pSpace };

enum THWFlowOption : uint8_t { hwfUseDTR, hwfUseRTS, hwfRequireDSR, hwfRequireCTS };

// A set of THWFlowOption, one bit per option in declaration order.
class THWFlowOptions {
public:
    constexpr THWFlowOptions() = default;
    constexpr THWFlowOptions(std::initializer_list<THWFlowOption> options) {
        for (THWFlowOption o : options)
            bits_ |= Bit(o);
    }
    [[nodiscard]] constexpr bool Has(THWFlowOption o) const { return (bits_ & Bit(o)) != 0; }
    [[nodiscard]] constexpr bool Empty() const { return bits_ == 0; }
    constexpr void Include(THWFlowOption o) { bits_ |= Bit(o); }
    constexpr void Exclude(THWFlowOption o) { bits_ &= static_cast<uint8_t>(~Bit(o)); }
    friend constexpr bool operator==(THWFlowOptions, THWFlowOptions) = default;

private:
    static constexpr uint8_t Bit(THWFlowOption o) { return static_cast<uint8_t>(1u << o); }
    uint8_t bits_ = 0;
};

enum TSWFlowOptions : uint8_t { swfNone, swfReceive, swfTransmit, swfBoth };

enum TTraceLogState : uint8_t {
    tlOff,
    tlOn,
    tlDump,
    tlAppend,
    tlClear,
    tlPause,
    tlAppendAndContinue
};

enum TTapiMode : uint8_t { tmNone, tmAuto, tmOn, tmOff };

enum TSioThreadBoost : uint8_t { tbNone, tbPlusOne, tbPlusTwo };

enum TFlowControlState : uint8_t {
    fcOff,
    fcOn,
    fcDsrHold,
    fcCtsHold,
    fcDcdHold,
    fcXOutHold,
    fcXInHold,
    fcXBothHold
};

enum TSioCallbackType : uint8_t { ctOpen, ctClosing, ctClosed };

// Events of the component; CP is the component that fires them.
using TNotifyEvent = std::function<void(TSioCustomComPort& CP)>;
using TTriggerEvent =
    std::function<void(TSioCustomComPort& CP, uint16_t Msg, uint16_t TriggerHandle, uint16_t Data)>;
using TTriggerAvailEvent = std::function<void(TSioCustomComPort& CP, uint16_t Count)>;
using TTriggerDataEvent = std::function<void(TSioCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerStatusEvent = std::function<void(TSioCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerTimerEvent = std::function<void(TSioCustomComPort& CP, uint16_t TriggerHandle)>;
using TTriggerLineErrorEvent =
    std::function<void(TSioCustomComPort& CP, uint16_t Error, bool LineBreak)>;
using TWaitCharEvent = std::function<void(TSioCustomComPort& CP, char C)>;

// A user's open/close callback: an object (Data) and a thunk calling its method (Code). Two
// callbacks are the same when both parts match, so one user deregistering never removes
// another user's entry.
template <typename... Args> struct TPortMethod {
    using Thunk = void (*)(void* data, TSioCustomComPort& CP, Args... args);
    void* Data = nullptr;
    Thunk Code = nullptr;

    // TPortCallbackEx::Of<&Class::Method>(&object)
    template <auto Method, typename T> static TPortMethod Of(T* object) {
        return {object, [](void* data, TSioCustomComPort& cp, Args... args) {
                    (static_cast<T*>(data)->*Method)(cp, args...);
                }};
    }
    explicit operator bool() const { return Code != nullptr; }
    void operator()(TSioCustomComPort& CP, Args... args) const { Code(Data, CP, args...); }
    friend bool operator==(const TPortMethod&, const TPortMethod&) = default;
};
using TPortCallback = TPortMethod<bool>;               // (CP, Opening)
using TPortCallbackEx = TPortMethod<TSioCallbackType>; // (CP, CallbackType)

// Asked for a port number when a port is opened with ComNumber 0 and PromptForPort set: the
// program answers with its port selection dialog, tests with a fixed answer. None means the
// user chose no port. Called on the thread that opens the port.
class IPortSelector {
public:
    virtual ~IPortSelector() = default;
    [[nodiscard]] virtual std::optional<uint16_t> SelectPort() = 0;
};

} // namespace serial
