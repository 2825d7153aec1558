#include "leaderboard_server/stores/summary_backfill.h"

void SummaryBackfill::add(std::string_view kind, std::string_view cpu, std::string_view client, int score, int threads,
                          std::string_view day) {
  if (open_ && (kind != kind_ || cpu != summary_.cpu)) end_processor();
  if (!open_) {
    open_ = true;
    kind_ = kind;
    summary_ = ProcessorSummary{};
    summary_.cpu = cpu;
    client_.clear();
    sender_runs_ = 0;
  }
  if (client != client_) {
    end_sender();
    client_ = client;
  }
  ++sender_runs_;
  ++runs_;
  const bool counts = per_client_ == 0 || client.empty() || static_cast<std::size_t>(sender_runs_) <= per_client_;
  summary_.add(score, threads, day, counts);
}

void SummaryBackfill::end_sender() {
  if (!client_.empty() && sender_runs_ > 0) sinks_.sender(kind_, summary_.cpu, client_, sender_runs_);
  sender_runs_ = 0;
}

void SummaryBackfill::end_processor() {
  end_sender();
  client_.clear();
  sinks_.processor(kind_, summary_);
  open_ = false;
}

void SummaryBackfill::finish() {
  if (open_) end_processor();
}
