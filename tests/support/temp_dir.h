#pragma once
// A temporary folder for a test, and whole files read and written in one call.
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

// A fresh private folder, removed with everything in it unless STRELVIK_TEST_KEEP_FILES is set
// (to read a failed run's server logs).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// The bytes of `path`; empty when it cannot be read.
std::string read_file(const fs::path& path);
// Replaces the file's contents with exactly these bytes (no newline translation).
void write_file(const fs::path& path, const std::string& bytes);
