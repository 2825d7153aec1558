#pragma once
// The image a run renders into and the window shows while it fills in: width x height pixels of
// 8-bit red, green, blue, alpha, rows top first, no padding. Unrendered pixels are all zero.
//
// Each pixel is one 32-bit word whose bytes lie in memory in the order R, G, B, A. Workers
// publish a finished pixel with one relaxed atomic store and readers copy with relaxed loads,
// so the concurrent display is well-defined and a worker never waits for a reader.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::uint32_t pack_rgba(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  const std::uint8_t bytes[4] = {r, g, b, a};
  std::uint32_t word;
  std::memcpy(&word, bytes, sizeof word);
  return word;
}

inline void store_pixel(std::uint32_t* pixels, std::size_t index, std::uint32_t rgba) {
  std::atomic_ref<std::uint32_t>(pixels[index]).store(rgba, std::memory_order_relaxed);
}

class PreviewImage {
 public:
  PreviewImage(std::int32_t width, std::int32_t height) { reset(width, height); }

  // Resizes and zeroes; only while no run is in progress (the buffer may move).
  void reset(std::int32_t width, std::int32_t height) {
    words_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
  }

  std::uint32_t* data() { return words_.data(); }
  std::size_t pixel_count() const { return words_.size(); }
  std::size_t size_bytes() const { return words_.size() * 4; }

  // Copies pixels [first, first + count) as RGBA bytes into `out`, safe while workers write.
  void copy_bytes(std::size_t first, std::size_t count, std::uint8_t* out) const;
  std::vector<std::uint8_t> snapshot() const;

 private:
  // atomic_ref needs mutable storage even for loads in C++20; loads never change it.
  mutable std::vector<std::uint32_t> words_;
};

inline void PreviewImage::copy_bytes(std::size_t first, std::size_t count, std::uint8_t* out) const {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t word = std::atomic_ref<std::uint32_t>(words_[first + i]).load(std::memory_order_relaxed);
    std::memcpy(out + i * 4, &word, 4);
  }
}

inline std::vector<std::uint8_t> PreviewImage::snapshot() const {
  std::vector<std::uint8_t> bytes(size_bytes());
  copy_bytes(0, pixel_count(), bytes.data());
  return bytes;
}
