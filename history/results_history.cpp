#include "history/results_history.h"

#include "history/atomic_file.h"
#include "history/file_lock.h"
#include "history/history_format.h"
#include "history/history_location.h"

#include <utility>

namespace {

std::string lock_path_for(const std::string& path) { return path + ".lock"; }

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

void ResultsHistory::read_file() {
  // The stamp is taken before reading: a save that lands in between then shows up as a change.
  known_ = stamp_of(path_);
  std::string text;
  const bool exists = read_whole_file(path_, text);
  adopt(exists, exists ? std::move(text) : std::string());
}

void ResultsHistory::sync_locked() {
  known_ = stamp_of(path_);
  std::string text;
  const bool exists = read_whole_file(path_, text);
  if (!exists) text.clear();
  // Unchanged bytes keep the list as it is, including a change whose save failed earlier.
  if (exists == known_exists_ && text == known_text_) return;
  adopt(exists, std::move(text));
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

bool ResultsHistory::move_unreadable_aside() {
  const std::string base = path_ + ".unreadable-" + local_time_tag();
  std::string target = base;
  for (int n = 2; file_exists(target) && n < 1000; ++n) target = base + "-" + std::to_string(n);
  std::string error;
  if (!keep_under_second_name(path_, target, &error)) {
    notices_.push_back("The history file " + path_ + " could not be read and could not be kept aside (" + error +
                       "); it was left untouched and nothing was saved.");
    return false;
  }
  notices_.push_back("The history file " + path_ + " could not be read; it was kept as " + target +
                     " and a new history was started.");
  unreadable_ = false;
  return true;
}

bool ResultsHistory::write_locked(bool lock_held) {
  // Whatever the file holds now is checked, not what it held at the last read: a file that is
  // not a history is never overwritten, however it got there.
  std::string current;
  if (read_whole_file(path_, current)) {
    const HistoryTextKind kind = parse_history(current).kind;
    if ((kind == HistoryTextKind::Unreadable || kind == HistoryTextKind::NoRuns) && !move_unreadable_aside())
      return false;
  }
  make_directories(parent_directory(path_));
  std::string error;
  // One temporary name is enough: the lock keeps other writers out. Without the lock each
  // process uses its own.
  const std::string temp = lock_held ? path_ + ".tmp" : path_ + ".tmp." + process_tag();
  std::string text = serialize_history(entries_);
  if (!write_file_atomically(path_, temp, text, &error)) {
    notices_.push_back("The history could not be saved: " + error);
    return false;
  }
  known_ = stamp_of(path_);
  known_exists_ = true;
  known_text_ = std::move(text);
  unreadable_ = false;
  return true;
}

bool ResultsHistory::save() {
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  return write_locked(lock.held());
}

bool ResultsHistory::add(const HistoryEntry& entry) {
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  // Another program may have saved since we last looked: build on its version, not ours.
  sync_locked();
  entries_.push_back(entry);
  return write_locked(lock.held());
}

bool ResultsHistory::remove(std::size_t index) {
  if (index >= entries_.size()) return false;
  const HistoryEntry seen = entries_[index];
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
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
