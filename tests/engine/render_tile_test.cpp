#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "engine/benchmark_scene.h"
#include "engine/preview_image.h"
#include "engine/render_tile.h"
#include "engine/tiles.h"

namespace {

// Counts every allocation in this program, to prove that rendering allocates nothing.
std::atomic<long> g_allocations{0};

struct SmallImage {
  static constexpr int kWidth = 48;
  static constexpr int kHeight = 40;
  std::vector<std::uint32_t> words = std::vector<std::uint32_t>(kWidth * kHeight, 0u);

  std::uint8_t byte(int x, int y, int channel) const {
    const std::uint32_t word = words[y * kWidth + x];
    return reinterpret_cast<const std::uint8_t*>(&word)[channel];
  }
  bool untouched(int x, int y) const { return words[y * kWidth + x] == 0u; }
};

const BenchmarkScene& scene() {
  static const BenchmarkScene s = [] {
    BenchmarkScene built = build_benchmark_scene();
    built.camera.image_width = SmallImage::kWidth;
    built.camera.image_height = SmallImage::kHeight;
    built.camera.initialize();
    return built;
  }();
  return s;
}

void render(SmallImage& image, int x, int y, int w, int h, int spp, const std::atomic<bool>* cancel = nullptr,
            std::int32_t seed = 42) {
  const Workload workload{.width = SmallImage::kWidth,
                          .height = SmallImage::kHeight,
                          .samples_per_pixel = spp,
                          .max_depth = 50,
                          .tile_size = w};
  render_tile(image.words.data(), workload, Tile{x, y, w, h, 0, TileState::Rendering}, scene(), seed, cancel);
}

}  // namespace

// GCC sees malloc behind operator new once inlined and warns about the matching free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

TEST(RenderTile, AllocatesNothingWhileRendering) {
  SmallImage image;
  scene();  // built before counting
  const long before = g_allocations.load();
  render(image, 0, 0, 16, 16, 4);
  EXPECT_EQ(g_allocations.load(), before);
  auto probe = std::make_unique<int>(1);  // the counter does see allocations
  EXPECT_GT(g_allocations.load(), before);
}

TEST(RenderTile, ClipsAtTheImageEdgesAndWritesOnlyItsOwnPixels) {
  SmallImage image;
  render(image, 32, 32, 32, 32, 1);  // reaches past both edges
  for (int y = 0; y < SmallImage::kHeight; ++y) {
    for (int x = 0; x < SmallImage::kWidth; ++x) {
      const bool inside = x >= 32 && y >= 32;
      EXPECT_EQ(image.untouched(x, y), !inside) << x << "," << y;
      if (inside) {
        EXPECT_EQ(image.byte(x, y, 3), 255);
      }
    }
  }
}

TEST(RenderTile, EmptyOrOutsideTilesWriteNothing) {
  SmallImage image;
  render(image, 0, SmallImage::kHeight, 8, 8, 1);
  render(image, 0, 0, 0, 8, 1);
  render(image, 0, 0, 8, 0, 1);
  for (std::uint32_t word : image.words) {
    ASSERT_EQ(word, 0u);
  }
}

TEST(RenderTile, ZeroSamplesWriteOpaqueBlack) {
  SmallImage image;
  render(image, 0, 0, 4, 4, 0);
  EXPECT_EQ(image.words[0], pack_rgba(0, 0, 0, 255));
}

TEST(RenderTile, SameSeedGivesSameBytesAndOtherSeedsDiffer) {
  SmallImage a, b, c;
  render(a, 0, 0, 16, 16, 2, nullptr, 7961);
  render(b, 0, 0, 16, 16, 2, nullptr, 7961);
  render(c, 0, 0, 16, 16, 2, nullptr, 15880);
  EXPECT_EQ(a.words, b.words);
  EXPECT_NE(a.words, c.words);
}

TEST(RenderTile, CancelFlagIsReadBeforeEachRow) {
  SmallImage image;
  std::atomic<bool> cancel{true};
  render(image, 0, 0, 16, 16, 1, &cancel);
  for (std::uint32_t word : image.words) {
    ASSERT_EQ(word, 0u);
  }

  // Set while rendering: the row in progress completes, later rows stay empty.
  SmallImage partial;
  std::atomic<bool> flag{false};
  std::thread canceller([&] {
    // Wait for the first pixel, read as the window reads it: a relaxed atomic load.
    while (std::atomic_ref<std::uint32_t>(partial.words[0]).load(std::memory_order_relaxed) == 0u) {
      std::this_thread::yield();
    }
    flag.store(true);
  });
  render(partial, 0, 0, SmallImage::kWidth, SmallImage::kHeight, 64, &flag);
  canceller.join();
  int complete_rows = 0;
  for (int y = 0; y < SmallImage::kHeight; ++y) {
    int written = 0;
    for (int x = 0; x < SmallImage::kWidth; ++x) {
      written += !partial.untouched(x, y);
    }
    EXPECT_TRUE(written == 0 || written == SmallImage::kWidth) << "row " << y << " is torn";
    complete_rows += written == SmallImage::kWidth;
  }
  EXPECT_GE(complete_rows, 1);
  EXPECT_LT(complete_rows, SmallImage::kHeight);
}

TEST(ChannelToByte, AppliesGammaClampsAndMapsBadValuesToZero) {
  EXPECT_EQ(channel_to_byte(0.25), 128);
  EXPECT_EQ(channel_to_byte(1.0), 255);
  EXPECT_EQ(channel_to_byte(37.0), 255);
  EXPECT_EQ(channel_to_byte(0.0), 0);
  EXPECT_EQ(channel_to_byte(-1.0), 0);
  EXPECT_EQ(channel_to_byte(std::nan("")), 0);
}

TEST(RayColor, SkyGradientAndDepthLimit) {
  const HittableList nothing;
  Rng rng(1);
  const Vec3 up = ray_color(Ray{Vec3{}, Vec3{0.0, 1.0, 0.0}}, nothing, 50, rng);
  EXPECT_DOUBLE_EQ(up.x, 0.5);
  EXPECT_DOUBLE_EQ(up.y, 0.7);
  EXPECT_DOUBLE_EQ(up.z, 1.0);
  const Vec3 down = ray_color(Ray{Vec3{}, Vec3{0.0, -1.0, 0.0}}, nothing, 50, rng);
  EXPECT_DOUBLE_EQ(down.x, 1.0);
  const Vec3 level = ray_color(Ray{Vec3{}, Vec3{1.0, 0.0, 0.0}}, nothing, 50, rng);
  EXPECT_DOUBLE_EQ(level.x, 0.75);
  EXPECT_DOUBLE_EQ(level.y, 0.85);
  const Vec3 none = ray_color(Ray{Vec3{}, Vec3{0.0, 1.0, 0.0}}, nothing, 0, rng);
  EXPECT_EQ(none.x + none.y + none.z, 0.0);
}

TEST(Tiles, StandardImageHas2040TilesInRowMajorOrder) {
  std::vector<Tile> tiles;
  build_tile_list(tiles, 1920, 1080, 32);
  ASSERT_EQ(tiles.size(), 2040u);
  auto same = [](const Tile& t, int x, int y, int w, int h) { return t.x == x && t.y == y && t.w == w && t.h == h; };
  EXPECT_TRUE(same(tiles[59], 1888, 0, 32, 32));
  EXPECT_TRUE(same(tiles[60], 0, 32, 32, 32));
  EXPECT_TRUE(same(tiles[2039], 1888, 1056, 32, 24));
  EXPECT_EQ(tiles[2039].index, 2039);
  EXPECT_EQ(tiles[7].state, TileState::Pending);
  EXPECT_EQ(tile_seed(0), 42);
  EXPECT_EQ(tile_seed(1), 7961);
  EXPECT_EQ(tile_seed(2039), 16146883);
  EXPECT_EQ(tile_seed(300000), static_cast<std::int32_t>(300000u * 7919u + 42u));  // wraps

  build_tile_list(tiles, 0, 1080, 32);
  EXPECT_TRUE(tiles.empty());
  EXPECT_EQ(progress_fraction(0, 0), 0.0f);
}
