// Window pieces that need no display: centring and the built-in icons.
#include <gtest/gtest.h>

#include "app/glfw_window.h"
#include "app/window_icon.h"

TEST(WindowPlacement, TheWindowIsCentredAndMayStartOffAScreenSmallerThanIt) {
  EXPECT_EQ(centred_origin(0, 1920, 1600), 160);
  EXPECT_EQ(centred_origin(1920, 2560, 1600), 2400);  // a primary monitor right of another
  EXPECT_EQ(centred_origin(0, 1366, 1600), -117);     // truncated toward zero
  EXPECT_EQ(centred_origin(0, 899, 900), 0);
}

TEST(WindowIcon, TheIconsAreOpaqueInsideAndTransparentAtTheCorners) {
  for (int size : {16, 48}) {
    const IconImage icon = make_window_icon(size);
    ASSERT_EQ(icon.rgba.size(), static_cast<std::size_t>(size * size * 4));
    const auto pixel = [&](int x, int y) { return &icon.rgba[(static_cast<std::size_t>(y) * size + x) * 4]; };
    EXPECT_EQ(pixel(0, 0)[3], 0) << size;
    const std::uint8_t* centre = pixel(size / 2, size / 2);
    EXPECT_EQ(centre[3], 255) << size;
    EXPECT_GT(centre[0], 200) << size;  // the orange core
  }
}
