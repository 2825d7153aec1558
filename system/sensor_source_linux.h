#pragma once
// The sensor source over a Linux root folder: "/" for this machine, or a captured tree of
// another machine's /proc and /sys (tests/system/machines).
#include <functional>
#include <memory>
#include <string>

#include "system/sensor_source.h"

// A whole small file, or the errno that stopped reading it.
struct SysfsRead {
  std::string text;
  int error = 0;
};
using SysfsReader = std::function<SysfsRead(const std::string& path)>;
SysfsRead read_sysfs_file(const std::string& path);

// The files are found once, here; each read then opens only the chosen ones. `reader` is the
// seam through which tests make a file unreadable (a test running as root reads any file).
std::unique_ptr<ISensorSource> make_linux_sensor_source(const std::string& root, SysfsReader reader = read_sysfs_file);
