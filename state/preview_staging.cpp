#include "state/preview_staging.h"

#include "engine/preview_image.h"

bool PreviewStaging::copy_from(const PreviewImage& image, std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return false;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  if (count > image.pixel_count()) return false;
  bytes_.resize(count * 4);
  image.copy_bytes(0, count, bytes_.data());
  return true;
}
