#include "system/windows_version.h"

#include <cstdint>

namespace {

// The decimal value of the leading digits; 0 when there are none.
std::uint64_t leading_number(const std::string& text) {
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 1000000000) break;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

}  // namespace

std::string format_windows_version(const std::string& product_name, const std::string& display_version,
                                   const std::string& build_number) {
  std::string name = product_name;
  const auto ten = name.find("Windows 10");
  if (!build_number.empty() && leading_number(build_number) >= 22000 && ten != std::string::npos)
    name.replace(ten, 10, "Windows 11");
  if (!display_version.empty()) name += " " + display_version;
  if (!build_number.empty()) name += " (Build " + build_number + ")";
  return name;
}
