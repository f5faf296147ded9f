#include "foundation/QX_Slab.h"

#include "foundation/QX_Error.h"
#include "foundation/QX_Mem.h"
#include "foundation/Sanitized.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>

namespace gm {

namespace {

constexpr std::size_t FirstChunk = 64 << 10;
constexpr std::size_t LargestChunk = 8 << 20;
// Chunks this large start on a boundary of the system's large pages, so that all of it can be
// backed by them.
constexpr std::size_t LargePage = 2 << 20;
// Room before each object for the slab it came from (null: the heap), keeping the object as
// aligned as the heap would.
constexpr std::size_t Header = alignof(std::max_align_t);

SlabQX*& SlabOf(void* raw) noexcept {
    return *static_cast<SlabQX**>(raw);
}

} // namespace

SlabQX::SlabQX(std::size_t objectSize)
    : Size_((objectSize + Header + Header - 1) / Header * Header) {}

SlabQX::~SlabQX() {
    ReleaseChunks();
}

void* SlabQX::Take() {
    void* block = Free_;
    if (block) {
        Free_ = *static_cast<void**>(block);
    } else {
        if (static_cast<std::size_t>(End_ - At_) < Size_) {
            // Chunks grow with the store, so a small world costs little and a large one few
            // chunks.
            NextChunk_ = NextChunk_ == 0 ? FirstChunk : std::min(NextChunk_ * 2, LargestChunk);
            const std::size_t bytes = std::max(NextChunk_, Size_);
            if (Chunks_.size() == Chunks_.capacity()) Chunks_.reserve(Chunks_.size() * 2 + 8);
            char* chunk = nullptr;
            if (bytes >= LargePage) {
                chunk = static_cast<char*>(
                    ::operator new (bytes, std::align_val_t{LargePage}, std::nothrow));
                // Out of memory fails as every other allocation of the file layer does.
                if (!chunk) RaiseQX("AllocQX. size=" + std::to_string(bytes));
                AdviseLargeQX(chunk, static_cast<int64_t>(bytes));
            } else {
                chunk = static_cast<char*>(AllocQX(static_cast<int32_t>(bytes)));
            }
            Chunks_.push_back({chunk, bytes});
            At_ = chunk;
            End_ = chunk + bytes;
        }
        block = At_;
        At_ += Size_;
    }
    ++Live_;
    return block;
}

void SlabQX::Give(void* block) noexcept {
    *static_cast<void**>(block) = Free_;
    Free_ = block;
    // An emptied store (a world cleared or closed) gives its memory back.
    if (--Live_ == 0) ReleaseChunks();
}

void SlabQX::ReleaseChunks() noexcept {
    for (const Chunk& chunk : Chunks_) {
        if (chunk.Bytes >= LargePage)
            ::operator delete (chunk.At, std::align_val_t{LargePage});
        else
            FreeQX(chunk.At);
    }
    Chunks_.clear();
    Free_ = nullptr;
    At_ = End_ = nullptr;
    NextChunk_ = 0;
}

void* SlabObjectQX::operator new(std::size_t size) {
    void* raw = ::operator new(size + Header);
    SlabOf(raw) = nullptr;
    return static_cast<char*>(raw) + Header;
}

void* SlabObjectQX::operator new(std::size_t size, SlabQX& slab) {
    // Under AddressSanitizer every object comes from the heap, so that a use after free or an
    // overrun of one of them is still caught.
    if (AddressSanitized || size + Header > slab.BlockSize()) return operator new(size);
    void* raw = slab.Take();
    SlabOf(raw) = &slab;
    return static_cast<char*>(raw) + Header;
}

void SlabObjectQX::operator delete(void* object) noexcept {
    if (!object) return;
    void* raw = static_cast<char*>(object) - Header;
    if (SlabQX* slab = SlabOf(raw))
        slab->Give(raw);
    else
        ::operator delete(raw);
}

void SlabObjectQX::operator delete(void* object, SlabQX&) noexcept {
    operator delete(object);
}

} // namespace gm
