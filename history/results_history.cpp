#include "history/results_history.h"

#include "engine/local_time.h"
#include "history/atomic_file.h"
#include "history/file_lock.h"
#include "history/history_format.h"
#include "history/history_location.h"

#include <utility>

namespace {

std::string lock_path_for(const std::string& path) { return path + ".lock"; }

// The one temporary name used under the lock. A save killed half-way leaves it behind.
std::string locked_temp_for(const std::string& target) { return target + ".tmp"; }

bool cannot_be_read(const FileRead& read) {
  return read.status == ReadStatus::Failed || read.status == ReadStatus::NotRegular;
}

}  // namespace

ResultsHistory::ResultsHistory() : path_(locate_history_file()) {}

ResultsHistory::ResultsHistory(std::string path) : path_(std::move(path)) {}

void ResultsHistory::adopt(bool exists, std::string text) {
  entries_.clear();
  unreadable_ = false;
  ParsedHistory parsed = parse_history(text);
  switch (parsed.kind) {
    case HistoryTextKind::Runs: entries_ = std::move(parsed.entries); break;
    case HistoryTextKind::Empty: break;
    case HistoryTextKind::NoRuns:
    case HistoryTextKind::Unreadable: unreadable_ = true; break;
  }
  known_exists_ = exists;
  known_text_ = std::move(text);
}

void ResultsHistory::notice(std::string text) {
  if (text == last_notice_) return;
  last_notice_ = text;
  notices_.push_back(std::move(text));
}

bool ResultsHistory::refuse_inaccessible(const FileRead& read) {
  inaccessible_ = cannot_be_read(read);
  if (read.status == ReadStatus::Failed)
    notice("The history file " + path_ + " could not be read (" + read.error +
           "); it is left as it is and nothing is saved to it.");
  if (read.status == ReadStatus::NotRegular)
    notice("The history file " + path_ + " is " + read.error +
           ", not a regular file; it is left as it is and nothing is saved to it.");
  return inaccessible_;
}

void ResultsHistory::read_file() {
  // The stamp is taken before reading: a save that lands in between then shows up as a change.
  known_ = stamp_of(path_);
  FileRead read = read_whole_file(path_);
  if (refuse_inaccessible(read)) {
    entries_.clear();
    unreadable_ = false;
    // Matches no readable state, so that the file's contents are taken once it can be read.
    known_exists_ = true;
    known_text_.clear();
    return;
  }
  adopt(read.status == ReadStatus::Read, std::move(read.contents));
}

void ResultsHistory::sync_locked() {
  known_ = stamp_of(path_);
  FileRead read = read_whole_file(path_);
  // The list stays as it is; write_locked() reports the file and leaves it alone.
  if (cannot_be_read(read)) return;
  const bool exists = read.status == ReadStatus::Read;
  // Unchanged bytes keep the list as it is, including a change whose save failed earlier.
  if (exists == known_exists_ && read.contents == known_text_) return;
  adopt(exists, std::move(read.contents));
}

void ResultsHistory::remove_stale_temp() {
  // Under the lock no other save is under way, so a temporary file is what a killed save left.
  const std::string target = write_target(path_).path;
  if (!target.empty()) remove_file(locked_temp_for(target));
}

void ResultsHistory::load() { read_file(); }

bool ResultsHistory::changed_on_disk() const { return stamp_of(path_) != known_; }

bool ResultsHistory::reload_if_changed() {
  if (!changed_on_disk()) return false;
  read_file();
  return true;
}

std::vector<std::string> ResultsHistory::take_notices() {
  std::vector<std::string> out;
  out.swap(notices_);
  return out;
}

bool ResultsHistory::move_unreadable_aside(const std::string& file) {
  const std::string base = file + ".unreadable-" + format_local_time(std::chrono::system_clock::now(), "%Y%m%d-%H%M%S");
  std::string target = base;
  for (int n = 2; file_exists(target) && n < 1000; ++n) target = base + "-" + std::to_string(n);
  if (const std::string error = keep_under_second_name(file, target); !error.empty()) {
    notice("The history file " + path_ + " could not be read and could not be kept aside (" + error +
           "); it was left untouched and nothing was saved.");
    return false;
  }
  notices_.push_back("The history file " + path_ + " could not be read; it was kept as " + target +
                     " and a new history was started.");
  unreadable_ = false;
  return true;
}

bool ResultsHistory::write_locked(bool lock_held) {
  const WriteTarget resolved = write_target(path_);
  if (resolved.path.empty()) {
    notice("The history could not be saved: " + resolved.error);
    return false;
  }
  const std::string& target = resolved.path;
  // Whatever the file holds now is checked, not what it held at the last read: a file that is
  // not a history is never overwritten, however it got there.
  const FileRead current = read_whole_file(target);
  if (refuse_inaccessible(current)) return false;
  if (current.status == ReadStatus::Read) {
    const HistoryTextKind kind = parse_history(current.contents).kind;
    if ((kind == HistoryTextKind::Unreadable || kind == HistoryTextKind::NoRuns) && !move_unreadable_aside(target))
      return false;
  }
  make_directories(parent_directory(target));
  // One temporary name is enough: the lock keeps other writers out. Without the lock each
  // process uses its own. Either lies beside the file it replaces, as a rename needs.
  const std::string temp = lock_held ? locked_temp_for(target) : target + ".tmp." + process_tag();
  std::string text = serialize_history(entries_);
  if (const std::string error = write_file_atomically(target, temp, text); !error.empty()) {
    notice("The history could not be saved: " + error);
    return false;
  }
  known_ = stamp_of(path_);
  known_exists_ = true;
  known_text_ = std::move(text);
  unreadable_ = false;
  last_notice_.clear();
  return true;
}

bool ResultsHistory::path_refused() {
  const std::string target = write_target(path_).path;
  return !target.empty() && refuse_inaccessible(read_whole_file(target));
}

bool ResultsHistory::save() {
  // Checked before the lock file is made beside it: no "null.lock" in /dev.
  if (path_refused()) return false;
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  if (lock.held()) remove_stale_temp();
  return write_locked(lock.held());
}

bool ResultsHistory::add(const HistoryEntry& entry) {
  if (path_refused()) {
    entries_.push_back(entry);  // kept in memory, as after a failed write
    return false;
  }
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  if (lock.held()) remove_stale_temp();
  // Another program may have saved since we last looked: build on its version, not ours.
  sync_locked();
  entries_.push_back(entry);
  return write_locked(lock.held());
}

bool ResultsHistory::remove(std::size_t index) {
  if (index >= entries_.size()) return false;
  const HistoryEntry seen = entries_[index];
  if (path_refused()) return false;
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  if (lock.held()) remove_stale_temp();
  sync_locked();
  // The entry the user saw is the one with the same contents, at the same place when another
  // program changed nothing before it, else the nearest copy.
  std::size_t target = entries_.size();
  const auto distance = [&](std::size_t j) { return j > index ? j - index : index - j; };
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i] == seen && (target == entries_.size() || distance(i) < distance(target))) target = i;
  if (target == entries_.size()) return false;  // already gone
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(target));
  return write_locked(lock.held());
}
