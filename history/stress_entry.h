#pragma once
// The history entry of a finished stress test, as both programs store it.
#include <cstdint>
#include <span>
#include <string>

#include "engine/stress_test.h"
#include "history/history_entry.h"

inline constexpr const char* kStressEntryType = "stress";

// Type "stress": no kind's best score counts it. Its score is the median pass score, its time
// the whole test's, its sensors the whole test's; the passes keep their scores, times and sensors.
HistoryEntry stress_history_entry(const StressSummary& summary, std::span<const StressPass> passes,
                                  std::int32_t threads, const std::string& date, const std::string& cpu_name);
