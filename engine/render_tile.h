#pragma once
// The measured work: one rectangle of the image, traced and written straight into the preview.
#include <atomic>
#include <cstdint>

#include "engine/benchmark_scene.h"
#include "engine/rng.h"
#include "engine/tiles.h"
#include "engine/workload.h"

// Colour seen along `r`, following at most `depth` bounces.
Vec3 ray_color(const Ray& r, const HittableList& world, std::int32_t depth, Rng& rng);

// Renders the tile's rectangle (clipped to the workload's image) of `scene` into `pixels`, one
// RGBA word per pixel of the workload's width (see PreviewImage), at its samples and bounces.
// `seed` seeds the tile's own generator, so a tile's pixels never depend on which thread
// renders it. `cancel` (may be null) is read once per row; when set the call returns and the
// rest of the tile keeps what the buffer held.
void render_tile(std::uint32_t* pixels, const Workload& workload, const Tile& tile, const BenchmarkScene& scene,
                 std::int32_t seed, const std::atomic<bool>* cancel);

// One channel's average to a byte: gamma 2 by square root, clamped to [0, 0.999], times 256.
std::uint8_t channel_to_byte(double average);
