#pragma once
// The preview texture in OpenGL: one RGBA8 texture of the preview image's size. Every call needs
// the window's OpenGL context current on the calling (interface) thread.
#include <cstdint>

#include "state/gpu_backend.h"
#include "state/preview_staging.h"

class GlTexture : public IGpuBackend {
 public:
  GlTexture() = default;
  GlTexture(const GlTexture&) = delete;
  GlTexture& operator=(const GlTexture&) = delete;
  // Does nothing: the texture is released by release(), while the context still exists.
  ~GlTexture() override = default;

  void create_texture(std::int32_t width, std::int32_t height) override;
  void update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) override;
  void* get_texture() const override;
  bool is_valid() const override { return texture_ != 0; }
  std::int32_t get_width() const override { return width_; }
  std::int32_t get_height() const override { return height_; }

  // Deletes the texture; called at shutdown before the context goes.
  void release();

 private:
  unsigned int texture_ = 0;  // GLuint; 0 is never a texture name
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  PreviewStaging staging_;
};
