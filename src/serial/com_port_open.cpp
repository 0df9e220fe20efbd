// Opening and closing the port: the dispatcher's creation and release, the settings applied
// at each open, the close deferred while the dispatch thread is inside a notification, and
// the open at the end of loading.
#include "base/error_display.h"
#include "base/message_loop.h"
#include "serial/com_port.h"
#include "serial/com_port_window.h"
#include "serial/errors.h"
#include "serial/platform.h"

#include <thread>

namespace serial {

namespace {

// How often a deferred close looks whether the worker threads have ended.
constexpr auto kCloseRetry = std::chrono::milliseconds(5);
// How long a deferred close waits for them before it leaves the dispatcher to its threads.
constexpr auto kCloseLimit = std::chrono::milliseconds(10000);
constexpr auto kPollSlice = std::chrono::milliseconds(2);

std::string ComName(uint16_t number) {
    return "COM" + std::to_string(number);
}

// Keeps Force set for the settings applied at an open, however that ends.
class ForceScope {
public:
    ForceScope(bool& force, bool& opening) : force_(force), opening_(opening) {
        force_ = opening_ = true;
    }
    ~ForceScope() { force_ = opening_ = false; }
    ForceScope(const ForceScope&) = delete;
    ForceScope& operator=(const ForceScope&) = delete;

private:
    bool& force_;
    bool& opening_;
};

} // namespace

TSioCustomComPort::~TSioCustomComPort() {
    MarkDestroying();
    alive_.reset(); // retries already posted now find nothing to do
    base::RunHandler([this] {
        DonePort();
        if (FPortState != psShuttingDown)
            return;
        // A close still waits for the dispatch thread: finish it now, running the
        // synchronized calls the dispatch thread may be waiting for.
        auto& loop = base::CurrentMessageLoop();
        const auto deadline = std::chrono::steady_clock::now() + FDispatcher->ThreadWaitLimit;
        while (FDispatcher->DispActive && std::chrono::steady_clock::now() < deadline) {
            if (loop.IsOwnerThread())
                loop.ProcessMessages();
            std::this_thread::sleep_for(kPollSlice);
        }
        FinishClose();
    });
    UserList.clear();
    TSioBaseDispatcher::ClearSaveBuffers(SaveTriggerBuffer);
}

// ---- The dispatcher ----

TSioBaseDispatcher* TSioCustomComPort::Dispatcher() {
    if (!FDispatcher && FPortState == psClosed && !Designing() && !Loading() && FAutoOpen)
        SetOpen(true);
    return FDispatcher.get();
}

TSioBaseDispatcher& TSioCustomComPort::ValidDispatcher() {
    TSioBaseDispatcher* d = Dispatcher();
    if (d == nullptr)
        throw ECommNotOpen(ecCommNotOpen);
    return *d;
}

void TSioCustomComPort::ActivateDeviceLayer() {
    if (fCustomDispatcher) {
        FDispatcher = fCustomDispatcher(*this);
    } else {
        if (FDeviceLayer != dlWin32)
            throw ENullApi(ecNullApi);
        FDispatcher = CreatePlatformDispatcher(this);
    }
    // A platform without a serial device layer has nothing to open the port with.
    if (!FDispatcher)
        throw ENullApi(ecNullApi);
}

void TSioCustomComPort::ValidateComport() {
    if (FTapiMode == tmOn || FComNumber != 0)
        return;
    std::optional<uint16_t> chosen;
    if (FPromptForPort) {
        if (IPortSelector* selector = FPortSelector ? FPortSelector : DefaultPortSelector())
            chosen = selector->SelectPort();
    }
    if (!chosen || *chosen == 0)
        throw ENoPortSelected(ecNoPortSelected);
    FComNumber = *chosen;
}

// ---- Opening ----

void TSioCustomComPort::SetOpen(bool Enable) {
    if (Loading() || Designing()) {
        if (Enable != FOpen) {
            FOpen = Enable;
            ForceOpen = ForceOpen || Enable;
        }
        return;
    }
    if (FPortState == psShuttingDown) {
        // The close has not finished: open when it has (or, asked to close, do not).
        FOpenPending = Enable;
        return;
    }
    if (Enable == FOpen)
        return;
    if (Enable)
        InitPort();
    else
        DonePort();
}

void TSioCustomComPort::ForcePortOpen() {
    if (FAutoOpen)
        ForceOpen = true;
}

void TSioCustomComPort::Loaded() {
    base::TComponent::Loaded();
    if (Designing())
        return;
    if (ForceOpen)
        FOpen = true;
    if (!FOpen)
        return;
    ForceOpen = false;
    FOpen = false; // the open sets it once it has succeeded
    try {
        InitPort();
    } catch (...) {
        FOpen = false;
        base::ShowCurrentException();
    }
}

void TSioCustomComPort::InitPort() {
    if (FPortState != psClosed) {
        FOpenPending = FPortState == psShuttingDown;
        return;
    }
    ValidateComport();
    ActivateDeviceLayer();
    FDispatcher->DeviceName = ComName(FComNumber);
    std::vector<TUserListEntry> heard_open;
    try {
        OpenPrim();
        PortOpenTo(heard_open);
    } catch (...) {
        AbandonOpen(heard_open);
        throw;
    }
}

void TSioCustomComPort::OpenPrim() {
    TSioBaseDispatcher& d = *FDispatcher;
    std::string name;
    if (FTapiMode == tmOn) {
        if (d.CidEx.load() < 0)
            throw ENotOpenedByTapi(ecNotOpenedByTapi);
        int32_t baud = 0, parity = 0, data_bits = 0, stop_bits = 0;
        d.GetLine(baud, parity, data_bits, stop_bits);
        FBaud = baud;
        FParity = static_cast<TParity>(parity);
        FDataBits = static_cast<uint16_t>(data_bits);
        FStopBits = static_cast<uint16_t>(stop_bits);
    } else {
        name = "\\\\.\\" + ComName(FComNumber);
    }
    uint32_t options = 0;
    options |= FDTR ? ipAssertDTR : 0;
    options |= FRTS ? ipAssertRTS : 0;
    options |= FHWFlowOptions.Has(hwfUseDTR) ? ipAutoDTR : 0;
    options |= FHWFlowOptions.Has(hwfUseRTS) ? ipAutoRTS : 0;
    MapOpenResult(
        d.InitPort(name, FBaud, FParity, FDataBits, FStopBits, FInSize, FOutSize, options));

    FPortState = psOpen;
    UpdateHandlerFlag();
    {
        ForceScope force(Force, Opening);
        SetTracing(FTracing);
        SetLogging(FLogging);
        SetHWFlowOptions(FHWFlowOptions);
        SetSWFlowOptions(FSWFlowOptions);
        SetXOnChar(FXOnChar);
        SetXOffChar(FXOffChar);
        SetTriggerLength(FTriggerLength);
        SetDTR(FDTR);
        SetRTS(FRTS);
        SetUseEventWord(FUseEventWord);
        SetRS485Mode(FRS485Mode);
        SetThreadBoost(FThreadBoost);
    }
    FOpen = true;
    RegisterComPort(true);
    // The triggers of the last close come back here, once, before the users hear of the
    // open: a user that adds its own triggers at ctOpen keeps them.
    if (CopyTriggers) {
        CopyTriggers = false;
        d.RestoreTriggers(SaveTriggerBuffer);
        TSioBaseDispatcher::ClearSaveBuffers(SaveTriggerBuffer);
    }
}

void TSioCustomComPort::MapOpenResult(int32_t code) {
    switch (code) {
    case ecOK:
        return;
    case ecFileAccessDenied: // the port is held by another program
        code = ecAlreadyOpen;
        break;
    case ecFileNotFound:
    case ecPathNotFound:
        code = ecBadId;
        break;
    case ecAccessDenied: {
        std::string text = FDispatcher->LastErrorText;
        if (text.empty())
            text = "Access to " + FDispatcher->DeviceName + " was denied";
        throw EAccessDenied(std::move(text));
    }
    default:
        break;
    }
    Check(code);
}

// A failed open leaves nothing running and the settings as they were; users that heard of
// the open hear that the port closed.
void TSioCustomComPort::AbandonOpen(const std::vector<TUserListEntry>& heard_open) {
    FOpen = false;
    FPortState = psClosed;
    RegisterComPort(false);
    FDispatcher.reset();
    if (heard_open.empty())
        return;
    if (std::exception_ptr error = TellUsers(heard_open, ctClosed)) {
        try {
            std::rethrow_exception(error);
        } catch (...) {
            base::ShowCurrentException(); // the open's own failure is the one raised
        }
    }
}

// ---- Closing ----

void TSioCustomComPort::DonePort() {
    if (FPortState != psOpen)
        return;
    // A trace or log that cannot be written must not keep the port open.
    base::RunHandler([this] { SetTracing(tlDump); });
    base::RunHandler([this] { SetLogging(tlDump); });
    FPortState = psShuttingDown;
    FDispatcher->DonePort();
    if (FDispatcher->ClosePending || FDispatcher->fEventBusy) {
        // The dispatch thread is inside a notification: the users are told, and the
        // dispatcher freed, once it has left.
        close_deadline_ = std::chrono::steady_clock::now() + kCloseLimit;
        ScheduleCloseRetry();
        return;
    }
    FinishClose();
}

void TSioCustomComPort::ScheduleCloseRetry() {
    std::weak_ptr<TSioCustomComPort*> alive = alive_;
    base::CurrentMessageLoop().PostDelayed(
        [alive] {
            if (auto port = alive.lock())
                (*port)->CloseRetry();
        },
        kCloseRetry);
}

void TSioCustomComPort::CloseRetry() {
    if (FPortState != psShuttingDown || !FDispatcher)
        return;
    if (FDispatcher->DispActive && std::chrono::steady_clock::now() < close_deadline_) {
        ScheduleCloseRetry();
        return;
    }
    FinishClose();
}

void TSioCustomComPort::FinishClose() {
    std::exception_ptr first;
    auto keep = [&first](const std::exception_ptr& error) {
        if (error && !first)
            first = error;
    };
    keep(Capture([this] { PortClosing(); }));
    FDispatcher->SaveTriggers(SaveTriggerBuffer);
    CopyTriggers = true;
    RegisterComPort(false);
    FDispatcher.reset();
    FPortState = psClosed;
    FOpen = false;
    keep(Capture([this] { PortClose(); }));
    if (FOpenPending && !Destroying()) {
        FOpenPending = false;
        if (first)
            base::RunHandler([&first] { std::rethrow_exception(first); });
        first = nullptr;
        InitPort();
    }
    FOpenPending = false;
    if (first)
        std::rethrow_exception(first);
}

std::exception_ptr TSioCustomComPort::Capture(const std::function<void()>& fn) {
    try {
        fn();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

} // namespace serial
