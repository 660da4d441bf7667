// A free-list pool for the show's records. Records are handed out zero-filled and taken
// back on removal; the pool grows in blocks, so a running show stops touching the heap
// once it has seen its busiest moment. An optional limit lets tests (and tight
// machines) exercise the path where a record cannot be had: the caller then drops it.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace nb {

template <class T>
class RecordPool {
    static_assert(std::is_trivially_copyable_v<T>, "pooled records are plain data");

public:
    static constexpr size_t blockSize = 256;

    RecordPool() = default;
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;
    ~RecordPool() { ReleaseBlocks(); }

    // A zero-filled record, or nullptr when the limit is reached or memory runs out.
    T* Take() {
        if (limit_ != 0 && inUse_ >= limit_) {
            return nullptr;
        }
        if (freeList_ == nullptr && !Grow()) {
            return nullptr;
        }
        FreeNode* node = freeList_;
        freeList_ = node->next;
        ++inUse_;
        if (inUse_ > peakInUse_) {
            peakInUse_ = inUse_;
        }
        T* record = reinterpret_cast<T*>(node);
        std::memset(static_cast<void*>(record), 0, sizeof(T));
        return record;
    }

    void Give(T* record) {
        FreeNode* node = reinterpret_cast<FreeNode*>(record);
        node->next = freeList_;
        freeList_ = node;
        --inUse_;
    }

    // At most this many records in use at once; 0 means no limit. Records already handed
    // out are not affected.
    void SetLimit(size_t maxRecords) { limit_ = maxRecords; }
    size_t InUse() const { return inUse_; }
    size_t Capacity() const { return capacity_; }
    // The most records that were in use at once, also within a tick, since the blocks
    // were last released: the moment the pool had to grow for.
    size_t PeakInUse() const { return peakInUse_; }

    // Only valid when every record has been given back.
    void ReleaseBlocks() {
        Block* block = blocks_;
        while (block != nullptr) {
            Block* next = block->next;
            ::operator delete(block, std::nothrow);
            block = next;
        }
        blocks_ = nullptr;
        freeList_ = nullptr;
        capacity_ = 0;
        inUse_ = 0;
        peakInUse_ = 0;
    }

private:
    union FreeNode {
        FreeNode* next;
        alignas(T) unsigned char storage[sizeof(T)];
    };
    struct Block {
        Block* next;
        FreeNode nodes[blockSize];
    };

    bool Grow() {
        const size_t count = blockSize;
        void* memory = ::operator new(sizeof(Block), std::nothrow);
        if (memory == nullptr) {
            return false;
        }
        Block* block = static_cast<Block*>(memory);
        block->next = blocks_;
        blocks_ = block;
        for (size_t i = count; i-- > 0;) {
            block->nodes[i].next = freeList_;
            freeList_ = &block->nodes[i];
        }
        capacity_ += count;
        return true;
    }

    Block* blocks_ = nullptr;
    FreeNode* freeList_ = nullptr;
    size_t capacity_ = 0;
    size_t inUse_ = 0;
    size_t peakInUse_ = 0;
    size_t limit_ = 0;
};

}  // namespace nb
