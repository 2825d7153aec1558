#pragma once
// The measured work: one rectangle of the image, traced and written straight into the preview.
#include <atomic>
#include <cstdint>

#include "engine/camera.h"
#include "engine/hittable_list.h"
#include "engine/rng.h"

// Colour seen along `r`, following at most `depth` bounces.
Vec3 ray_color(const Ray& r, const HittableList& world, std::int32_t depth, Rng& rng);

// Renders the tile (clipped to the image) into `pixels`, one RGBA word per pixel (see
// PreviewImage). `seed` seeds the tile's own generator, so a tile's pixels never depend on which
// thread renders it. `cancel` (may be null) is read once per row; when set the call returns and
// the rest of the tile keeps what the buffer held.
void render_tile(std::uint32_t* pixels, std::int32_t image_width, std::int32_t image_height, std::int32_t tile_x,
                 std::int32_t tile_y, std::int32_t tile_width, std::int32_t tile_height, std::int32_t samples_per_pixel,
                 std::int32_t max_depth, const Camera& camera, const HittableList& world, std::int32_t seed,
                 const std::atomic<bool>* cancel);

// One channel's average to a byte: gamma 2 by square root, clamped to [0, 0.999], times 256.
std::uint8_t channel_to_byte(double average);
