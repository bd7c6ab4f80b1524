#include "proxy/listener.h"

#include <new>

#include "base/trace.h"
#include "control/module_state.h"
#include "proxy/agent_list.h"

using platform::CriticalSectionGuard;

Listener::Listener(int port, unsigned long agentIdleTimeoutMs)
    : port_(port), agentIdleTimeoutMs_(agentIdleTimeoutMs) {}

Listener::~Listener() {
    CriticalSectionGuard hold(moduleState.agentListLock);
    if (moduleState.listener == this) {
        moduleState.listener = nullptr;
    }
}

int Listener::Run() {
    if (!listening_.Create() || !listening_.BindLoopback(port_) || !listening_.Listen() ||
        !listening_.AttachStopEvent(stopEvent_)) {
        CriticalSectionGuard hold(moduleState.agentListLock);
        listening_.Close();
        return 0;
    }
    boundPort_ = listening_.LocalPort();
    while (!IsStopSignalled()) {
        SocketChannel* channel = listening_.Accept();
        if (IsStopSignalled()) {
            delete channel;
            break;
        }
        if (!channel) {
            // Accept fails again at once while the system is out of sockets; a short
            // pause keeps the loop from spinning until it recovers.
            platform::Sleep(kAcceptRetryMs);
            continue;
        }
        Dispatch(channel);
    }
    // Closed under the lock, which CancelAccept holds while it touches the socket.
    CriticalSectionGuard hold(moduleState.agentListLock);
    listening_.Close();
    return 1;
}

int Listener::Dispatch(SocketChannel* channel) {
    if (!channel) {
        return 0;
    }
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        if (IsStopSignalled()) {
            delete channel;
            return 0;
        }
        Agent* idle = moduleState.agentList ? moduleState.agentList->PickIdleAgent() : nullptr;
        if (idle) {
            idle->AssignConnection(channel);
            return 1;
        }
    }
    Agent* agent = new (std::nothrow) Agent(agentIdleTimeoutMs_);
    if (!agent || !agent->IsReady()) {
        delete agent;
        delete channel;
        return 0;
    }
    agent->AssignConnection(channel);
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        if (IsStopSignalled() || !moduleState.agentList || moduleState.agentList->Add(agent) < 0) {
            delete agent;
            return 0;
        }
    }
    // Started after the hand-over, so the agent's first wait finds its work.
    if (!agent->Start(moduleState.threads)) {
        {
            CriticalSectionGuard hold(moduleState.agentListLock);
            moduleState.agentList->Remove(agent);
        }
        delete agent;
        return 0;
    }
    return 1;
}

void Listener::CancelAccept() {
    listening_.CancelIo();
}

int Listener::SendWakeUp(int port) {
    SocketChannel wake;
    if (!wake.Create() || !wake.Bind(0) || !wake.Connect("127.0.0.1", port) ||
        wake.Send(".", 1) < 1) {
        return 0;
    }
    wake.Close();
    return 1;
}

int Listener::Shutdown() {
    int port = 0;
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        Listener* listener = moduleState.listener;
        if (!listener) {
            return 0;
        }
        port = listener->port_ ? listener->port_ : listener->BoundPort();
        // Signalled under the lock, which Dispatch holds to add an agent: from here on
        // no agent joins the list behind the stop signals below.
        listener->SignalStop();
    }
    int woke = SendWakeUp(port);
    if (!woke) {
        // Without the wake-up the accept would block for good: cut it instead.
        Trace("Unable to wake the listener on port %d\n", port);
        CriticalSectionGuard hold(moduleState.agentListLock);
        if (moduleState.listener) {
            moduleState.listener->CancelAccept();
        }
    }
    StopAllAgents();
    moduleState.threads.WaitForAll();
    return woke;
}

void Listener::StopAllAgents() {
    CriticalSectionGuard hold(moduleState.agentListLock);
    AgentList* agents = moduleState.agentList;
    for (int i = 0; agents && i < agents->Count(); ++i) {
        agents->At(i)->SignalStop();
        agents->At(i)->CancelIo();
    }
}
