#include "app/window_icon.h"

#include <algorithm>
#include <cmath>

// Coverage of a pixel by a shape given as a signed distance (negative inside), over one pixel.
static float coverage(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

static void blend(std::uint8_t* px, float r, float g, float b, float a) {
  const float dst_a = px[3] / 255.0f;
  const float out_a = a + dst_a * (1.0f - a);
  if (out_a <= 0.0f) return;
  auto mix = [&](int i, float src) {
    const float dst = px[i] / 255.0f;
    px[i] = static_cast<std::uint8_t>(std::lround((src * a + dst * dst_a * (1.0f - a)) / out_a * 255.0f));
  };
  mix(0, r);
  mix(1, g);
  mix(2, b);
  px[3] = static_cast<std::uint8_t>(std::lround(out_a * 255.0f));
}

IconImage make_window_icon(int size) {
  IconImage icon;
  icon.size = size;
  icon.rgba.assign(static_cast<std::size_t>(size) * size * 4, 0);
  const float s = static_cast<float>(size);
  const float c = s * 0.5f;
  const float half = s * 0.5f;
  const float corner = s * 0.1875f;  // 12 of 64
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::uint8_t* px = &icon.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      const float fx = x + 0.5f - c;
      const float fy = y + 0.5f - c;
      // Rounded square background.
      const float qx = std::fabs(fx) - (half - corner);
      const float qy = std::fabs(fy) - (half - corner);
      const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
      const float box = outside + std::min(std::max(qx, qy), 0.0f) - corner;
      blend(px, 0.051f, 0.051f, 0.051f, coverage(box));
      const float r = std::hypot(fx, fy);
      // Teal ring, radius 20 of 64, width 6 of 64.
      const float ring = std::fabs(r - s * 0.3125f) - s * 0.047f;
      blend(px, 0.0f, 0.831f, 0.667f, coverage(ring));
      // Orange core, radius 8 of 64.
      blend(px, 1.0f, 0.42f, 0.208f, coverage(r - s * 0.125f));
    }
  }
  return icon;
}
