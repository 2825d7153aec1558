#include "app/window_icon.h"

#include <algorithm>
#include <cmath>

#include "ui/palette_rgb.h"

// Coverage of a pixel by a shape given as a signed distance (negative inside), over one pixel.
static float coverage(float distance) { return std::clamp(0.5f - distance, 0.0f, 1.0f); }

static void blend(std::uint8_t* px, PaletteRgb colour, float a) {
  const float dst_a = px[3] / 255.0f;
  const float out_a = a + dst_a * (1.0f - a);
  if (out_a <= 0.0f) return;
  auto mix = [&](int i, float src) {
    const float dst = px[i] / 255.0f;
    px[i] = static_cast<std::uint8_t>(std::lround((src * a + dst * dst_a * (1.0f - a)) / out_a * 255.0f));
  };
  mix(0, colour.r);
  mix(1, colour.g);
  mix(2, colour.b);
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
      blend(px, kWindowBlackRgb, coverage(box));
      const float r = std::hypot(fx, fy);
      // Teal ring, radius 20 of 64, width 6 of 64.
      const float ring = std::fabs(r - s * 0.3125f) - s * 0.047f;
      blend(px, kTealRgb, coverage(ring));
      // Orange core, radius 8 of 64.
      blend(px, kOrangeRgb, coverage(r - s * 0.125f));
    }
  }
  return icon;
}
