#include "proxy/agent_list.h"

#include <new>

#include "proxy/agent.h"

AgentList::~AgentList() {
    delete head_;
}

int AgentList::Add(Agent* agent) {
    if (!agent) {
        return -1;
    }
    AgentNode* node = new (std::nothrow) AgentNode(agent);
    if (!node) {
        return -1;
    }
    if (head_) {
        head_->Last()->InsertAfter(node);
    } else {
        head_ = node;
    }
    return Count();
}

AgentNode* AgentList::NodeAt(int index) const {
    AgentNode* node = index >= 0 ? head_ : nullptr;
    for (int i = 0; node && i < index; ++i) {
        node = node->Next();
    }
    return node;
}

Agent* AgentList::RemoveAt(int index) {
    AgentNode* node = NodeAt(index);
    if (!node) {
        return nullptr;
    }
    if (node == head_) {
        head_ = node->Next();
    }
    node->Unlink();
    Agent* agent = node->GetAgent();
    delete node;
    return agent;
}

void AgentList::Remove(Agent* agent) {
    int index = IndexOf(agent);
    if (index >= 0) {
        RemoveAt(index);
    }
}

Agent* AgentList::First() const {
    return head_ ? head_->GetAgent() : nullptr;
}

Agent* AgentList::At(int index) const {
    AgentNode* node = NodeAt(index);
    return node ? node->GetAgent() : nullptr;
}

int AgentList::IndexOf(Agent* agent) const {
    int index = 0;
    for (AgentNode* node = head_; node; node = node->Next(), ++index) {
        if (node->GetAgent() == agent) {
            return index;
        }
    }
    return -1;
}

int AgentList::Count() const {
    return head_ ? head_->Count() : 0;
}

Agent* AgentList::PickIdleAgent() const {
    Agent* best = nullptr;
    for (AgentNode* node = head_; node; node = node->Next()) {
        Agent* agent = node->GetAgent();
        if (agent->IsIdle() && (!best || agent->ServedCount() < best->ServedCount())) {
            best = agent;
        }
    }
    return best;
}

int AgentList::GetCounts(int& busy, int& idle) const {
    busy = 0;
    idle = 0;
    for (AgentNode* node = head_; node; node = node->Next()) {
        ++(node->GetAgent()->IsIdle() ? idle : busy);
    }
    return 1;
}
