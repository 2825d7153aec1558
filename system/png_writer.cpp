#include "system/png_writer.h"

#include <stb/stb_image_write.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

void append(void* context, void* data, int size) {
  auto* bytes = static_cast<std::vector<unsigned char>*>(context);
  const auto* begin = static_cast<const unsigned char*>(data);
  bytes->insert(bytes->end(), begin, begin + size);
}

std::string system_reason(int error) { return std::strerror(error); }

// Why a file could not be opened for writing: "No such file or directory" says too little
// when it is the folder that is missing.
std::string open_failure(const std::string& path, int error) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    return "the folder " + folder.string() + " does not exist";
  }
  return system_reason(error);
}

}  // namespace

bool has_png_name(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename().string();
  if (name.size() <= 4) return false;  // ".png" alone names no file
  std::string suffix = name.substr(name.size() - 4);
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return suffix == ".png";
}

std::string png_target_problem(const std::string& path) {
  if (!has_png_name(path)) return "the name must end in .png";
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "it is a folder";
  const bool existed = std::filesystem::exists(path, error);
  // Opened for appending: an existing file keeps its bytes, and only a file made here is removed.
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return open_failure(path, errno);
  std::fclose(file);
  if (!existed) std::remove(path.c_str());
  return {};
}

std::string write_png(const std::string& path, std::int32_t width, std::int32_t height,
                      std::span<const std::uint8_t> rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4) {
    return "the image is empty";
  }
  std::vector<unsigned char> bytes;
  if (stbi_write_png_to_func(append, &bytes, width, height, 4, rgba.data(), width * 4) == 0) {
    return "the image could not be encoded";
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return open_failure(path, errno);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int write_error = errno;
  if (std::fclose(file) != 0 || !written) {
    return written ? system_reason(errno) : system_reason(write_error);
  }
  return {};
}
