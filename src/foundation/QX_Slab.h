#pragma once
// Blocks of one size for the many small objects of a store. A large world holds hundreds of
// thousands of keys and triangles; taken one by one from the heap, each costs an allocation, and
// the memory they fill is fetched from the system a small page at a time. A slab hands out blocks
// from chunks of up to megabytes (which the system may back with large pages), takes freed blocks
// back for reuse, and returns its chunks to the heap once every block is back.
// Not thread-safe: a slab belongs to one store, and a store to one thread at a time.

#include <cstddef>
#include <vector>

namespace gm {

class SlabQX {
public:
    // For objects of up to objectSize bytes (SlabObjectQX adds its own bookkeeping).
    explicit SlabQX(std::size_t objectSize);
    ~SlabQX();
    SlabQX(const SlabQX&) = delete;
    SlabQX& operator=(const SlabQX&) = delete;

    std::size_t BlockSize() const noexcept { return Size_; }
    void* Take();                    // raises like AllocQX when no memory is left
    void Give(void* block) noexcept; // a block Take gave out

private:
    void ReleaseChunks() noexcept;

    std::size_t Size_;
    std::size_t Live_ = 0; // blocks given out and not yet back
    void* Free_ = nullptr; // freed blocks, each holding the next
    char* At_ = nullptr;   // the unused rest of the newest chunk
    char* End_ = nullptr;
    std::size_t NextChunk_ = 0;
    struct Chunk {
        char* At;
        std::size_t Bytes;
    };
    std::vector<Chunk> Chunks_;
};

// Base of a class whose objects a store makes in its slab: `new (slab) T(...)` takes a block of
// the slab (the heap when T does not fit), a plain `new T(...)` the heap; delete gives each back
// where it came from, wherever the object is deleted. The slab must outlive its objects.
class SlabObjectQX {
public:
    static void* operator new(std::size_t size);
    static void* operator new(std::size_t size, SlabQX& slab);
    static void operator delete(void* object) noexcept;
    static void operator delete(void* object, SlabQX& slab) noexcept; // a constructor that threw
};

} // namespace gm
