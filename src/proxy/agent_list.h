#pragma once

#include "base/list_node.h"

class Agent;

// A node holding one agent, which it does not own.
class AgentNode : public ListNode {
public:
    explicit AgentNode(Agent* agent) : agent_(agent) {}
    AgentNode* Next() const { return static_cast<AgentNode*>(ListNode::Next()); }
    Agent* GetAgent() const { return agent_; }

private:
    Agent* agent_;
};

// The agents in the order they were created. Every operation is called with the
// module's agent-list lock held. Destroying the list frees the nodes, never the
// agents.
class AgentList {
public:
    AgentList() = default;
    AgentList(const AgentList&) = delete;
    AgentList& operator=(const AgentList&) = delete;
    virtual ~AgentList();

    // The new number of agents, or -1 for a null agent.
    int Add(Agent* agent);
    Agent* RemoveAt(int index);
    void Remove(Agent* agent);
    Agent* First() const;
    Agent* At(int index) const;
    int IndexOf(Agent* agent) const;
    int Count() const;
    int IsEmpty() const { return head_ ? 0 : 1; }
    // The idle agent that has served the fewest connections, the earliest on a tie.
    Agent* PickIdleAgent() const;
    int GetCounts(int& busy, int& idle) const;

private:
    AgentNode* NodeAt(int index) const;

    AgentNode* head_ = nullptr;
};
