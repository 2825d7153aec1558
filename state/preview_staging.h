#pragma once
// The copy of the preview image that is handed to the graphics driver. The engine's workers
// write pixels while the interface uploads them; copying with the image's relaxed atomic loads
// first means the driver never reads memory that another thread is writing.
#include <cstdint>
#include <vector>

class PreviewImage;

class PreviewStaging {
 public:
  // Copies width x height pixels of `image` as RGBA bytes. False, and nothing copied, when the
  // size is not positive or the image holds fewer pixels.
  bool copy_from(const PreviewImage& image, std::int32_t width, std::int32_t height);
  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size(); }

 private:
  std::vector<std::uint8_t> bytes_;  // kept between frames: one allocation per image size
};
