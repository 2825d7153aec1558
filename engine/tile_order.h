#pragma once
// The order a run queues its tiles in. The pool is first in, first out, so the order decides
// how the run ends: with many workers, a costly tile taken last leaves the others idle. The
// standard image queues its costliest tiles first (from the counted cost of every tile), which
// keeps that tail short for every thread count; any other image is queued row-major. The order
// never changes a tile's index or seed, so it never changes the image.
#include <cstdint>
#include <vector>

#include "engine/benchmark_config.h"

// The tiles of the standard configuration (threads aside), costliest first; ties by index.
const std::vector<std::int32_t>& standard_tile_order();

// Tile indices 0 .. tile_count - 1 in the order `config` queues them.
std::vector<std::int32_t> tile_queue_order(const BenchmarkConfig& config, std::int32_t tile_count);
