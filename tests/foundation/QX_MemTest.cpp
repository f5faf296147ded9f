#include "foundation/QX_Mem.h"
#include "foundation/QX_Error.h"
#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace gm {
namespace {

using test::MessageOf;

TEST(QX_Mem, FailuresNameTheSize) {
    EXPECT_EQ(MessageOf([] { AllocQX(-5); }), "AllocQX. size=-5");
    EXPECT_EQ(MessageOf([] { AllocClearQX(-1); }), "AllocClearQX. size=-1");
}

TEST(QX_Mem, ReAllocKeepsContentAndFreesOnZero) {
    auto* p = static_cast<uint8_t*>(AllocClearQX(4));
    EXPECT_EQ(p[0] | p[1] | p[2] | p[3], 0);
    std::memcpy(p, "abcd", 4);
    p = static_cast<uint8_t*>(ReAllocRQX(p, 4000));
    EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
    EXPECT_EQ(ReAllocRQX(p, 0), nullptr);
    EXPECT_EQ(ReAllocRQX(nullptr, -3), nullptr);
}

} // namespace
} // namespace gm
