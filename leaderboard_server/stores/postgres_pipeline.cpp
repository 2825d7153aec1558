#include "leaderboard_server/stores/postgres_pipeline.h"

namespace postgres {

Pipeline::Pipeline(PGconn* c) : c_(c) {
  if (PQenterPipelineMode(c) != 1) throw StoreError(error_of(c, "pipeline"));
}

Pipeline::~Pipeline() { PQexitPipelineMode(c_); }

void Pipeline::queue(const char* what, ExecStatusType expected, const char* sql, int count, const char* const* values) {
  const auto [name, fresh] = prepared.name_on(c_, sql);
  if (fresh) {
    queued_.push_back({what, PGRES_COMMAND_OK, sql, true});
    if (PQsendPrepare(c_, name.c_str(), sql, count, nullptr) != 1) {
      prepared.forget(c_, sql);
      throw StoreError(error_of(c_, what));
    }
  }
  queued_.push_back({what, expected, sql, false});
  if (PQsendQueryPrepared(c_, name.c_str(), count, values, nullptr, nullptr, 0) != 1)
    throw StoreError(error_of(c_, what));
}

std::vector<Result> Pipeline::run() {
  const std::vector<Queued> queued = std::move(queued_);
  queued_.clear();
  if (PQpipelineSync(c_) != 1) {
    // None of them reached the database whole: a preparation among them is still to be made.
    for (const Queued& q : queued)
      if (q.prepare) prepared.forget(c_, q.sql);
    throw NothingSent{};
  }
  std::vector<Result> results;
  std::string failure;
  for (const Queued& q : queued) {
    Result r{PQgetResult(c_)};
    if (r.res == nullptr) throw StoreError(error_of(c_, q.what));
    // Each statement's answer ends with a null result.
    while (PGresult* rest = PQgetResult(c_)) PQclear(rest);
    const ExecStatusType status = PQresultStatus(r.res);
    if (status != q.expected) {
      // A preparation that failed, or was skipped after a failure, is to be made again next time.
      if (q.prepare) prepared.forget(c_, q.sql);
      if (failure.empty() && status != PGRES_PIPELINE_ABORTED)
        failure = std::string("postgresql ") + q.what + ": " + PQresultErrorMessage(r.res);
    }
    if (!q.prepare) results.push_back(std::move(r));
  }
  Result sync{PQgetResult(c_)};
  if (sync.res == nullptr || PQresultStatus(sync.res) != PGRES_PIPELINE_SYNC)
    throw StoreError(error_of(c_, "pipeline"));
  if (!failure.empty()) throw StoreError(failure);
  return results;
}

}  // namespace postgres
