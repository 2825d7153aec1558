// The preview texture's rules, on the null backend, and the staging copy behind every upload.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/preview_image.h"
#include "state/null_gpu_backend.h"
#include "state/preview_staging.h"

static void fill(PreviewImage& image, std::uint8_t value) {
  for (std::size_t i = 0; i < image.pixel_count(); ++i)
    store_pixel(image.data(), i, pack_rgba(value, value, value, 255));
}

TEST(PreviewTexture, BeforeAnyRunThereIsNoTextureAndAnUpdateCreatesNone) {
  NullGpuBackend gpu;
  EXPECT_FALSE(gpu.is_valid());
  EXPECT_EQ(gpu.get_texture(), nullptr);
  EXPECT_EQ(gpu.get_width(), 0);
  EXPECT_EQ(gpu.get_height(), 0);
  PreviewImage image(4, 2);
  gpu.update_texture(image, 4, 2);
  EXPECT_FALSE(gpu.is_valid());
  EXPECT_EQ(gpu.creations(), 0);
}

TEST(PreviewTexture, ANewTextureIsTransparentBlackAndAnUploadReplacesIt) {
  NullGpuBackend gpu;
  PreviewImage image(4, 2);
  fill(image, 200);
  gpu.create_texture(4, 2);
  ASSERT_TRUE(gpu.is_valid());
  EXPECT_NE(gpu.get_texture(), nullptr);
  EXPECT_EQ(gpu.contents(), std::vector<std::uint8_t>(32, 0));
  gpu.update_texture(image, 4, 2);
  EXPECT_EQ(gpu.contents(), image.snapshot());
  // Re-creating for the next run clears the last image.
  gpu.create_texture(4, 2);
  EXPECT_EQ(gpu.contents(), std::vector<std::uint8_t>(32, 0));
}

TEST(PreviewTexture, AnUpdateOfAnotherSizeRecreatesTheTextureFirst) {
  NullGpuBackend gpu;
  gpu.create_texture(1920, 1080);
  PreviewImage image(8, 4);
  fill(image, 7);
  gpu.update_texture(image, 8, 4);
  EXPECT_EQ(gpu.creations(), 2);
  EXPECT_EQ(gpu.get_width(), 8);
  EXPECT_EQ(gpu.get_height(), 4);
  EXPECT_EQ(gpu.contents(), image.snapshot());
}

TEST(PreviewTexture, AnImageSmallerThanTheGivenSizeUploadsNothing) {
  NullGpuBackend gpu;
  gpu.create_texture(4, 2);
  PreviewImage image(2, 2);
  fill(image, 9);
  gpu.update_texture(image, 4, 2);
  EXPECT_EQ(gpu.uploads(), 0);
  EXPECT_EQ(gpu.contents(), std::vector<std::uint8_t>(32, 0));
}

TEST(PreviewTexture, AFailedCreationLeavesNoTextureAndKeepsTheRecordedSize) {
  NullGpuBackend gpu;
  gpu.create_texture(4, 2);
  gpu.fail_next_create();
  gpu.create_texture(8, 8);
  EXPECT_FALSE(gpu.is_valid());
  EXPECT_EQ(gpu.get_texture(), nullptr);
  EXPECT_EQ(gpu.get_width(), 4);
  PreviewImage image(8, 8);
  gpu.update_texture(image, 8, 8);  // ignored until the next create_texture
  EXPECT_FALSE(gpu.is_valid());
  EXPECT_EQ(gpu.uploads(), 0);
}

TEST(PreviewStaging, CopiesPixelsAsRgbaBytesInRowOrder) {
  PreviewImage image(2, 2);
  store_pixel(image.data(), 0, pack_rgba(1, 2, 3, 255));
  store_pixel(image.data(), 3, pack_rgba(10, 20, 30, 40));
  PreviewStaging staging;
  ASSERT_TRUE(staging.copy_from(image, 2, 2));
  const std::vector<std::uint8_t> expected = {1, 2, 3, 255, 0, 0, 0, 0, 0, 0, 0, 0, 10, 20, 30, 40};
  EXPECT_EQ(std::vector<std::uint8_t>(staging.data(), staging.data() + staging.size()), expected);
  EXPECT_FALSE(staging.copy_from(image, 0, 2));
  EXPECT_FALSE(staging.copy_from(image, 3, 2));
}

// Workers write pixels while the interface uploads: the copy must be a set of atomic loads, so a
// race detector sees no data race and every copied pixel is one a worker wrote whole.
TEST(PreviewStaging, CopyingWhileAWorkerWritesSeesOnlyWholePixels) {
  PreviewImage image(64, 64);
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    for (std::uint8_t round = 1; !stop.load(); ++round) {
      if (round == 0) round = 1;
      for (std::size_t i = 0; i < image.pixel_count(); ++i)
        store_pixel(image.data(), i, pack_rgba(round, round, round, 255));
    }
  });
  PreviewStaging staging;
  for (int copy = 0; copy < 50; ++copy) {
    ASSERT_TRUE(staging.copy_from(image, 64, 64));
    for (std::size_t i = 0; i < staging.size(); i += 4) {
      const std::uint8_t* px = staging.data() + i;
      ASSERT_TRUE(px[3] == 0 || (px[0] == px[1] && px[1] == px[2] && px[3] == 255));
    }
  }
  stop.store(true);
  worker.join();
}
