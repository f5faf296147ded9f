#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "foundation/QX_Slab.h"

namespace gm {
namespace {

struct Small : SlabObjectQX {
    explicit Small(int v) : Value(v) {}
    virtual ~Small() = default;
    int Value;
    char Pad[40] = {};
};

struct Large : Small {
    Large() : Small(7) {}
    char More[200] = {};
};

struct MayThrow : SlabObjectQX {
    explicit MayThrow(bool fail) {
        if (fail) throw 1;
    }
    char Pad[16] = {};
};

TEST(SlabTest, ObjectsGoBackWhereTheyCameFrom) {
    SlabQX slab(sizeof(Small));
    std::vector<std::unique_ptr<Small>> objects;
    for (int i = 0; i < 5000; ++i) // several chunks
        objects.emplace_back(new (slab) Small(i));
    objects.emplace_back(new Small(-1));      // the heap
    objects.emplace_back(new (slab) Large()); // too large for the slab: the heap
    std::set<const void*> distinct;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        distinct.insert(objects[i].get());
        if (i < 5000) {
            EXPECT_EQ(objects[i]->Value, static_cast<int>(i));
        }
    }
    EXPECT_EQ(distinct.size(), objects.size());
    EXPECT_EQ(objects.back()->Value, 7);

    // A freed block is the next one taken (sanitizer builds take every object from the heap).
#if !defined(__SANITIZE_ADDRESS__)
    const void* freed = objects[10].get();
    objects[10].reset();
    objects[10].reset(new (slab) Small(10));
    EXPECT_EQ(objects[10].get(), freed);
#endif

    // Emptied, the slab starts over and serves again.
    objects.clear();
    std::unique_ptr<Small> again(new (slab) Small(3));
    EXPECT_EQ(again->Value, 3);
}

TEST(SlabTest, AConstructorThatThrowsGivesItsBlockBack) {
    SlabQX slab(sizeof(MayThrow));
    std::unique_ptr<MayThrow> kept(new (slab) MayThrow(false));
    EXPECT_THROW((void)new (slab) MayThrow(true), int);
    std::unique_ptr<MayThrow> next(new (slab) MayThrow(false));
    std::unique_ptr<MayThrow> last(new (slab) MayThrow(false));
    // The failed object's block was the next one taken, and nothing is handed out twice.
    EXPECT_NE(next.get(), kept.get());
    EXPECT_NE(next.get(), last.get());
}

} // namespace
} // namespace gm
