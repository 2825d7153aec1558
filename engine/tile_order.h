#pragma once
// The order a run queues its tiles in. The pool is first in, first out, so the order decides
// how the run ends: with many workers, a costly tile taken last leaves the others idle. A
// workload whose tile costs were counted (the standard one) queues its costliest tiles first,
// which keeps that tail short for every thread count; any other is queued row-major. The order
// never changes a tile's index or seed, so it never changes the image.
#include <cstdint>
#include <vector>

#include "engine/workload.h"

// The tiles of the standard workload, costliest first; ties by index.
const std::vector<std::int32_t>& standard_tile_order();

// Tile indices 0 .. tile_count - 1 in the order `workload` queues them.
std::vector<std::int32_t> tile_queue_order(const Workload& workload, std::int32_t tile_count);

// The counted cost of each tile in the order `workload` queues them; empty when not counted.
std::vector<double> queued_tile_costs(const Workload& workload);
