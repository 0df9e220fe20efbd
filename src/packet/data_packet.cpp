// The matcher's properties, arming and disarming, attaching to a port's manager.
#include "packet/data_packet.h"

#include "base/message_loop.h"
#include "packet/packet_manager.h"
#include "serial/com_port.h"
#include "serial/error_codes.h"
#include "serial/errors.h"

#include <algorithm>

namespace packet {

TSioDataPacket::TSioDataPacket(base::TComponent* AOwner) : base::TComponent(AOwner) {
    if (Designing())
        FEnabled = true;
}

TSioDataPacket::~TSioDataPacket() {
    MarkDestroying();
    alive_->store(false);
    Detach();
}

std::string TSioDataPacket::Version() {
    return "1.0";
}

std::unique_lock<std::recursive_mutex> TSioDataPacket::Guard() const {
    if (fManager)
        return std::unique_lock(fManager->Lock);
    return {};
}

bool TSioDataPacket::Enabled() const {
    auto held = Guard();
    return FEnabled;
}

void TSioDataPacket::SetEnabled(bool Value) {
    auto held = Guard();
    if (Value == FEnabled)
        return;
    if (Value) {
        Enable(); // a failure leaves Enabled false
        FEnabled = true;
    } else {
        FEnabled = false;
        Disable();
    }
}

template <typename Fn> void TSioDataPacket::Rearming(Fn&& Change) {
    auto held = Guard();
    const bool was = FEnabled;
    SetEnabled(false);
    Change();
    SetEnabled(was);
}

void TSioDataPacket::SetEndCond(TPacketEndSet Value) {
    Rearming([&] { FEndCond = Value; });
}
void TSioDataPacket::SetEndString(const std::string& Value) {
    Rearming([&] { FEndString = Value; });
}

// The rest take effect at the next arming; the lock keeps a matching pass from reading a
// half-written value.
void TSioDataPacket::SetAutoEnable(bool Value) {
    auto held = Guard();
    FAutoEnable = Value;
}
void TSioDataPacket::SetStartCond(TPacketStartCond Value) {
    auto held = Guard();
    FStartCond = Value;
}
void TSioDataPacket::SetStartString(const std::string& Value) {
    auto held = Guard();
    FStartString = Value;
}
void TSioDataPacket::SetIgnoreCase(bool Value) {
    auto held = Guard();
    FIgnoreCase = Value;
}
void TSioDataPacket::SetPacketSize(int32_t Value) {
    auto held = Guard();
    FPacketSize = Value;
}
void TSioDataPacket::SetIncludeStrings(bool Value) {
    auto held = Guard();
    FIncludeStrings = Value;
}
void TSioDataPacket::SetTimeOut(int32_t Value) {
    auto held = Guard();
    FTimeOut = Value;
}
void TSioDataPacket::SetEnableTimeout(int32_t Value) {
    auto held = Guard();
    FEnableTimeout = Value;
}
void TSioDataPacket::SetFlushOnTimeout(bool Value) {
    auto held = Guard();
    FFlushOnTimeout = Value;
}
void TSioDataPacket::SetSyncEvents(bool Value) {
    auto held = Guard();
    FSyncEvents = Value;
}

TPacketMode TSioDataPacket::PacketMode() const {
    auto held = Guard();
    return fMode;
}

bool TSioDataPacket::DataMatch() const {
    auto held = Guard();
    return FDataMatch;
}

bool TSioDataPacket::TimedOutFlag() const {
    auto held = Guard();
    return FTimedOut;
}

bool TSioDataPacket::WaitForString(std::string& Data) {
    return WaitForPacket(Data);
}

bool TSioDataPacket::WaitForPacket(std::string& Data) {
    std::chrono::milliseconds limit = kLongestPacketWait;
    uint64_t delivered = 0;
    {
        auto held = Guard();
        delivered = delivered_.load();
        // A second wait waits for a new packet.
        FDataMatch = false;
        FTimedOut = false;
        packet_event_->Reset();
        if (FTimeOut > 0) // the matcher's own time-out ends the wait; a second more for it
            limit = std::chrono::milliseconds(int64_t(FTimeOut) * 55 + 1000);
    }
    SetAutoEnable(false);
    SetEnabled(true);
    auto& loop = base::CurrentMessageLoop();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (delivered_.load() != delivered) {
            auto held = Guard();
            if (FDataMatch) {
                Data = Collected;
                return true;
            }
            if (FTimedOut)
                return false;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // Wakes on the packet or time-out; the short slice lets synchronized events run.
        (void)packet_event_->Wait(std::chrono::milliseconds(2));
        loop.ProcessMessages();
    }
}

void TSioDataPacket::GetCollectedString(std::string& Data) const {
    auto held = Guard();
    Data = Collected;
}

void TSioDataPacket::GetCollectedData(const uint8_t*& Data, int32_t& Size) const {
    auto held = Guard();
    Data = reinterpret_cast<const uint8_t*>(Collected.data());
    Size = static_cast<int32_t>(Collected.size());
}

void TSioDataPacket::SetComPort(serial::TSioCustomComPort* Value) {
    if (Value == FComPort)
        return;
    Detach();
    FComPort = Value;
    if (Value != nullptr)
        Attach(Value);
}

void TSioDataPacket::Attach(serial::TSioCustomComPort* Port) {
    auto manager = TSioDataPacketManagerList::Instance().GetPortManager(Port);
    if (!manager)
        manager = TSioDataPacketManager::Create(*Port);
    std::unique_lock held(manager->Lock);
    manager->Insert(*this);
    fManager = manager;
    if (FEnabled)
        Enable();
}

void TSioDataPacket::Detach() {
    if (!fManager)
        return;
    auto manager = fManager;
    manager->Remove(*this);
    std::unique_lock held(manager->Lock);
    fManager.reset();
}

void TSioDataPacket::CancelMatch() {
    auto held = Guard();
    CancelMatchLocked();
}

void TSioDataPacket::CancelMatchLocked() {
    if (FEnabled && FComPort != nullptr) {
        Disable();
        Enable();
    }
}

void TSioDataPacket::Loaded() {
    base::TComponent::Loaded();
    auto held = Guard();
    if (fManager)
        fManager->EnableIfPending();
    if (EnablePending) {
        EnablePending = false;
        Enable();
    }
}

void TSioDataPacket::Enable() {
    if (Designing())
        return;
    if (Loading()) {
        EnablePending = true;
        return;
    }
    if (fManager && fManager->fEnabled) {
        if (fManager->fInEvent) {
            EnablePending = true;
            return;
        }
        EnablePending = false;
        Log(serial::dstEnable);
        try {
            auto* dispatcher = fManager->Dispatcher();
            if (FEnableTimer == 0 && FEnableTimeout > 0 && dispatcher != nullptr) {
                const int32_t handle = dispatcher->AddTimerTrigger();
                if (handle > 0) {
                    FEnableTimer = static_cast<uint32_t>(handle);
                    dispatcher->SetTimerTrigger(FEnableTimer, FEnableTimeout, true);
                }
            }
            if (FStartCond == scString) {
                Log(serial::dstStartStr, reinterpret_cast<const uint8_t*>(FStartString.data()),
                    static_cast<uint32_t>(FStartString.size()));
                if (FStartString.empty())
                    throw serial::EInvalidProperty(serial::ecStartStringEmpty);
                if (FEndCond.Contains(ecPacketSize) &&
                    static_cast<int64_t>(FStartString.size()) > FPacketSize)
                    throw serial::EInvalidProperty(serial::ecPacketTooSmall);
                SetMode(dpWaitStart);
                InternalStart = Prepare(FStartString, FIgnoreCase);
            } else {
                if (FEndCond.Empty())
                    throw serial::EInvalidProperty(serial::ecNoEndCharCount);
                if (fManager->fCapture != nullptr && fManager->fCapture != this)
                    WillCollect = true;
                else
                    SetMode(dpCollecting);
            }
            if (FEndCond.Contains(ecString)) {
                if (FEndString.empty())
                    throw serial::EInvalidProperty(serial::ecEmptyEndString);
                Log(serial::dstEndStr, reinterpret_cast<const uint8_t*>(FEndString.data()),
                    static_cast<uint32_t>(FEndString.size()));
                InternalEnd = Prepare(FEndString, FIgnoreCase);
            }
            if (FEndCond.Contains(ecPacketSize) && FPacketSize == 0)
                throw serial::EInvalidProperty(serial::ecZeroSizePacket);
        } catch (...) {
            // Never left matching with patterns that were not prepared.
            Disable();
            throw;
        }
    }
    LocalPacketSize = FPacketSize;
    StartMatchPos = 1;
    fBeginMatch = -1;
    EndMatchPos = 1;
}

void TSioDataPacket::Disable() {
    if (fMode == dpIdle && !EnablePending && !WillCollect && FEnableTimer == 0)
        return;
    EnablePending = false;
    WillCollect = false;
    RemoveEnableTimer();
    if (fManager) {
        SetMode(dpIdle);
        Log(serial::dstDisable);
    }
}

void TSioDataPacket::RemoveEnableTimer() {
    if (FEnableTimer == 0)
        return;
    if (fManager)
        if (auto* dispatcher = fManager->Dispatcher())
            dispatcher->RemoveTrigger(FEnableTimer);
    FEnableTimer = 0;
}

void TSioDataPacket::SetMode(TPacketMode Mode) {
    if (Mode == fMode)
        return;
    fMode = Mode;
    if (Mode == dpCollecting)
        fManager->SetCapture(*this, FTimeOut);
    else if (HaveCapture)
        fManager->ReleaseCapture(*this);
    Log(Mode == dpIdle ? serial::dstIdle
                       : (Mode == dpWaitStart ? serial::dstWaiting : serial::dstCollecting));
}

void TSioDataPacket::NotifyRemove(int32_t Pos) {
    if (!FEnabled || fBeginMatch == -1)
        return;
    if (fBeginMatch < Pos) {
        Enable(); // the match began in the removed bytes: start afresh
        return;
    }
    // The bytes of the match are still there, only nearer the front.
    fBeginMatch -= Pos;
    EndMatchStart = std::max(0, EndMatchStart - Pos);
}

void TSioDataPacket::Log(uint8_t SubType, const uint8_t* Data, uint32_t Len) const {
    if (!fManager)
        return;
    if (Data == nullptr) {
        const std::string text = "Packet:" + Name();
        fManager->Log(SubType, reinterpret_cast<const uint8_t*>(text.data()),
                      static_cast<uint32_t>(text.size()));
    } else {
        fManager->Log(SubType, Data, Len);
    }
}

} // namespace packet
