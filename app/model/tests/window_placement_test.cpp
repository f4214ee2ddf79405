#include "lumapix/window_placement.h"

#include <gtest/gtest.h>

using lumapix::FormatWindowPos;
using lumapix::ParseWindowPos;
using lumapix::WindowPlacement;

TEST(WindowPos, RoundTripsTenIntegersAndRefusesAnythingElse) {
    WindowPlacement w;
    w.flags = WindowPlacement::kRestoreToMaximized;
    w.show = WindowPlacement::kShowMinimized;
    w.left = -8, w.top = 20, w.right = 1200, w.bottom = 900;
    const std::string text = FormatWindowPos(w);
    EXPECT_EQ(text, "2:2:-1:-1:-1:-1:-8:20:1200:900");
    auto back = ParseWindowPos(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->right, 1200);
    EXPECT_TRUE(back->maximized());  // minimised from a maximised window comes back maximised

    EXPECT_FALSE(ParseWindowPos("0:1:-1:-1:-1:-1:10:20:300"));         // nine fields
    EXPECT_FALSE(ParseWindowPos("0:1:-1:-1:-1:-1:10:20:300:400:5"));   // eleven
    EXPECT_FALSE(ParseWindowPos("0:1:-1:-1:-1:-1:10:20:300:x"));
    EXPECT_FALSE(ParseWindowPos("0:1:-1:-1:-1:-1:10:20:300:400 "));
    EXPECT_FALSE(ParseWindowPos(""));
    EXPECT_FALSE(ParseWindowPos("0:1:-1:-1:-1:-1:10:20:300:99999999999"));
    EXPECT_TRUE(ParseWindowPos("0:3:-1:-1:-1:-1:10:20:300:400")->maximized());
}
