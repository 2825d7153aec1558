#pragma once
// The preview texture as the panels see it: a GPU image the GUI library can draw, filled from
// the engine's preview image. One implementation per graphics API, and a null one for tests.
#include <cstdint>

class PreviewImage;

class IGpuBackend {
 public:
  virtual ~IGpuBackend() = default;

  // Replaces the texture with a new one of this size, cleared to transparent black. On failure
  // there is no texture and the recorded size keeps its old value.
  virtual void create_texture(std::int32_t width, std::int32_t height) = 0;
  // Uploads the image. Does nothing without a texture, or when the image holds fewer than
  // width x height pixels; re-creates the texture first when the size differs from the recorded
  // one. Safe while the engine's workers write into the image.
  virtual void update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) = 0;
  // The texture as the GUI library's texture identifier; null when there is none.
  virtual void* get_texture() const = 0;
  virtual bool is_valid() const = 0;
  virtual std::int32_t get_width() const = 0;
  virtual std::int32_t get_height() const = 0;
};
