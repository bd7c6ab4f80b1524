#pragma once

#include "base/list_node.h"

// A block of bytes in a chain, either an owned copy or borrowed from its owner.
class DataChunk : public ListNode {
public:
    DataChunk() = default;
    ~DataChunk() override;

    DataChunk* Next() const { return static_cast<DataChunk*>(ListNode::Next()); }

    // With `copy` non-zero keeps an owned copy of the bytes, reusing the owned block
    // when its length is the same; otherwise points at the caller's bytes. Null
    // bytes or a negative length fail.
    int SetData(const char* bytes, int length, int copy);
    const char* GetData() const { return data_; }
    int GetLength() const { return length_; }
    bool IsBorrowed() const { return borrowed_ != 0; }
    // Copies up to `count` bytes from `position` on and moves `position` behind them,
    // back to 0 once it reaches the end. The count copied; 0 without data or when
    // `position` is at or past the end.
    int ReadAt(char* buffer, int& position, int count) const;

private:
    void Release();

    char* data_ = nullptr;
    int length_ = 0;
    int borrowed_ = 0;
};
