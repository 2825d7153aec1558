#pragma once
// Statements sent together and answered together: one round trip for all of them instead of one
// each. A submission runs a dozen statements, and under load every round trip waits for the
// database's process and ours to be scheduled again.

#include "leaderboard_server/stores/postgres_connection.h"

#include <array>
#include <string>
#include <vector>

namespace postgres {

class Pipeline {
 public:
  explicit Pipeline(PGconn* c);
  // Leaves pipeline mode; a connection that could not leave it is left in it, and callers drop a
  // connection in pipeline mode (see broken()).
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Queues `sql` with text parameters, prepared on the connection the first time it runs there.
  template <class... Values>
  void add(const char* what, ExecStatusType expected, const char* sql, const Values&... values) {
    const std::array<std::string, sizeof...(Values)> text{to_text(values)...};
    std::array<const char*, sizeof...(Values) + 1> pointers{};
    for (std::size_t i = 0; i < text.size(); ++i) pointers[i] = text[i].c_str();
    queue(what, expected, sql, static_cast<int>(text.size()), pointers.data());
  }

  // Sends what was queued and reads every answer: the statements' results in their order. When
  // one failed, the database skipped the rest, and this throws StoreError naming the first.
  // Throws NothingSent when the statements could not even be handed to the connection.
  std::vector<Result> run();

  struct NothingSent : StoreError {
    NothingSent() : StoreError("postgresql: the connection broke before the statements left") {}
  };

 private:
  void queue(const char* what, ExecStatusType expected, const char* sql, int count, const char* const* values);

  struct Queued {
    const char* what;
    ExecStatusType expected;
    const char* sql;
    bool prepare;  // the statement's preparation, whose result is not handed back
  };
  PGconn* c_;
  std::vector<Queued> queued_;
};

// A connection that lost the database, or was left in pipeline mode by a failure: not to be used again.
inline bool broken(PGconn* c) { return PQstatus(c) != CONNECTION_OK || PQpipelineStatus(c) != PQ_PIPELINE_OFF; }

}  // namespace postgres
