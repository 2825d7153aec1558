// Window pieces that need no display: centring, the built-in icons and the Windows icon file.
#include <gtest/gtest.h>

#include "app/glfw_window.h"
#include "app/icon_file.h"
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

TEST(WindowIcon, TheIconFileListsEachSizeAndStoresBitmapsBottomRowFirstInBgra) {
  const auto fake_png = [](const IconImage&) { return std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'}; };
  const std::vector<IconImage> images = {make_window_icon(16), make_window_icon(256)};
  const std::vector<std::uint8_t> file = encode_icon_file(images, fake_png);
  const auto u16 = [&](std::size_t at) { return file[at] | file[at + 1] << 8; };
  const auto u32 = [&](std::size_t at) { return static_cast<std::size_t>(u16(at) | u16(at + 2) << 16); };
  ASSERT_EQ(u16(2), 1);  // an icon
  ASSERT_EQ(u16(4), 2);
  EXPECT_EQ(file[6], 16);
  EXPECT_EQ(file[6 + 16], 0);  // 256 is written as 0
  const std::size_t bitmap = u32(6 + 12), png = u32(6 + 16 + 12);
  EXPECT_EQ(bitmap, 6u + 2 * 16);
  EXPECT_EQ(u32(6 + 8), 40u + 16 * 16 * 4 + 16 * 4);  // header, pixels, mask rows padded to 32 bits
  EXPECT_EQ(png, bitmap + u32(6 + 8));
  EXPECT_EQ(png + u32(6 + 16 + 8), file.size());
  EXPECT_EQ(u32(bitmap + 8), 32u);  // colour and mask heights together
  // The file's first pixel is the image's bottom-left one, blue first.
  const std::uint8_t* expected = &images[0].rgba[15 * 16 * 4];
  const std::uint8_t* stored = &file[bitmap + 40];
  EXPECT_EQ(stored[0], expected[2]);
  EXPECT_EQ(stored[2], expected[0]);
  EXPECT_EQ(stored[3], expected[3]);
}
