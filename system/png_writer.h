#pragma once
// Image files for both programs: the runner's --image and the window's "Save PNG...". Both
// follow one rule for the name: it ends in .png (any case), since the file holds PNG data.
#include <cstdint>
#include <span>
#include <string>

// Whether `path` names a PNG file by the one rule both programs follow.
bool has_png_name(const std::string& path);

// Why `path` cannot take an image, empty when it can: the name's rule, a folder that does not
// exist, a file or folder this user may not write. Checked before a run, so that a run is not
// lost to a name that could never be written; it leaves an existing file as it was and no new
// one behind.
[[nodiscard]] std::string png_target_problem(const std::string& path);

// Writes RGBA bytes as a PNG file. The reason it could not, empty when it worked.
[[nodiscard]] std::string write_png(const std::string& path, std::int32_t width, std::int32_t height,
                                    std::span<const std::uint8_t> rgba);
