#include "base/list_node.h"

#include <gtest/gtest.h>

namespace {

// Counts its live instances so the tests can see what a destructor freed.
class CountedNode : public ListNode {
public:
    CountedNode() { ++alive; }
    ~CountedNode() override { --alive; }
    static int alive;
};
int CountedNode::alive = 0;

CountedNode* Chain(int length) {
    CountedNode* head = new CountedNode;
    ListNode* tail = head;
    for (int i = 1; i < length; ++i) {
        tail->InsertAfter(new CountedNode);
        tail = tail->Next();
    }
    return head;
}

} // namespace

TEST(ListNode, InsertUnlinkAndCountKeepBothDirectionsConsistent) {
    CountedNode* head = Chain(3);
    ListNode* second = head->Next();
    ListNode* third = second->Next();
    EXPECT_EQ(3, head->Count());
    EXPECT_EQ(third, head->Last());
    EXPECT_EQ(nullptr, head->Prev());

    CountedNode* middle = new CountedNode;
    head->InsertAfter(middle);
    EXPECT_EQ(middle, head->Next());
    EXPECT_EQ(head, middle->Prev());
    EXPECT_EQ(second, middle->Next());
    EXPECT_EQ(middle, second->Prev());
    EXPECT_EQ(4, head->Count());
    EXPECT_EQ(2, second->Count());

    middle->Unlink();
    EXPECT_EQ(nullptr, middle->Next());
    EXPECT_EQ(nullptr, middle->Prev());
    EXPECT_EQ(second, head->Next());
    EXPECT_EQ(head, second->Prev());
    delete middle; // alone after unlinking: frees only itself
    EXPECT_EQ(3, CountedNode::alive);

    third->Unlink();
    EXPECT_EQ(nullptr, second->Next());
    EXPECT_EQ(second, head->Last());
    delete third;
    delete head;
    EXPECT_EQ(0, CountedNode::alive);
}

TEST(ListNode, DestroyingANodeFreesEverythingBehindIt) {
    CountedNode* head = Chain(5);
    ListNode* third = head->Next()->Next();
    delete third;
    EXPECT_EQ(2, CountedNode::alive);
    EXPECT_EQ(nullptr, head->Next()->Next());
    EXPECT_EQ(2, head->Count());
    delete head;
    EXPECT_EQ(0, CountedNode::alive);

    // Long chains do not recurse once per node.
    delete Chain(200000);
    EXPECT_EQ(0, CountedNode::alive);
}
