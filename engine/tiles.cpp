#include "engine/tiles.h"

#include <algorithm>

void build_tile_list(std::vector<Tile>& tiles, std::int32_t width, std::int32_t height, std::int32_t tile_size) {
  tiles.clear();
  std::int32_t index = 0;
  for (std::int32_t y = 0; y < height; y += tile_size) {
    for (std::int32_t x = 0; x < width; x += tile_size) {
      tiles.push_back(
          Tile{x, y, std::min(tile_size, width - x), std::min(tile_size, height - y), index++, TileState::Pending});
    }
  }
}
