#include "app/gl_texture.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

void GlTexture::release() {
  if (texture_ != 0) {
    const GLuint name = texture_;
    glDeleteTextures(1, &name);
    texture_ = 0;
  }
}

void GlTexture::create_texture(std::int32_t width, std::int32_t height) {
  release();
  if (width <= 0 || height <= 0) return;
  while (glGetError() != GL_NO_ERROR) {}
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  // OpenGL leaves a new texture's contents undefined; the preview shows unrendered pixels as
  // transparent, so it starts as all zeros.
  const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
  glBindTexture(GL_TEXTURE_2D, 0);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &name);
    return;
  }
  texture_ = name;
  width_ = width;
  height_ = height;
}

void GlTexture::update_texture(const PreviewImage& image, std::int32_t width, std::int32_t height) {
  if (texture_ == 0) return;
  if (width != width_ || height != height_) {
    create_texture(width, height);
    if (texture_ == 0) return;
  }
  if (!staging_.copy_from(image, width, height)) return;
  glBindTexture(GL_TEXTURE_2D, texture_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, staging_.data());
  glBindTexture(GL_TEXTURE_2D, 0);
}

void* GlTexture::get_texture() const {
  return texture_ == 0 ? nullptr : reinterpret_cast<void*>(static_cast<std::uintptr_t>(texture_));
}
