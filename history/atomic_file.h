#pragma once
// The file services the history needs: replacing a file so that a crash, a kill or a full disk
// leaves either the old or the new complete file, never a truncated one, and a few small
// queries. One implementation per platform (atomic_file_posix.cpp). Failures come back as the
// reason: a text that is empty when the action worked, or beside the value in a result.
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
// impossible). Empty when either worked, otherwise why not.
[[nodiscard]] std::string keep_under_second_name(const std::string& path, const std::string& target);

// A name part unique to this process, for temporary files written without the lock.
std::string process_tag();

// Writes `contents` to `temp_path` (same directory as `path`), flushes it to the disk, renames
// it over `path` and flushes the directory. Whatever was at `temp_path` is removed first and
// never written through. Empty when the new contents are in place; otherwise `path` is
// untouched, the temporary file is removed and the text says why.
[[nodiscard]] std::string write_file_atomically(const std::string& path, const std::string& temp_path,
                                                const std::string& contents);

enum class ReadStatus {
  Read,        // a regular file, read whole
  Missing,     // nothing at the path: the only case that means "no history yet"
  NotRegular,  // a FIFO, a device, a directory...: never opened, never replaced
  Failed,      // there, but it could not be read (permissions, I/O)
};

struct FileRead {
  ReadStatus status = ReadStatus::Missing;
  std::string contents;
  std::string error;  // why, for NotRegular ("a FIFO") and Failed ("Permission denied")
};

// Reads a whole regular file, following symbolic links. Anything else at the path is reported,
// not opened, so a FIFO cannot block and a device is not touched.
FileRead read_whole_file(const std::string& path);

// The file a save to `path` replaces: `path` itself, or the end of the chain of symbolic links
// that starts there (which need not exist yet), so that the link stays a link.
struct WriteTarget {
  std::string path;   // empty when the chain loops or cannot be read
  std::string error;  // then why
};
WriteTarget write_target(const std::string& path);

// Removes a file; true when it is gone afterwards.
bool remove_file(const std::string& path);

// Creates `dir` and its missing parents. True when it exists afterwards.
bool make_directories(const std::string& dir);

// Directory part of a path: everything before the last '/', "." when there is none.
std::string parent_directory(const std::string& path);
