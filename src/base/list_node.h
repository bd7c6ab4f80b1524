#pragma once

// A node of a doubly linked list. Destroying a node destroys every node behind it,
// so destroying the head frees the whole chain; a node that is to go alone is
// unlinked first.
class ListNode {
public:
    ListNode() = default;
    ListNode(const ListNode&) = delete;
    ListNode& operator=(const ListNode&) = delete;
    virtual ~ListNode();

    ListNode* Next() const { return next_; }
    ListNode* Prev() const { return prev_; }
    // The node at the end of the chain that starts here.
    ListNode* Last();
    // Puts `node` directly behind this one.
    void InsertAfter(ListNode* node);
    // Joins the neighbours to each other and clears this node's links.
    void Unlink();
    // Number of nodes from this one to the end of the chain.
    int Count() const;

private:
    ListNode* prev_ = nullptr;
    ListNode* next_ = nullptr;
};
