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
