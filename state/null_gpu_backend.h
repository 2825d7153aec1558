#pragma once
// A preview texture without a graphics device, for tests and headless frames: it follows the
// same rules as a real one and keeps the last upload so a test can look at it.
#include <cstdint>
#include <vector>

#include "state/gpu_backend.h"
#include "state/preview_staging.h"

class NullGpuBackend : public IGpuBackend {
 public:
  void create_texture(std::int32_t width, std::int32_t height) override;
  void update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) override;
  void* get_texture() const override;
  bool is_valid() const override { return exists_; }
  std::int32_t get_width() const override { return width_; }
  std::int32_t get_height() const override { return height_; }

  // The texture's contents: zeros after create_texture, then the last upload.
  const std::vector<std::uint8_t>& contents() const { return contents_; }
  int creations() const { return creations_; }
  int uploads() const { return uploads_; }
  // Makes the next create_texture fail, as a device out of memory would.
  void fail_next_create() { fail_next_create_ = true; }

 private:
  bool exists_ = false;
  bool fail_next_create_ = false;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  int creations_ = 0;
  int uploads_ = 0;
  PreviewStaging staging_;
  std::vector<std::uint8_t> contents_;
};
