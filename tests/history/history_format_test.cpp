// The text of history.json: what loads, what fails as a whole, and the exact written form.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "history/history_format.h"

namespace {

ParsedHistory load(const std::string& text) { return parse_history(text); }

TEST(HistoryFormat, WritesTheDocumentByteForByteInSortedKeyOrder) {
  HistoryEntry e;
  e.cpu = "Example 8-Core Processor";
  e.date = "2026-12-06T16:55:39";
  e.score = 8123;
  e.threads = 16;
  e.time_seconds = 14.237091;
  e.type = "multi";
  EXPECT_EQ(serialize_history({e}),
            "{\n  \"runs\": [\n    {\n      \"cpu\": \"Example 8-Core Processor\",\n"
            "      \"date\": \"2026-12-06T16:55:39\",\n      \"resolution_h\": 1080,\n"
            "      \"resolution_w\": 1920,\n      \"samples\": 128,\n      \"score\": 8123,\n"
            "      \"threads\": 16,\n      \"time_seconds\": 14.237091,\n      \"type\": \"multi\"\n"
            "    }\n  ]\n}");
  EXPECT_EQ(serialize_history({}), "{\n  \"runs\": []\n}");
}

TEST(HistoryFormat, WholeSecondsKeepADecimalPointAndTimesRoundTripExactly) {
  HistoryEntry e;
  e.time_seconds = 12.0;
  EXPECT_NE(serialize_history({e}).find("\"time_seconds\": 12.0,\n"), std::string::npos);
  for (double t : {0.1, 1.0 / 3.0, 123456.789012345, 5e-324, 1e300}) {
    e.time_seconds = t;
    const auto back = load(serialize_history({e}));
    ASSERT_EQ(back.kind, HistoryTextKind::Runs);
    EXPECT_EQ(back.entries.at(0).time_seconds, t);
  }
}

TEST(HistoryFormat, TimesThatJsonCannotHoldAreWrittenAsZeroSoTheFileStaysLoadable) {
  HistoryEntry e;
  for (double t : {std::numeric_limits<double>::infinity(), std::nan("")}) {
    e.time_seconds = t;
    const auto back = load(serialize_history({e, e}));
    ASSERT_EQ(back.kind, HistoryTextKind::Runs);
    EXPECT_EQ(back.entries.at(1).time_seconds, 0.0);
  }
}

TEST(HistoryFormat, TextIsWrittenAsUtf8AndInvalidBytesDoNotStopTheSave) {
  HistoryEntry e;
  e.cpu = "Prozessor \xc3\xa9";
  EXPECT_NE(serialize_history({e}).find("Prozessor \xc3\xa9"), std::string::npos);
  e.cpu = "bad \xff byte";
  const auto back = load(serialize_history({e}));
  ASSERT_EQ(back.kind, HistoryTextKind::Runs);
  EXPECT_EQ(back.entries.at(0).cpu, "bad \xef\xbf\xbd byte");
}

TEST(HistoryFormat, MissingKeysTakeTheDefaultsAndUnknownKeysAreKeptAsText) {
  const auto h = load(R"({"extra": 1, "runs": [{"score": 10, "type": "single", "note": [1]}]})");
  ASSERT_EQ(h.kind, HistoryTextKind::Runs);
  ASSERT_EQ(h.entries.size(), 1u);
  HistoryEntry expected;
  expected.score = 10;
  expected.type = "single";
  expected.unknown_json["note"] = "[1]";
  EXPECT_EQ(h.entries[0], expected);
  EXPECT_EQ(h.entries[0].resolution_w, 1920);
  EXPECT_EQ(h.entries[0].resolution_h, 1080);
  EXPECT_EQ(h.entries[0].samples, 128);
}

TEST(HistoryFormat, ARewriteKeepsEveryKeyOfARunItDoesNotKnowAndWritesSensorsOfNewRuns) {
  // A later version's run: a key of its own, a sensor key of its own, and a warning code.
  const std::string later = R"({"runs": [{"score": 5, "stress": {"minutes": 10},
    "sensors": {"clock_mhz_avg": 4512.5, "core_types": ["P", "E"], "temp_c_max": "hot"},
    "warnings": [{"code": "core_parking", "text": "Parked."}, 7]}]})";
  const auto h = load(later);
  ASSERT_EQ(h.kind, HistoryTextKind::Runs);
  const HistoryEntry& old_run = h.entries.at(0);
  ASSERT_TRUE(old_run.sensors);
  EXPECT_EQ(old_run.sensors->clock_mhz_avg, 4512.5);
  EXPECT_FALSE(old_run.sensors->temp_c_max) << "a value of the wrong type is not read, but kept";
  EXPECT_EQ(old_run.warnings, (std::vector<HistoryWarning>{{"core_parking", "Parked."}}));

  HistoryEntry new_run;
  new_run.sensors = SensorSummary{};
  new_run.sensors->clock_mhz_avg = 4000.0;
  new_run.sensors->energy_j = 16300.5;
  new_run.warnings = {{"battery", "Unplugged."}};
  const std::string text = serialize_history({old_run, new_run});
  const auto back = load(text);
  ASSERT_EQ(back.kind, HistoryTextKind::Runs);
  EXPECT_EQ(back.entries.at(0), old_run);
  EXPECT_EQ(back.entries.at(1).sensors, new_run.sensors);
  EXPECT_EQ(back.entries.at(1).warnings, new_run.warnings);
  EXPECT_EQ(serialize_history(back.entries), text) << "a second rewrite changes nothing";
  EXPECT_NE(text.find(R"("core_types": [)"), std::string::npos);
  EXPECT_NE(text.find(R"("temp_c_max": "hot")"), std::string::npos);
  EXPECT_NE(text.find(R"("minutes": 10)"), std::string::npos);
  EXPECT_EQ(text.find("clock_mhz_min"), std::string::npos) << "keys of sensors not measured stay absent";
}

TEST(HistoryFormat, TheCoreTypeOfAOneCoreRunIsWrittenAndKeptAsReadOnRewrite) {
  HistoryEntry p_core;
  p_core.type = "smt";
  p_core.core_type = "P";
  const auto back = load(serialize_history({p_core, HistoryEntry{}}));
  ASSERT_EQ(back.kind, HistoryTextKind::Runs);
  EXPECT_EQ(back.entries.at(0).core_type, "P");
  EXPECT_EQ(back.entries.at(1).core_type, std::nullopt);
  EXPECT_EQ(serialize_history(back.entries), serialize_history({p_core, HistoryEntry{}})) << "kept on rewrite";
  // A later version's value of another shape is not read, and written back as it was.
  const auto odd = load(R"({"runs": [{"type": "single", "core_type": {"name": "P", "class": 1}}]})");
  EXPECT_EQ(odd.entries.at(0).core_type, std::nullopt);
  EXPECT_NE(serialize_history(odd.entries).find(R"("class": 1)"), std::string::npos);
}

TEST(HistoryFormat, IntegerFieldsTakeFloatsByTruncationAndBooleansAsZeroOrOne) {
  const auto h = load(R"({"runs": [{"score": 1234.9, "threads": true, "samples": false,
                                    "resolution_w": -7.8, "time_seconds": 3}]})");
  ASSERT_EQ(h.kind, HistoryTextKind::Runs);
  EXPECT_EQ(h.entries[0].score, 1234);
  EXPECT_EQ(h.entries[0].threads, 1);
  EXPECT_EQ(h.entries[0].samples, 0);
  EXPECT_EQ(h.entries[0].resolution_w, -7);
  EXPECT_EQ(h.entries[0].time_seconds, 3.0);
}

TEST(HistoryFormat, NumbersBeyondInt32SaturateInsteadOfWrapping) {
  const auto h = load(R"({"runs": [{"score": 1e20, "threads": -1e20, "samples": 5000000000,
                                    "resolution_w": -5000000000, "resolution_h": 18446744073709551615}]})");
  ASSERT_EQ(h.kind, HistoryTextKind::Runs);
  EXPECT_EQ(h.entries[0].score, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(h.entries[0].threads, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(h.entries[0].samples, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(h.entries[0].resolution_w, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(h.entries[0].resolution_h, std::numeric_limits<std::int32_t>::max());
}

TEST(HistoryFormat, OneWrongValueAnywhereFailsTheWholeLoad) {
  const std::string good = R"({"score": 5, "type": "multi"})";
  for (const std::string& bad : std::initializer_list<std::string>{
           R"({"date": 20261206})", R"({"cpu": null})", R"({"score": "5"})", R"({"threads": null})",
           R"({"samples": [1]})", R"({"score": {}})", R"({"time_seconds": true})", R"({"time_seconds": "1.0"})", "null",
           "7", R"("run")", "[]"}) {
    const auto h = load(R"({"runs": [)" + good + "," + bad + "]}");
    EXPECT_EQ(h.kind, HistoryTextKind::Unreadable) << bad;
    EXPECT_TRUE(h.entries.empty()) << bad;
  }
}

TEST(HistoryFormat, JsonThatIsNotAHistoryLoadsEmptyButIsToldApart) {
  for (const std::string& text : std::initializer_list<std::string>{
           R"([{"score": 1}])", R"({"run": []})", R"({"runs": {"score": 1}})", "42", R"({"runs": null})"}) {
    const auto h = load(text);
    EXPECT_EQ(h.kind, HistoryTextKind::NoRuns) << text;
    EXPECT_TRUE(h.entries.empty());
  }
  EXPECT_EQ(load("").kind, HistoryTextKind::Empty);
  for (const std::string& text :
       std::initializer_list<std::string>{"{", "   ", "{\"runs\": [], // note\n}", "{'runs': []}", "\xef\xbb\xbf"})
    EXPECT_EQ(load(text).kind, HistoryTextKind::Unreadable) << text;
}

TEST(HistoryFormat, TrailingTextAfterTheFirstValueAndALeadingByteOrderMarkAreAccepted) {
  const std::string doc = R"({"runs": [{"score": 3}]})";
  for (const std::string& text : std::initializer_list<std::string>{doc + R"({"runs": []})", doc + " garbage ]]",
                                                                    doc + "\n", "\xef\xbb\xbf" + doc}) {
    const auto h = load(text);
    ASSERT_EQ(h.kind, HistoryTextKind::Runs) << text;
    ASSERT_EQ(h.entries.size(), 1u);
    EXPECT_EQ(h.entries[0].score, 3);
  }
}

}  // namespace
