#include "cli/option_suggestion.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t kMostEdits = 2;

// Edits (insert, delete, replace) from `a` to `b`.
std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::optional<std::string> closest_option(std::string_view word, const std::vector<std::string>& known) {
  // "--thread=2" is the option "--thread".
  word = word.substr(0, word.find('='));
  if (word.size() < 3 || word.substr(0, 2) != "--") return std::nullopt;
  std::optional<std::string> best;
  std::size_t best_edits = kMostEdits + 1;
  bool tied = false;
  for (const std::string& option : known) {
    const std::size_t edits = edit_distance(word, option);
    if (edits < best_edits) {
      best = option;
      best_edits = edits;
      tied = false;
    } else if (edits == best_edits) {
      tied = true;
    }
  }
  if (tied || best_edits == 0) return std::nullopt;
  return best;
}
