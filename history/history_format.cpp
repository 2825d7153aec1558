#include "history/history_format.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

struct WrongType {};

// Numbers outside int32 saturate: a cast of an out-of-range double is undefined behaviour,
// and a file edited by hand must not crash the program.
std::int32_t saturate_to_int32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);  // truncates toward zero
}

std::int32_t read_int(const json& value) {
  switch (value.type()) {
    case json::value_t::number_integer: {
      const auto v = value.get<std::int64_t>();
      if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
      if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
      return static_cast<std::int32_t>(v);
    }
    case json::value_t::number_unsigned: {
      const auto v = value.get<std::uint64_t>();
      return v > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
                 ? std::numeric_limits<std::int32_t>::max()
                 : static_cast<std::int32_t>(v);
    }
    case json::value_t::number_float: return saturate_to_int32(value.get<double>());
    case json::value_t::boolean: return value.get<bool>() ? 1 : 0;
    default: throw WrongType{};
  }
}

double read_double(const json& value) {
  if (!value.is_number()) throw WrongType{};  // booleans are not numbers here
  return value.get<double>();
}

std::string read_text(const json& value) {
  if (!value.is_string()) throw WrongType{};
  return value.get<std::string>();
}

std::optional<double> read_finite(const json& value) {
  if (!value.is_number() || !std::isfinite(value.get<double>())) return std::nullopt;
  return value.get<double>();
}

// The readable part of `sensors`; anything else in it stays in the raw copy.
std::optional<SensorSummary> read_sensors(const json& value) {
  if (!value.is_object()) return std::nullopt;
  SensorSummary s;
  auto take = [&](const char* key, std::optional<double>& field) {
    if (auto it = value.find(key); it != value.end()) field = read_finite(*it);
  };
  for (const SensorSummaryKey& key : kSensorSummaryKeys) take(key.name, s.*key.reading);
  return s;
}

std::vector<HistoryWarning> read_warnings(const json& value) {
  std::vector<HistoryWarning> out;
  if (!value.is_array()) return out;
  for (const json& w : value) {
    if (!w.is_object()) continue;
    const auto code = w.find("code");
    const auto text = w.find("text");
    if (code == w.end() || text == w.end() || !code->is_string() || !text->is_string()) continue;
    out.push_back({code->get<std::string>(), text->get<std::string>()});
  }
  return out;
}

json sensors_object(const SensorSummary& s) {
  json j = json::object();
  auto put = [&](const char* key, const std::optional<double>& value) {
    if (value && std::isfinite(*value)) j[key] = *value;
  };
  for (const SensorSummaryKey& key : kSensorSummaryKeys) put(key.name, s.*key.reading);
  return j;
}

// The readable part of a stress test's keys; nothing when `passes` is not a list. Unreadable
// passes are left out here and kept whole in the raw copy.
std::optional<HistoryStress> read_stress(const json& run) {
  const auto passes = run.find("passes");
  if (passes == run.end() || !passes->is_array()) return std::nullopt;
  HistoryStress stress;
  for (const json& p : *passes) {
    const auto score = p.is_object() ? p.find("score") : p.end();
    const auto time = p.is_object() ? p.find("time_seconds") : p.end();
    if (score == p.end() || time == p.end() || !score->is_number() || !time->is_number()) continue;
    StressPass pass{.score = read_int(*score), .time_seconds = time->get<double>(), .image_sha256 = {}, .sensors = {}};
    if (const auto sensors = p.find("sensors"); sensors != p.end())
      pass.sensors = read_sensors(*sensors).value_or(SensorSummary{});
    stress.passes.push_back(pass);
  }
  if (const auto it = run.find("stability_percent"); it != run.end())
    stress.stability_percent = read_finite(*it).value_or(0.0);
  if (const auto it = run.find("verdict"); it != run.end() && it->is_string()) stress.verdict = it->get<std::string>();
  return stress;
}

void write_stress(const HistoryStress& stress, json& run) {
  json passes = json::array();
  for (const StressPass& pass : stress.passes) {
    passes.push_back({{"score", pass.score},
                      {"time_seconds", std::isfinite(pass.time_seconds) ? pass.time_seconds : 0.0},
                      {"sensors", sensors_object(pass.sensors)}});
  }
  run["passes"] = std::move(passes);
  run["stability_percent"] = std::isfinite(stress.stability_percent) ? stress.stability_percent : 0.0;
  run["verdict"] = stress.verdict;
}

constexpr const char* kEntryKeys[] = {"date",    "cpu",          "type",         "score",  "time_seconds",
                                      "threads", "resolution_w", "resolution_h", "samples"};

bool is_entry_key(const std::string& key) {
  for (const char* k : kEntryKeys) {
    if (key == k) return true;
  }
  return false;
}

HistoryEntry read_entry(const json& run) {
  if (!run.is_object()) throw WrongType{};
  HistoryEntry e;
  auto take = [&](const char* key, auto& field, auto reader) {
    if (auto it = run.find(key); it != run.end()) field = reader(*it);
  };
  take("date", e.date, read_text);
  take("cpu", e.cpu, read_text);
  take("type", e.type, read_text);
  take("score", e.score, read_int);
  take("time_seconds", e.time_seconds, read_double);
  take("threads", e.threads, read_int);
  take("resolution_w", e.resolution_w, read_int);
  take("resolution_h", e.resolution_h, read_int);
  take("samples", e.samples, read_int);
  if (auto it = run.find("sensors"); it != run.end()) e.sensors = read_sensors(*it);
  if (auto it = run.find("warnings"); it != run.end()) e.warnings = read_warnings(*it);
  e.stress = read_stress(run);
  if (auto it = run.find("core_type"); it != run.end() && it->is_string()) e.core_type = it->get<std::string>();
  for (const auto& [key, value] : run.items()) {
    if (!is_entry_key(key)) e.unknown_json[key] = value.dump(-1, ' ', false, json::error_handler_t::replace);
  }
  return e;
}

}  // namespace

ParsedHistory parse_history(std::string_view text) {
  ParsedHistory out;
  if (text.empty()) return out;
  json doc;
  try {
    // The stream reader stops after the first value, so trailing text is never examined; the
    // whole-text parser would reject it.
    std::istringstream in{std::string(text)};
    in >> doc;
  } catch (const json::exception&) {
    out.kind = HistoryTextKind::Unreadable;
    return out;
  }
  const auto runs = doc.is_object() ? doc.find("runs") : doc.end();
  if (!doc.is_object() || runs == doc.end() || !runs->is_array()) {
    out.kind = HistoryTextKind::NoRuns;
    return out;
  }
  try {
    for (const auto& run : *runs) out.entries.push_back(read_entry(run));
  } catch (const WrongType&) {
    out.entries.clear();  // all or nothing
    out.kind = HistoryTextKind::Unreadable;
    return out;
  }
  out.kind = HistoryTextKind::Runs;
  return out;
}

std::string serialize_history(const std::vector<HistoryEntry>& entries) {
  json runs = json::array();
  for (const auto& e : entries) {
    json run = json::object();
    // Keys this version does not own first, so that its own keys win over a stray copy.
    for (const auto& [key, text] : e.unknown_json) {
      if (is_entry_key(key)) continue;
      run[key] = json::parse(text, nullptr, false);
      if (run[key].is_discarded()) run.erase(key);
    }
    if (e.sensors && !run.contains("sensors")) run["sensors"] = sensors_object(*e.sensors);
    if (!e.warnings.empty() && !run.contains("warnings")) {
      json warnings = json::array();
      for (const HistoryWarning& w : e.warnings) warnings.push_back({{"code", w.code}, {"text", w.text}});
      run["warnings"] = std::move(warnings);
    }
    if (e.stress && !run.contains("passes")) write_stress(*e.stress, run);
    if (e.core_type && !run.contains("core_type")) run["core_type"] = *e.core_type;
    run["cpu"] = e.cpu;
    run["date"] = e.date;
    run["resolution_h"] = e.resolution_h;
    run["resolution_w"] = e.resolution_w;
    run["samples"] = e.samples;
    run["score"] = e.score;
    run["threads"] = e.threads;
    // JSON has no NaN or infinity: the library would write null, which no later load accepts,
    // and one bad time would make the whole file unreadable.
    run["time_seconds"] = std::isfinite(e.time_seconds) ? e.time_seconds : 0.0;
    run["type"] = e.type;
    runs.push_back(std::move(run));
  }
  json doc = json::object();
  doc["runs"] = std::move(runs);
  // Invalid UTF-8 (a processor name from odd firmware) would make dump() throw and every save
  // fail; it is replaced by U+FFFD instead. Valid non-ASCII text stays as it is.
  return doc.dump(2, ' ', false, json::error_handler_t::replace);
}
