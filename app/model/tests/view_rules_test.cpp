// Zoom steps, status and navigator texts and the display-bit window rules.
#include "lumapix/view_rules.h"

#include <gtest/gtest.h>

using namespace lumapix;

TEST(Zoom, StepsStayWithinTheirClamps) {
    EXPECT_EQ(ZoomIn(65536), 131072u);
    EXPECT_EQ(ZoomIn(524288), 524288u);
    EXPECT_EQ(ZoomIn(4000), 8192u);
    EXPECT_EQ(ZoomOut(65536), 32768u);
    EXPECT_EQ(ZoomOut(8192), 8192u);
    EXPECT_EQ(ZoomOut(12000), 8192u);
    EXPECT_EQ(ZoomOut(16384), 8192u);
    EXPECT_EQ(ZoomOut(1048576), 524288u);
    EXPECT_EQ(ZoomOut(2000000), 524288u);
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
    XrImage image{};
    image.MODE = XR_MODE_RGB;
    image.WIDTH = 2;
    image.HEIGHT = 1;
    image.LINEINT = ImageLineBytes(XR_MODE_RGB, 2);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    uint8_t* p = ImageLine(&image, 0);
    p[3] = 1, p[4] = 2, p[5] = 255;
    EXPECT_EQ(NavigatorColorText(image, 1, 0),
              " RGB \r\n    R     255 [FF]\r\n    G       2 [02]\r\n    B       1 [01]\r\n");
    EXPECT_EQ(NavigatorColorText(image, 2, 0), "");  // outside the image
    EXPECT_EQ(NavigatorPositionText(2, 0), " Position\r\n    x = 2\r\n    y = 0\r\n");
    ImageFree(&image);

    image.MODE = XR_MODE_MONO;
    image.WIDTH = 9;
    image.HEIGHT = 1;
    image.LINEINT = ImageLineBytes(XR_MODE_MONO, 9);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    ImageLine(&image, 0)[1] = 0x80;
    EXPECT_EQ(NavigatorColorText(image, 8, 0), " MONO \r\n    K       1 [01h]\r\n");
    EXPECT_EQ(NavigatorColorText(image, 7, 0), " MONO \r\n    K       0 [00h]\r\n");
    ImageFree(&image);

    image.MODE = XR_MODE_GRAYW;
    image.WIDTH = 1;
    image.HEIGHT = 1;
    image.LINEINT = ImageLineBytes(XR_MODE_GRAYW, 1);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    ImageLine(&image, 0)[0] = 0x34;
    ImageLine(&image, 0)[1] = 0x12;
    EXPECT_EQ(NavigatorColorText(image, 0, 0), " GRAYW \r\n    K      4660 [1234]\r\n");
    ImageFree(&image);

    image.MODE = XR_MODE_INDEX;
    image.WIDTH = 1;
    image.HEIGHT = 1;
    image.LINEINT = ImageLineBytes(XR_MODE_INDEX, 1);
    ASSERT_EQ(ImageAlloc(&image), XR_OK);
    ImageLine(&image, 0)[0] = 3;
    image.PALBUT[12] = 9, image.PALBUT[13] = 8, image.PALBUT[14] = 7;
    EXPECT_EQ(NavigatorColorText(image, 0, 0),
              "  INDEX \r\n    INDEX   3 [03]\r\n    R       7 [07]\r\n    G       8 [08]\r\n"
              "    B       9 [09]\r\n");
    ImageFree(&image);

    image.MODE = XR_MODE_HIGH;  // no reading for HIGH
    image.WIDTH = 1;
    image.HEIGHT = 1;
    image.LINEINT = 2;
    uint8_t two[2] = {};
    image.PIXELS = two;
    EXPECT_EQ(NavigatorColorText(image, 0, 0), "");
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
