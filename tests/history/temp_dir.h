#pragma once
// The history tests' file helpers, over the shared temporary folder.
#include <fstream>
#include <string>

#include "tests/support/test_processes.h"

inline void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string read_text(const std::string& path) { return read_file(path); }
