// Zoom steps, status and navigator texts and the display-bit window rules.
#include "lumapix/view_rules.h"

#include <gtest/gtest.h>

#include <cstring>

#include "model_test_support.hpp"

using namespace lumapix;

TEST(Zoom, StepsStayWithinTheirClamps) {
    for (auto [from, in, out] : {std::tuple{65536u, 131072u, 32768u}, {524288u, 524288u, 262144u}, {4000u, 8192u, 8192u},
                                 {8192u, 16384u, 8192u}, {12000u, 24000u, 8192u}, {16384u, 32768u, 8192u},
                                 {1048576u, 524288u, 524288u}, {2000000u, 524288u, 524288u}}) {
        EXPECT_EQ(ZoomIn(from), in) << from;
        EXPECT_EQ(ZoomOut(from), out) << from;
    }
    EXPECT_EQ(ZoomedLength(4000, 8192), 500u);
    EXPECT_EQ(ZoomedLength(65535, 524288), 524280u);
    EXPECT_EQ(ImageCoordinate(101, 131072), 50u);
}

TEST(StatusTexts, ModeFormatPaletteAndSize) {
    XrImage image{};
    image.MODE = XR_MODE_GRAYW;
    image.FMT = -12;
    image.PALFMT = XR_PALFMT_WHITEISZERO;
    image.WIDTH = 640;
    image.HEIGHT = 480;
    EXPECT_EQ(ImageStatusText(image), "GRAYW -12 bit : WHITEISZERO (640x480)   ");
    image.MODE = 42;
    image.PALFMT = 0;
    EXPECT_EQ(ImageStatusText(image), "UNKNOWN -12 bit : BLACKISZERO (640x480)   ");
    EXPECT_EQ(ZoomStatusText(65536), "表示 = 1.000倍");
    EXPECT_EQ(ZoomStatusText(8192), "表示 = 0.125倍");
    EXPECT_EQ(ZoomStatusText(524288), "表示 = 8.000倍");
}

TEST(Navigator, TextsPerMode) {
    modeltest::Record rgb(XR_MODE_RGB, 2, 1), mono(XR_MODE_MONO, 9, 1), grayw(XR_MODE_GRAYW, 1, 1), index(XR_MODE_INDEX, 1, 1);
    std::memcpy(rgb.Line(0) + 3, "\x01\x02\xff", 3);
    mono.Line(0)[1] = 0x80;
    std::memcpy(grayw.Line(0), "\x34\x12", 2);
    index.Line(0)[0] = 3;
    std::memcpy(index.image.PALBUT + 12, "\x09\x08\x07", 3);
    EXPECT_EQ(NavigatorColorText(rgb.image, 1, 0),
              " RGB \r\n    R     255 [FF]\r\n    G       2 [02]\r\n    B       1 [01]\r\n");
    EXPECT_EQ(NavigatorColorText(rgb.image, 2, 0), "");  // outside the image
    EXPECT_EQ(NavigatorPositionText(2, 0), " Position\r\n    x = 2\r\n    y = 0\r\n");
    EXPECT_EQ(NavigatorColorText(mono.image, 8, 0), " MONO \r\n    K       1 [01h]\r\n");
    EXPECT_EQ(NavigatorColorText(mono.image, 7, 0), " MONO \r\n    K       0 [00h]\r\n");
    EXPECT_EQ(NavigatorColorText(grayw.image, 0, 0), " GRAYW \r\n    K      4660 [1234]\r\n");
    EXPECT_EQ(NavigatorColorText(index.image, 0, 0),
              "  INDEX \r\n    INDEX   3 [03]\r\n    R       7 [07]\r\n    G       8 [08]\r\n"
              "    B       9 [09]\r\n");
    EXPECT_EQ(NavigatorColorText(modeltest::Record(XR_MODE_HIGH, 1, 1).image, 0, 0), "");  // no reading for HIGH
}

TEST(DisplayBits, RangeAndTheWindowFollowTheMovedEnd) {
    EXPECT_EQ(DisplayBitRange(12).bottom, 5);
    EXPECT_EQ(DisplayBitRange(12).top, 16);
    EXPECT_EQ(DisplayBitRange(0).bottom, 1);
    EXPECT_EQ(DisplayBitRange(-6).bottom, 3);
    EXPECT_EQ(DisplayBitRange(-6).top, 8);

    // 12-bit GRAYW: from 9..16, the bottom down to 5 pulls the top to 12;
    // the top down to 12 alone keeps the bottom.
    BitWindow w = MoveLowBit({9, 16}, 5, 12);
    EXPECT_EQ(w.lo, 5);
    EXPECT_EQ(w.hi, 12);
    EXPECT_EQ(MoveHighBit({9, 16}, 12, 12).lo, 9);
    w = MoveLowBit(w, 14, 12);  // above hi: hi rises with it
    EXPECT_EQ(w.lo, 14);
    EXPECT_EQ(w.hi, 14);
    w = MoveLowBit({6, 16}, 6, 12);  // wider than 8 bits: hi comes down
    EXPECT_EQ(w.hi, 13);
    // 6-bit samples: the window is at most 6 bits wide.
    w = MoveHighBit({3, 8}, 8, 6);
    EXPECT_EQ(w.lo, 3);
    w = MoveLowBit({5, 8}, 1, 6);
    EXPECT_EQ(w.hi, 6);
    EXPECT_TRUE(DisplayBitsAdjustable(XR_MODE_GRAYW));
    EXPECT_FALSE(DisplayBitsAdjustable(XR_MODE_INDEX));
    w = ClampToRange({1, 8}, DisplayBitRange(-6));
    EXPECT_EQ(w.lo, 3);
}
