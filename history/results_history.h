#pragma once
// The list of past results, oldest first, mirrored in history.json.
//
// The window and the command-line runner may share the file. Every add or remove is applied to
// the file's current contents under an advisory lock, so neither program erases the other's
// results; saves replace the file atomically; a file that does not load as a history is moved
// aside before it would be overwritten, and the caller is told.
//
// Only "nothing at the path" means an empty history. A file that cannot be read, or anything
// that is not a regular file (a FIFO, a device), is reported and never replaced; changes then
// stay in memory, as after a failed write. A symbolic link stays a link: saves replace the file
// it leads to, in that file's folder.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/atomic_file.h"
#include "history/history_entry.h"

class ResultsHistory {
 public:
  // The file at locate_history_file(). Touches no file.
  ResultsHistory();
  explicit ResultsHistory(std::string path);

  // Replaces the entries with the file's contents. A missing, empty or malformed file gives an
  // empty list; a malformed one is remembered (file_unreadable()) and moved aside by the next
  // save. A file that cannot be read at all gives an empty list and a notice
  // (file_inaccessible()). Never throws.
  void load();

  // Writes the whole list as it is, replacing whatever the file holds (add and remove merge with
  // the file instead). False when the file could not be written; the list keeps its contents.
  bool save();

  // Appends the entry to the file's current list and saves. False when it could not be saved.
  bool add(const HistoryEntry& entry);

  // Removes the entry shown at `index` — identified by its contents, so an entry that another
  // program added or removed meanwhile does not shift the choice. An index past the end, or an
  // entry that is no longer in the file, changes nothing and writes nothing (returns false).
  bool remove(std::size_t index);

  // True when the file on disk is not the version this object last read or wrote. One stat().
  bool changed_on_disk() const;
  // Loads again when changed_on_disk(); true when it did.
  bool reload_if_changed();

  const std::vector<HistoryEntry>& entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  const HistoryEntry& operator[](std::size_t index) const { return entries_[index]; }
  const std::string& path() const { return path_; }

  // The last load found a non-empty file that is not a history.
  bool file_unreadable() const { return unreadable_; }
  // The last load or save met something at the path that it could not read (permissions, a
  // FIFO, a device): the list shown is not the file's, and nothing is saved over it.
  bool file_inaccessible() const { return inaccessible_; }
  // Messages for the user (an unreadable file moved aside, a failed save), oldest first;
  // taking them clears the list.
  std::vector<std::string> take_notices();

 private:
  void read_file();
  void adopt(bool exists, std::string text);
  bool refuse_inaccessible(const FileRead& read);
  void notice(std::string text);
  void sync_locked();
  bool write_locked(bool lock_held);
  bool move_unreadable_aside(const std::string& file);
  void remove_stale_temp();
  bool path_refused();

  std::vector<HistoryEntry> entries_;
  std::string path_;
  // The file as this object last read or wrote it: the stamp for the cheap change check, the
  // bytes for the exact one under the lock (timestamps can be as coarse as a second).
  FileStamp known_;
  bool known_exists_ = false;
  std::string known_text_;
  bool unreadable_ = false;    // the file last read is not a history
  bool inaccessible_ = false;  // the file last met could not be read at all
  std::vector<std::string> notices_;
  std::string last_notice_;  // a problem met again and again is told once
};
