#pragma once
// The summaries of runs stored before they were kept, computed in one pass over the runs in the
// order (kind, processor, sender, id): each sender's earliest runs are then consecutive, so which
// runs count needs no table of senders in memory, and memory holds one processor's summary.

#include "leaderboard_server/rules/processor_summary.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct BackfillSinks {
  // One sender's run count for a processor (senders with a hash only).
  std::function<void(std::string_view kind, std::string_view cpu, std::string_view client, std::int64_t runs)> sender;
  // One processor's finished summary.
  std::function<void(std::string_view kind, const ProcessorSummary& summary)> processor;
};

class SummaryBackfill {
 public:
  SummaryBackfill(std::size_t per_client, BackfillSinks sinks) : per_client_(per_client), sinks_(std::move(sinks)) {}
  // The next run in (kind, cpu, client, id) order; `day` is its UTC date.
  void add(std::string_view kind, std::string_view cpu, std::string_view client, int score, int threads,
           std::string_view day);
  // Hands on what is still open; call once after the last run.
  void finish();
  std::int64_t runs_seen() const { return runs_; }

 private:
  void end_sender();
  void end_processor();

  std::size_t per_client_;
  BackfillSinks sinks_;
  std::string kind_, client_;
  ProcessorSummary summary_;
  std::int64_t sender_runs_ = 0, runs_ = 0;
  bool open_ = false;
};
