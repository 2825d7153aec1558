#pragma once
// Replacing a file so that a crash, a kill or a full disk leaves either the old or the new
// complete file, never a truncated one.
#include <string>

// Writes `contents` to `temp_path` (same directory as `path`), flushes it to the disk, renames
// it over `path` and flushes the directory. On failure `path` is untouched, the temporary file
// is removed and `error` (when given) says why.
bool write_file_atomically(const std::string& path, const std::string& temp_path,
                           const std::string& contents, std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string& contents);

// Creates `dir` and its missing parents. True when it exists afterwards.
bool make_directories(const std::string& dir);

// Directory part of a path: everything before the last '/', "." when there is none.
std::string parent_directory(const std::string& path);
