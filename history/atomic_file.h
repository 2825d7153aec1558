#pragma once
// The file services the history needs: replacing a file so that a crash, a kill or a full disk
// leaves either the old or the new complete file, never a truncated one, and a few small
// queries. One implementation per platform (atomic_file_posix.cpp).
#include <cstdint>
#include <string>

// Identity of a file's current version on disk, to notice changes cheaply.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t mtime_ns = 0, ctime_ns = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp stamp_of(const std::string& path);
bool file_exists(const std::string& path);

// Gives the file at `path` the second name `target` as well (or only, where a second name is
// impossible). False with `error` set when neither works.
bool keep_under_second_name(const std::string& path, const std::string& target, std::string* error);

// A name part unique to this process, for temporary files written without the lock.
std::string process_tag();

// The local time as "YYYYMMDD-HHMMSS", for names of files kept aside.
std::string local_time_tag();

// Writes `contents` to `temp_path` (same directory as `path`), flushes it to the disk, renames
// it over `path` and flushes the directory. On failure `path` is untouched, the temporary file
// is removed and `error` (when given) says why.
bool write_file_atomically(const std::string& path, const std::string& temp_path, const std::string& contents,
                           std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool read_whole_file(const std::string& path, std::string& contents);

// Creates `dir` and its missing parents. True when it exists afterwards.
bool make_directories(const std::string& dir);

// Directory part of a path: everything before the last '/', "." when there is none.
std::string parent_directory(const std::string& path);
