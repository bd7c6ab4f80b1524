#include "proxy/agent.h"

#include <cstring>
#include <new>

#include "control/module_state.h"
#include "proxy/agent_list.h"
#include "settings/settings_store.h"

using namespace platform;

// Searched byte by byte: CR and LF are never the second byte of a double-byte
// character, so this finds the same end as a character-wise search in valid text,
// and still finds it when a header ends in a byte that only looks like a lead byte
// (raw UTF-8 in a cookie, for instance), which a character-wise search would step
// over together with the CR.
int HeadEnd(const TextBuffer& text) {
    const char* bytes = text.CStr();
    if (!bytes) {
        return -1;
    }
    const char* end = std::strstr(bytes, "\r\n\r\n");
    if (end) {
        return static_cast<int>(end - bytes) + 4;
    }
    end = std::strstr(bytes, "\n\n");
    return end ? static_cast<int>(end - bytes) + 2 : -1;
}

Agent::Agent(unsigned long idleTimeoutMs)
    : workEvent_(CreateEventA(true, false)), idleTimeoutMs_(idleTimeoutMs) {}

Agent::~Agent() {
    ReleaseConnection();
    if (workEvent_) {
        CloseHandle(workEvent_);
    }
}

bool Agent::IsIdle() const {
    return WaitForSingleObject(workEvent_, 0) == kWaitTimeout;
}

void Agent::AssignConnection(SocketChannel* channel) {
    if (!IsIdle()) {
        return;
    }
    {
        CriticalSectionGuard hold(ioLock_);
        client_ = channel;
    }
    SetEvent(workEvent_);
}

int Agent::Run() {
    Handle events[2] = {workEvent_, stopEvent_};
    while (!IsStopSignalled()) {
        unsigned long result = WaitForMultipleObjects(2, events, idleTimeoutMs_);
        if (result == kWaitObject0) {
            ServeConnection();
            ++servedCount_;
            ReleaseConnection();
            ResetEvent(workEvent_);
        } else if (LeavePool(result)) {
            return 1;
        }
    }
    LeavePool(kWaitFailed);
    return 1;
}

bool Agent::LeavePool(unsigned long waitResult) {
    CriticalSectionGuard hold(moduleState.agentListLock);
    if (waitResult == kWaitTimeout && !IsIdle()) {
        return false;
    }
    if (moduleState.agentList) {
        moduleState.agentList->Remove(this);
    }
    return true;
}

void Agent::OnExit() {
    ReleaseConnection();
}

int Agent::FixTranslationMode() const {
    SettingsStore* settings = moduleState.settings;
    if (!settings || settings->GetJ2KTransEnabled() <= 0) {
        return 0;
    }
    return settings->GetJ2KTransMode() != 0 ? 2 : 1;
}

int Agent::ServeConnection() {
    if (!client_ || !client_->AttachStopEvent(stopEvent_) || !ReadRequestHead() ||
        !request_->Parse()) {
        return 0;
    }
    translationMode_ = FixTranslationMode();
    int scheme = request_->GetScheme();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (IsStopSignalled()) {
            return 0;
        }
        int result = scheme == Url::kHttp ? RelayHttp() : scheme == Url::kFtp ? ServeFtp() : 0;
        if (result) {
            return result;
        }
    }
    return 0;
}

int Agent::ReadRequestHead() {
    remainder_.Empty();
    if (!client_) {
        return 0;
    }
    TextBuffer gathered;
    char block[kHeadBlockSize + 1];
    for (;;) {
        int count = client_->ReceiveText(block, kHeadBlockSize);
        if (count < 0) {
            return 0;
        }
        if (count == 0) {
            break;
        }
        gathered.Append(block);
        // Both ends of a head finish with a line feed: without one in this block the
        // head cannot have ended, and the search over the whole text is skipped.
        int end = std::strchr(block, '\n') ? HeadEnd(gathered) : -1;
        if (end >= 0) {
            if (end < gathered.Length()) {
                remainder_ = gathered.Mid(end);
                gathered = gathered.Left(end);
            }
            break;
        }
        if (gathered.Length() > kMaxHeadBytes) {
            return 0;
        }
    }
    delete request_;
    request_ = new (std::nothrow) HttpRequest;
    if (!request_) {
        return 0;
    }
    request_->SetHead(gathered.CStr());
    return 1;
}

void Agent::ReleaseConnection() {
    delete request_;
    request_ = nullptr;
    delete response_;
    response_ = nullptr;
    SocketChannel* client;
    {
        CriticalSectionGuard hold(ioLock_);
        client = client_;
        client_ = nullptr;
    }
    delete client;
}

void Agent::CancelIo() {
    CriticalSectionGuard hold(ioLock_);
    if (client_) {
        client_->CancelIo();
    }
    for (SocketChannel* upstream : upstream_) {
        if (upstream) {
            upstream->CancelIo();
        }
    }
}

Agent::UpstreamWatch::UpstreamWatch(Agent& agent, SocketChannel& channel) : agent_(agent) {
    CriticalSectionGuard hold(agent_.ioLock_);
    for (SocketChannel*& slot : agent_.upstream_) {
        if (!slot) {
            slot = &channel;
            slot_ = &slot;
            return;
        }
    }
}

Agent::UpstreamWatch::~UpstreamWatch() {
    CriticalSectionGuard hold(agent_.ioLock_);
    if (slot_) {
        *slot_ = nullptr;
    }
}
