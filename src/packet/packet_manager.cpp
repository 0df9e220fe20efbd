// The data packet manager: following the port, receiving bytes, offering them to the
// matchers, the capture and the events.
#include "packet/packet_manager.h"

#include "base/error_display.h"
#include "base/message_loop.h"
#include "packet/data_packet.h"
#include "serial/com_port.h"
#include "serial/errors.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>

namespace packet {

namespace {
serial::TSioNotifyEvent HandlerOf(TSioDataPacketManager* manager) {
    return serial::TSioNotifyEvent::Of<&TSioDataPacketManager::PacketTriggerHandler>(manager);
}
serial::TPortCallbackEx CallbackOf(TSioDataPacketManager* manager) {
    return serial::TPortCallbackEx::Of<&TSioDataPacketManager::PortOpenCloseEx>(manager);
}
} // namespace

TSioDataPacketManager::TSioDataPacketManager(serial::TSioCustomComPort& Port) : fComPort(&Port) {}

std::shared_ptr<TSioDataPacketManager>
TSioDataPacketManager::Create(serial::TSioCustomComPort& Port) {
    std::shared_ptr<TSioDataPacketManager> manager(new TSioDataPacketManager(Port));
    Port.RegisterUserCallbackEx(CallbackOf(manager.get()));
    TSioDataPacketManagerList::Instance().Insert(manager);
    std::unique_lock held(manager->Lock);
    const bool open = Port.PortState() == serial::psOpen && !Port.Designing();
    if (open && !Port.Loading())
        manager->SetEnabled(true);
    manager->EnablePending = open && !manager->fEnabled;
    return manager;
}

TSioDataPacketManager::~TSioDataPacketManager() {
    FKeepAlive = true;
}

bool TSioDataPacketManager::Enabled() const {
    std::lock_guard held(Lock);
    return fEnabled;
}
bool TSioDataPacketManager::InEvent() const {
    std::lock_guard held(Lock);
    return fInEvent;
}
int32_t TSioDataPacketManager::BufferPtr() const {
    std::lock_guard held(Lock);
    return fDataBuffer.Size();
}
int32_t TSioDataPacketManager::BufferCapacity() const {
    std::lock_guard held(Lock);
    return fDataBuffer.Capacity();
}
serial::TSioCustomComPort* TSioDataPacketManager::ComPort() const {
    std::lock_guard held(Lock);
    return fComPort;
}
uint64_t TSioDataPacketManager::BytesReceived() const {
    std::lock_guard held(Lock);
    return fReceived;
}
size_t TSioDataPacketManager::PacketCount() const {
    std::lock_guard held(Lock);
    return PacketList.size();
}

serial::TSioBaseDispatcher* TSioDataPacketManager::Dispatcher() const {
    return fHookedDispatcher;
}

bool TSioDataPacketManager::Attached(const TSioDataPacket& Packet) const {
    return std::find(PacketList.begin(), PacketList.end(), &Packet) != PacketList.end();
}

void TSioDataPacketManager::Insert(TSioDataPacket& Packet) {
    std::lock_guard held(Lock);
    PacketList.push_back(&Packet);
}

void TSioDataPacketManager::Remove(TSioDataPacket& Packet) {
    std::unique_lock held(Lock);
    if (!Attached(Packet))
        return;
    // Nothing of the matcher stays behind: its capture, the capture timer, its own timer.
    try {
        Packet.Disable();
    } catch (...) {
        if (fCapture == &Packet) {
            fCapture = nullptr;
            Packet.HaveCapture = false;
        }
    }
    std::erase(PacketList, &Packet);
    // Released at once, also inside an event: the dispatch thread holds its own reference
    // and finds the manager disabled when it comes back, so a port that goes right after
    // keeps no callback of it and a new port at the same address gets a manager of its own.
    if (PacketList.empty() && !FKeepAlive)
        Release(held);
}

void TSioDataPacketManager::Release(std::unique_lock<std::recursive_mutex>& Held) {
    SetEnabled(false);
    Unhook(Held);
    EnablePending = false;
    if (fComPort != nullptr) {
        fComPort->DeregisterUserCallbackEx(CallbackOf(this));
        fComPort = nullptr; // a matcher attached later to the port gets a new manager
    }
    PostDestroy();
}

void TSioDataPacketManager::PostDestroy() {
    base::CurrentMessageLoop().Post([self = shared_from_this()] {
        if (self->InEvent()) {
            // The dispatch thread is finishing a delivery; look again shortly, not at once,
            // so the owner thread does not spin meanwhile.
            base::CurrentMessageLoop().PostDelayed([self] { self->PostDestroy(); },
                                                   std::chrono::milliseconds(10));
            return;
        }
        TSioDataPacketManagerList::Instance().Remove(*self);
    });
}

void TSioDataPacketManager::EnableIfPending() {
    std::lock_guard held(Lock);
    if (EnablePending) {
        SetEnabled(true);
        EnablePending = false;
    }
}

void TSioDataPacketManager::SetEnabled(bool Value) {
    if (Value == fEnabled)
        return;
    fEnabled = Value;
    if (Value) {
        if (!HandlerInstalled && fComPort != nullptr && fComPort->PortState() != serial::psClosed) {
            auto* dispatcher = fComPort->Dispatcher();
            if (dispatcher != nullptr) {
                fHookedDispatcher = dispatcher;
                dispatcher->RegisterEventTriggerHandler(HandlerOf(this));
                HandlerInstalled = true;
                const int32_t handle = dispatcher->AddTimerTrigger();
                Timer = handle > 0 ? static_cast<uint32_t>(handle) : 0;
            }
        }
        return;
    }
    if (HandlerInstalled && fHookedDispatcher != nullptr && Timer != 0)
        fHookedDispatcher->RemoveTrigger(Timer);
    Timer = 0;
    DisposeBuffer();
}

void TSioDataPacketManager::Unhook(std::unique_lock<std::recursive_mutex>& Held) {
    if (!HandlerInstalled)
        return;
    auto* dispatcher = std::exchange(fHookedDispatcher, nullptr);
    HandlerInstalled = false;
    if (dispatcher == nullptr)
        return;
    // Deregistering waits for a call of the handler in progress, which may be waiting for
    // the lock; fEnabled is already false, so such a call does nothing more.
    Held.unlock();
    dispatcher->DeregisterEventTriggerHandler(HandlerOf(this));
    Held.lock();
}

void TSioDataPacketManager::PortOpenCloseEx(serial::TSioCustomComPort&,
                                            serial::TSioCallbackType Type) {
    std::unique_lock held(Lock);
    if (Type == serial::ctOpen) {
        SetEnabled(true);
        ArmAll(false);
        return;
    }
    DisarmAll();
    SetEnabled(false);
    Unhook(held);
}

void TSioDataPacketManager::ArmAll(bool CatchFailures) {
    std::exception_ptr first;
    for (size_t i = 0; i < PacketList.size(); ++i) {
        TSioDataPacket* packet = PacketList[i];
        if (!packet->FEnabled)
            continue;
        if (CatchFailures) {
            RearmOrShow(*packet, false);
            continue;
        }
        try {
            packet->Enable();
        } catch (...) {
            // One matcher's bad settings must not keep the others from being armed.
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

void TSioDataPacketManager::RearmOrShow(TSioDataPacket& Packet, bool DisarmFirst) {
    try {
        if (DisarmFirst)
            Packet.Disable();
        Packet.Enable();
    } catch (...) {
        // No owner call to raise to here: shown once, and the matcher is left off (Enabled
        // false) so it neither matches with unprepared patterns nor fails again at every
        // line of the others; the others carry on.
        Packet.FEnabled = false;
        try {
            Packet.Disable();
        } catch (...) {
        }
        base::ShowCurrentException();
    }
}

void TSioDataPacketManager::DisarmAll() {
    for (size_t i = 0; i < PacketList.size(); ++i)
        PacketList[i]->Disable();
}

void TSioDataPacketManager::PacketTriggerHandler(uint32_t Msg, uint32_t wParam, int32_t) {
    const auto self = weak_from_this().lock(); // kept until this thread has left
    if (!self)
        return;
    try {
        std::unique_lock held(Lock);
        if (!fEnabled || !HandlerInstalled)
            return;
        if (Msg == serial::APW_TRIGGERAVAIL) {
            Receive(wParam);
        } else if (Msg == serial::APW_TRIGGERTIMER) {
            if (Timer != 0 && wParam == Timer) {
                if (fCapture != nullptr)
                    fCapture->TimedOut();
            } else {
                for (TSioDataPacket* packet : PacketList)
                    if (packet->FEnableTimer != 0 && packet->FEnableTimer == wParam &&
                        packet->fMode != dpIdle) {
                        packet->TimedOut();
                        break;
                    }
            }
        }
    } catch (...) {
        // Never ends the dispatch thread: shown, and the next read is matched as usual.
        base::ShowCurrentException();
    }
}

void TSioDataPacketManager::Receive(uint32_t Count) {
    if (Count == 0 || fHookedDispatcher == nullptr)
        return;
    const int32_t start = fDataBuffer.Size();
    uint8_t* into = fDataBuffer.Reserve(static_cast<int32_t>(Count));
    const int32_t moved = fHookedDispatcher->GetBlock(into, Count);
    if (moved <= 0) {
        if (fDataBuffer.Size() == 0)
            DisposeBuffer();
        return;
    }
    fDataBuffer.Commit(moved);
    NotifyData(start);
    if (fDataBuffer.Size() > kMaxPacketBytes)
        DropOverflow();
    fDataBuffer.Compact();
    fReceived += static_cast<uint64_t>(moved);
}

void TSioDataPacketManager::NotifyData(int32_t Start) {
    if (fInEvent) {
        NotifyStart = NotifyPending ? std::min(NotifyStart, Start) : Start;
        NotifyPending = true;
        return;
    }
    if (fDataBuffer.Size() == 0)
        return;
    fCurBfrOffset = Start;
    while (fCurBfrOffset < fDataBuffer.Size()) {
        if (fCapture != nullptr) {
            fCapture->ProcessData(fCurBfrOffset);
        } else {
            const size_t count = PacketList.size();
            for (size_t i = 0; i < count && i < PacketList.size(); ++i) {
                PacketList[i]->ProcessData(fCurBfrOffset);
                if (fCapture != nullptr)
                    break;
                if (!fDataBuffer.Allocated())
                    return;
                if (fCurBfrOffset < 0)
                    break;
            }
        }
        ++fCurBfrOffset;
    }
    if (fCapture == nullptr)
        DropUnmatched();
}

void TSioDataPacketManager::DropUnmatched() {
    for (const TSioDataPacket* packet : PacketList)
        if (packet->FEnabled && packet->fMode != dpIdle && packet->fBeginMatch != -1)
            return;
    DisposeBuffer();
}

void TSioDataPacketManager::DropOverflow() {
    // No line is this long: the bytes are noise. Drop them as a flushing time-out would and
    // let every armed matcher start afresh on what comes next.
    Log(serial::dstPacketTimeout, nullptr, 0);
    DisposeBuffer();
    fCurBfrOffset = -1;
    for (size_t i = 0; i < PacketList.size(); ++i) {
        TSioDataPacket* packet = PacketList[i];
        if (!packet->FEnabled || packet->fMode == dpIdle)
            continue;
        RearmOrShow(*packet, true);
    }
}

void TSioDataPacketManager::RemoveData(int32_t Start, int32_t Size) {
    const int32_t n = std::clamp(Start + Size, 0, fDataBuffer.Size());
    fDataBuffer.RemoveFront(n);
    fCurBfrOffset -= n;
    if (fCurBfrOffset < 0)
        fCurBfrOffset = -1;
    if (fDataBuffer.Size() <= 0)
        DisposeBuffer();
    for (size_t i = 0; i < PacketList.size(); ++i)
        PacketList[i]->NotifyRemove(n);
}

void TSioDataPacketManager::DisposeBuffer() {
    fDataBuffer.Dispose();
}

void TSioDataPacketManager::SetCapture(TSioDataPacket& Packet, int32_t TimeOut) {
    fCapture = &Packet;
    if (TimeOut != 0 && Timer != 0 && fHookedDispatcher != nullptr)
        fHookedDispatcher->SetTimerTrigger(Timer, TimeOut, true);
    Packet.HaveCapture = true;
    for (size_t i = 0; i < PacketList.size(); ++i)
        if (PacketList[i] != &Packet)
            if (PacketList[i]->FEnabled)
                RearmOrShow(*PacketList[i], true);
}

void TSioDataPacketManager::ReleaseCapture(TSioDataPacket& Packet) {
    int32_t code = 0;
    if (Timer != 0 && fHookedDispatcher != nullptr)
        code = fHookedDispatcher->SetTimerTrigger(Timer, 0, false);
    fCapture = nullptr;
    Packet.HaveCapture = false;
    if (code < 0)
        serial::CheckException(&Packet, code);
}

void TSioDataPacketManager::SetInEvent(bool Value) {
    if (Value == fInEvent)
        return;
    fInEvent = Value;
    if (Value) {
        for (size_t i = 0; i < PacketList.size(); ++i)
            if (PacketList[i]->FEnabled)
                PacketList[i]->Disable();
        return;
    }
    ArmAll(true);
    if (NotifyPending) {
        NotifyPending = false;
        if (fDataBuffer.Allocated())
            NotifyData(NotifyStart);
    }
}

void TSioDataPacketManager::RunOutsideLock(const std::function<void()>& Events, bool Sync) {
    Lock.unlock();
    try {
        auto& loop = base::CurrentMessageLoop();
        if (Sync && !loop.IsOwnerThread()) {
            // A call the owner thread has not started within the limit is dropped.
            (void)loop.SynchronizeFor(Events, base::kSynchronizeLimit);
        } else {
            Events();
        }
    } catch (...) {
        Lock.lock();
        throw;
    }
    Lock.lock();
}

void TSioDataPacketManager::Log(uint8_t SubType, const uint8_t* Data, uint32_t Len) const {
    if (fHookedDispatcher != nullptr)
        fHookedDispatcher->AddDispatchEntry(
            serial::dtPacket, static_cast<serial::TDispatchSubType>(SubType), 0, Data, Len);
}

TSioDataPacketManagerList& TSioDataPacketManagerList::Instance() {
    static TSioDataPacketManagerList list;
    return list;
}

void TSioDataPacketManagerList::Insert(std::shared_ptr<TSioDataPacketManager> Manager) {
    std::lock_guard held(lock_);
    ManagerList.push_back(std::move(Manager));
}

void TSioDataPacketManagerList::Remove(const TSioDataPacketManager& Manager) {
    std::shared_ptr<TSioDataPacketManager> gone; // freed after the list's lock is let go
    std::lock_guard held(lock_);
    auto it = std::find_if(ManagerList.begin(), ManagerList.end(),
                           [&](const auto& m) { return m.get() == &Manager; });
    if (it == ManagerList.end())
        return;
    gone = std::move(*it);
    ManagerList.erase(it);
}

std::shared_ptr<TSioDataPacketManager>
TSioDataPacketManagerList::GetPortManager(const serial::TSioCustomComPort* Port) const {
    std::lock_guard held(lock_);
    for (const auto& manager : ManagerList)
        if (manager->ComPort() == Port)
            return manager;
    return nullptr;
}

size_t TSioDataPacketManagerList::Count() const {
    std::lock_guard held(lock_);
    return ManagerList.size();
}

TSioDataPacketManagerList::~TSioDataPacketManagerList() {
    // At exit the ports are gone already: the managers must not reach them.
    for (auto& manager : ManagerList) {
        manager->fComPort = nullptr;
        manager->HandlerInstalled = false;
        manager->fHookedDispatcher = nullptr;
    }
}

} // namespace packet
