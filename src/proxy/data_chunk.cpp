#include "proxy/data_chunk.h"

#include <cstring>
#include <new>

DataChunk::~DataChunk() {
    Release();
}

void DataChunk::Release() {
    if (!borrowed_) {
        delete[] data_;
    }
    data_ = nullptr;
    length_ = 0;
    borrowed_ = 0;
}

int DataChunk::SetData(const char* bytes, int length, int copy) {
    if (!bytes || length < 0) {
        return 0;
    }
    if (!copy) {
        Release();
        data_ = const_cast<char*>(bytes);
        length_ = length;
        borrowed_ = 1;
        return 1;
    }
    if (borrowed_ || !data_ || length_ != length) {
        char* block = new (std::nothrow) char[static_cast<size_t>(length) + 1]();
        if (!block) {
            return 0;
        }
        Release();
        data_ = block;
        length_ = length;
    }
    std::memmove(data_, bytes, static_cast<size_t>(length));
    return 1;
}

int DataChunk::ReadAt(char* buffer, int& position, int count) const {
    if (!data_ || !buffer || position < 0 || position >= length_ || count <= 0) {
        return 0;
    }
    int copied = count < length_ - position ? count : length_ - position;
    std::memcpy(buffer, data_ + position, static_cast<size_t>(copied));
    position += copied;
    if (position == length_) {
        position = 0;
    }
    return copied;
}
