#include "base/list_node.h"

ListNode::~ListNode() {
    if (prev_) {
        prev_->next_ = nullptr;
    }
    // Frees the nodes behind one by one rather than recursively, so that a chain
    // of any length cannot exhaust the stack.
    ListNode* node = next_;
    next_ = nullptr;
    while (node) {
        ListNode* after = node->next_;
        node->prev_ = nullptr;
        node->next_ = nullptr;
        delete node;
        node = after;
    }
}

ListNode* ListNode::Last() {
    ListNode* node = this;
    while (node->next_) {
        node = node->next_;
    }
    return node;
}

void ListNode::InsertAfter(ListNode* node) {
    if (!node || node == this) {
        return;
    }
    node->prev_ = this;
    node->next_ = next_;
    if (next_) {
        next_->prev_ = node;
    }
    next_ = node;
}

void ListNode::Unlink() {
    if (prev_) {
        prev_->next_ = next_;
    }
    if (next_) {
        next_->prev_ = prev_;
    }
    prev_ = nullptr;
    next_ = nullptr;
}

int ListNode::Count() const {
    int count = 0;
    for (const ListNode* node = this; node; node = node->next_) {
        ++count;
    }
    return count;
}
