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

void ResultsHistory::read_file() {
  entries_.clear();
  unreadable_ = false;
  // The stamp is taken before reading: a save that lands in between then shows up as a change.
  known_ = stamp_of(path_);
  std::string text;
  if (!read_whole_file(path_, text)) return;
  ParsedHistory parsed = parse_history(text);
  switch (parsed.kind) {
    case HistoryTextKind::Runs:
      entries_ = std::move(parsed.entries);
      break;
    case HistoryTextKind::Empty:
      break;
    case HistoryTextKind::NoRuns:
    case HistoryTextKind::Unreadable:
      unreadable_ = true;
      break;
  }
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
  if (unreadable_ && stamp_of(path_) == known_ && !move_unreadable_aside()) return false;
  make_directories(parent_directory(path_));
  std::string error;
  // One temporary name is enough: the lock keeps other writers out. Without the lock each
  // process uses its own.
  const std::string temp = lock_held ? path_ + ".tmp" : path_ + ".tmp." + process_tag();
  if (!write_file_atomically(path_, temp, serialize_history(entries_), &error)) {
    notices_.push_back("The history could not be saved: " + error);
    return false;
  }
  known_ = stamp_of(path_);
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
  if (changed_on_disk()) read_file();
  entries_.push_back(entry);
  return write_locked(lock.held());
}

bool ResultsHistory::remove(std::size_t index) {
  if (index >= entries_.size()) return false;
  const HistoryEntry seen = entries_[index];
  make_directories(parent_directory(path_));
  FileLock lock(lock_path_for(path_));
  std::size_t target = index;
  if (changed_on_disk()) {
    read_file();
    // The same contents at the same place is the entry the user saw; else its nearest copy.
    std::size_t best = entries_.size();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (!(entries_[i] == seen)) continue;
      const auto distance = [&](std::size_t j) { return j > index ? j - index : index - j; };
      if (best == entries_.size() || distance(i) < distance(best)) best = i;
    }
    if (best == entries_.size()) return false;  // already gone
    target = best;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(target));
  return write_locked(lock.held());
}
