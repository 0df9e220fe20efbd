// The users of a port: who is told of its opening and closing, and how.
#include "serial/com_port.h"

#include <algorithm>

namespace serial {

void TSioCustomComPort::RegisterUser(TSioWindowHandle H) {
    UserList.push_back({H, {}, {}, false});
}

void TSioCustomComPort::RegisterUserEx(TSioWindowHandle H) {
    UserList.push_back({H, {}, {}, true});
}

void TSioCustomComPort::RegisterUserCallback(TPortCallback CallBack) {
    UserList.push_back({nullptr, CallBack, {}, false});
}

void TSioCustomComPort::RegisterUserCallbackEx(TPortCallbackEx CallBackEx) {
    UserList.push_back({nullptr, {}, CallBackEx, true});
}

void TSioCustomComPort::DeregisterUser(TSioWindowHandle H) {
    if (Destroying() || H == nullptr)
        return;
    std::erase_if(UserList, [H](const TUserListEntry& e) { return e.Handle == H; });
}

void TSioCustomComPort::DeregisterUserCallback(TPortCallback CallBack) {
    if (Destroying())
        return;
    std::erase_if(UserList, [&CallBack](const TUserListEntry& e) {
        return e.Handle == nullptr && !e.IsEx && e.OpenClose == CallBack;
    });
}

void TSioCustomComPort::DeregisterUserCallbackEx(TPortCallbackEx CallBackEx) {
    if (Destroying())
        return;
    std::erase_if(UserList, [&CallBackEx](const TUserListEntry& e) {
        return e.Handle == nullptr && e.IsEx && e.OpenCloseEx == CallBackEx;
    });
}

std::exception_ptr TSioCustomComPort::TellUsers(const std::vector<TUserListEntry>& users,
                                                TSioCallbackType Type) {
    std::exception_ptr first;
    // A copy: a user may register or deregister while it is told.
    const std::vector<TUserListEntry> entries = users;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const TUserListEntry& e = *it;
        if (Type == ctClosing && !e.IsEx)
            continue;
        try {
            if (e.Handle != nullptr) {
                const uint32_t msg = Type == ctOpen      ? APW_PORTOPEN
                                     : Type == ctClosing ? APW_CLOSEPENDING
                                                         : APW_PORTCLOSE;
                e.Handle->WndProc(msg, 0, 0);
            } else if (e.IsEx) {
                if (e.OpenCloseEx)
                    e.OpenCloseEx(*this, Type);
            } else if (e.OpenClose) {
                e.OpenClose(*this, Type == ctOpen);
            }
        } catch (...) {
            if (!first)
                first = std::current_exception();
        }
    }
    return first;
}

void TSioCustomComPort::PortOpenTo(std::vector<TUserListEntry>& heard) {
    // Newest first; each user joins heard before it is told, so one that raises still hears
    // of the close that follows.
    const std::vector<TUserListEntry> entries = UserList;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        heard.insert(heard.begin(), *it);
        if (std::exception_ptr error = TellUsers({*it}, ctOpen))
            std::rethrow_exception(error);
    }
    if (OnPortOpen)
        OnPortOpen(*this);
}

void TSioCustomComPort::PortOpen() {
    std::vector<TUserListEntry> heard;
    PortOpenTo(heard);
}

void TSioCustomComPort::PortClosing() {
    if (std::exception_ptr error = TellUsers(UserList, ctClosing))
        std::rethrow_exception(error);
}

void TSioCustomComPort::PortClose() {
    std::exception_ptr error = TellUsers(UserList, ctClosed);
    if (OnPortClose) {
        try {
            OnPortClose(*this);
        } catch (...) {
            if (!error)
                error = std::current_exception();
        }
    }
    if (error)
        std::rethrow_exception(error);
}

} // namespace serial
