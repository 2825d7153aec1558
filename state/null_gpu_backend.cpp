#include "state/null_gpu_backend.h"

#include <algorithm>

void NullGpuBackend::create_texture(std::int32_t width, std::int32_t height) {
  exists_ = false;
  contents_.clear();
  if (fail_next_create_ || width <= 0 || height <= 0) {
    fail_next_create_ = false;
    return;
  }
  exists_ = true;
  width_ = width;
  height_ = height;
  contents_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  ++creations_;
}

void NullGpuBackend::update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) {
  if (!exists_) return;
  if (width != width_ || height != height_) {
    create_texture(width, height);
    if (!exists_) return;
  }
  if (!staging_.copy_from(image, width, height)) return;
  std::copy(staging_.data(), staging_.data() + staging_.size(), contents_.begin());
  ++uploads_;
}

void* NullGpuBackend::get_texture() const {
  // Any non-null identifier will do: nothing ever draws it.
  return exists_ ? const_cast<NullGpuBackend*>(this) : nullptr;
}
