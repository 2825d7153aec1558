#include "leaderboard_client/reply_reading.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <stdexcept>

using nlohmann::json;

namespace {

// The library's own conversion gives the texts the user sees (type_error 302 for strings, null,
// arrays and objects; booleans as 0 and 1; floats truncated). Only values beyond 32 bits are
// refused here: the library would wrap them, or, for floats, convert with undefined behaviour.
std::int32_t to_int32(const json& value) {
  bool fits = true;
  if (value.is_number_float()) {
    const double truncated = std::trunc(value.get<double>());
    fits =
        truncated >= std::numeric_limits<std::int32_t>::min() && truncated <= std::numeric_limits<std::int32_t>::max();
  } else if (value.is_number_unsigned()) {
    fits = value.get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
  } else if (value.is_number_integer()) {
    const std::int64_t v = value.get<std::int64_t>();
    fits = v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
  }
  if (!fits) throw std::out_of_range("leaderboard number out of range: " + value.dump());
  return value.get<std::int32_t>();
}

}  // namespace

std::vector<LeaderboardRow> read_rows(const std::string& reply) {
  // Strict: the whole text is one value, no comments.
  json document = json::parse(reply);
  // The inserting access is wanted: on null or an object without the key it yields null (no
  // rows), on anything else it raises type_error 305. It needs the non-const value.
  json& board = document["leaderboard"];
  std::vector<LeaderboardRow> rows;
  // Iteration gives an array's elements, an object's values in key order, nothing for null and
  // any other value once.
  for (json& element : board) {
    LeaderboardRow row;
    row.cpu = element["cpu"].get<std::string>();
    row.avg_score = to_int32(element["avg_score"]);
    row.runs = to_int32(element["runs"]);
    if (element.contains("counted_runs")) row.counted_runs = to_int32(element["counted_runs"]);
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string submission_body(const std::string& cpu, RunKind kind, std::int32_t score, std::int32_t threads) {
  // json's object keeps keys sorted, which is the order the server expects to see.
  const json body{{"cpu_name", cpu}, {"type", run_kind_text(kind)}, {"score", score}, {"threads", threads}};
  return body.dump();
}

void check_submission_reply(const std::string& reply) {
  json verdict = json::parse(reply);
  if (!verdict.is_object() || !verdict.contains("ok")) throw std::runtime_error("Server rejected: " + reply);
  if (!verdict["ok"].get<bool>()) throw std::runtime_error("Server rejected: " + reply);
}
