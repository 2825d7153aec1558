#pragma once
// The operating system's name on Windows from the registry's ProductName, DisplayVersion and
// CurrentBuildNumber. Windows 11 still reports "Windows 10" as its product name; builds from
// 22000 on are Windows 11.
#include <string>

// "Windows 10 Pro", "23H2", "22631" give "Windows 11 Pro 23H2 (Build 22631)"; an empty display
// version or build number leaves its part out.
std::string format_windows_version(const std::string& product_name, const std::string& display_version,
                                   const std::string& build_number);
