#pragma once
// The square tiles a run cuts its image into, listed row-major from the top-left corner (the
// order they are queued in is engine/tile_order.h).
#include <cstdint>
#include <vector>

enum class TileState : std::int32_t { Pending = 0, Rendering = 1, Done = 2 };

struct Tile {
  std::int32_t x;
  std::int32_t y;
  std::int32_t w;  // tile_size, or less in the last column
  std::int32_t h;  // tile_size, or less in the last row
  std::int32_t index;
  TileState state;
};

// Appends the tiles of a width x height image to `tiles` (emptied first), all Pending.
void build_tile_list(std::vector<Tile>& tiles, std::int32_t width, std::int32_t height, std::int32_t tile_size);

// Seed of tile i's generator: i * 7919 + 42 in wrapping 32-bit arithmetic.
constexpr std::int32_t tile_seed(std::int32_t index) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(index) * 7919u + 42u);
}

// Shown progress: done / count in single precision, 0 before any tile list exists.
constexpr float progress_fraction(std::int32_t done, std::int32_t count) {
  return count == 0 ? 0.0f : static_cast<float>(done) / static_cast<float>(count);
}
