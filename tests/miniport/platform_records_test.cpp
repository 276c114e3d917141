// The platform records keep their Windows i386 sizes and offsets.
#include "miniport/board.h"

#include <gtest/gtest.h>

#include <cstddef>

static_assert(sizeof(VIDEO_MODE_INFORMATION) == 80);
static_assert(sizeof(VIDEO_ACCESS_RANGE) == 16);
static_assert(sizeof(VIDEO_PUBLIC_ACCESS_RANGES) == 12);
static_assert(sizeof(VIDEO_MEMORY_INFORMATION) == 16);
static_assert(sizeof(VIDEO_PORT_CONFIG_INFO) == 72);
static_assert(sizeof(VIDEO_HW_INITIALIZATION_DATA) == 40);
static_assert(sizeof(BOARD_EXTENSION) == 960);
static_assert(offsetof(BOARD_EXTENSION, pRegisters) == 128);
static_assert(offsetof(BOARD_EXTENSION, GammaTable) == 188);
static_assert(offsetof(BOARD_EXTENSION, pNextBoard) == 956);

TEST(PlatformRecords, WideStringsAreSixteenBitsPerCharacter)
{
    const WCHAR chip[] = KTEXT("ORV");
    EXPECT_EQ(sizeof chip, 8u);
}
