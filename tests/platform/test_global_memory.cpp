#include "platform/GlobalMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(GlobalMemory, LocksNestAndTheAddressStaysTheSame)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 1000);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 1000u);
    auto* a = static_cast<std::uint8_t*>(GlobalLock(h));
    auto* b = static_cast<std::uint8_t*>(GlobalLock(h));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    std::memset(a, 0x5A, 1000);
    EXPECT_EQ(GlobalLockCount(h), 2u);
    EXPECT_TRUE(GlobalUnlock(h));  // still locked once
    EXPECT_FALSE(GlobalUnlock(h)); // now unlocked
    EXPECT_FALSE(GlobalUnlock(h)); // an extra unlock is harmless
    EXPECT_EQ(GlobalLockCount(h), 0u);
    EXPECT_EQ(static_cast<std::uint8_t*>(GlobalLock(h))[999], 0x5A);
    EXPECT_EQ(GlobalFree(h), nullptr); // freed while locked, as FreeData does
}

TEST(GlobalMemory, NullHandlesAndFailedAllocations)
{
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_FALSE(GlobalUnlock(nullptr));
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_MAX / 2), nullptr);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(GlobalLock(empty), nullptr);
    GlobalFree(empty);

    GlobalSetAllocLimit(4096);
    EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, 4097), nullptr);
    HGLOBAL ok = GlobalAlloc(GMEM_ZEROINIT, 4096);
    ASSERT_NE(ok, nullptr);
    auto* p = static_cast<std::uint8_t*>(GlobalLock(ok));
    EXPECT_EQ(p[0] | p[4095], 0);
    GlobalFree(ok);
    GlobalSetAllocLimit(0);
}
