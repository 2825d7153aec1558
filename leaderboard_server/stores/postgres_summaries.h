#pragma once
// The statements that keep one processor's summary in PostgreSQL within an insert's transaction,
// read it back, and write the summaries' computation in bulk (COPY).

#include "leaderboard_server/rules/processor_summary.h"
#include "leaderboard_server/stores/postgres_connection.h"
#include "leaderboard_server/stores/postgres_pipeline.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace postgres {

// A processor's histograms and thread counts (and days when asked), or nothing without runs.
std::optional<ProcessorSummary> read_summary(PGconn* c, std::string_view kind, std::string_view cpu, bool with_days);

// Queues the writing of a processor's board row.
void queue_row(Pipeline& p, std::string_view kind, const ProcessorRow& row);

// Queues, within an insert's transaction, the statements that add one stored run to its
// processor's summary, then the two reads of the summary that row_after_update takes. An empty
// `day` is the transaction's (UTC). The caller holds the processor's lock (see add_run).
void queue_summary_update(Pipeline& p, std::size_t per_client, std::string_view kind, std::string_view cpu,
                          std::string_view client, int score, int threads, std::string_view day);

// The processor's new row, from the results of a pipeline that ended with queue_summary_update.
ProcessorRow row_after_update(const std::vector<Result>& results, std::string_view cpu);

// Adds one stored run to its processor's summary and writes its row, in two round trips.
ProcessorRow summarise(PGconn* c, std::size_t per_client, std::string_view kind, std::string_view cpu,
                       std::string_view client, int score, int threads, std::string_view day);

// A value in COPY's text form: the four characters it treats specially escaped.
void append_copy_field(std::string& line, std::string_view v);

// Rows of one table gathered for COPY, sent when enough have gathered.
struct CopyBuffer {
  explicit CopyBuffer(const char* copy_command) : command(copy_command) {}
  const char* command;  // COPY table (columns) FROM STDIN
  std::string data;
  std::size_t rows = 0;

  template <class... Values>
  void add(const Values&... values) {
    std::size_t field = 0;
    const auto one = [&](const std::string& text) {
      if (field++ > 0) data.push_back('\t');
      append_copy_field(data, text);
    };
    (one(to_text(values)), ...);
    data.push_back('\n');
    ++rows;
  }
  void flush(PGconn* c) {
    if (rows == 0) return;
    Result start{PQexec(c, command)};
    if (PQresultStatus(start.res) != PGRES_COPY_IN) throw StoreError(error_of(c, "copy"));
    if (PQputCopyData(c, data.data(), static_cast<int>(data.size())) != 1 || PQputCopyEnd(c, nullptr) != 1)
      throw StoreError(error_of(c, "copy"));
    Result end{PQgetResult(c)};
    if (PQresultStatus(end.res) != PGRES_COMMAND_OK) throw StoreError(error_of(c, "copy"));
    while (PGresult* more = PQgetResult(c)) PQclear(more);
    data.clear();
    rows = 0;
  }
};

}  // namespace postgres
