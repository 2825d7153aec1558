#pragma once
// One PostgreSQL connection's statements as the store runs them: text parameters, each statement
// prepared on a connection the first time it runs there, results read as numbers and text, and
// every failure a StoreError.

#include "leaderboard_server/stores/run_store.h"

#include <libpq-fe.h>

#include <array>
#include <charconv>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace postgres {

inline std::string to_text(std::string_view v) { return std::string(v); }
inline std::string to_text(const std::string& v) { return v; }
inline std::string to_text(const char* v) { return v; }
template <class Integer>
requires std::is_integral_v<Integer> std::string to_text(Integer v) { return std::to_string(v); }

inline long long integer_of(PGresult* r, int row, int column) {
  long long v = 0;
  const char* p = PQgetvalue(r, row, column);
  std::from_chars(p, p + PQgetlength(r, row, column), v);
  return v;
}

inline std::string_view text_of(PGresult* r, int row, int column) {
  return {PQgetvalue(r, row, column), static_cast<std::size_t>(PQgetlength(r, row, column))};
}

struct Result {
  PGresult* res;
  ~Result() { PQclear(res); }
  Result(PGresult* r) : res(r) {}
  Result(Result&& other) noexcept : res(std::exchange(other.res, nullptr)) {}
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
};

inline std::string error_of(PGconn* c, const char* what) {
  return std::string("postgresql ") + what + ": " + PQerrorMessage(c);
}

// The statements each connection has prepared, by their text. Statements are prepared on a
// connection the first time it runs them, which saves the parse and plan of every later run (an
// insert runs a dozen). Connections leave through finish(), which forgets theirs.
class PreparedStatements {
 public:
  // The statement's name on `c`, and whether it is still to be prepared there.
  std::pair<std::string, bool> name_on(PGconn* c, const char* sql);
  // The statement could not be prepared: it is to be prepared again next time.
  void forget(PGconn* c, const char* sql);
  // Closes the connection and forgets its statements.
  void finish(PGconn* c);

 private:
  std::mutex mutex_;
  std::unordered_map<PGconn*, std::unordered_map<std::string, std::string>> by_connection_;
};
extern PreparedStatements prepared;

// Closes a connection; every connection leaves through here.
inline void finish(PGconn* c) { prepared.finish(c); }

// Runs `sql` with text parameters, prepared on first use; throws StoreError unless it gave `expected`.
template <class... Values>
PGresult* exec_params(PGconn* c, const char* what, ExecStatusType expected, const char* sql, const Values&... values) {
  const std::array<std::string, sizeof...(Values)> text{to_text(values)...};
  std::array<const char*, sizeof...(Values) + 1> ptrs{};
  for (std::size_t i = 0; i < text.size(); ++i) ptrs[i] = text[i].c_str();
  const auto [name, fresh] = prepared.name_on(c, sql);
  if (fresh) {
    PGresult* p = PQprepare(c, name.c_str(), sql, static_cast<int>(text.size()), nullptr);
    const bool ok = PQresultStatus(p) == PGRES_COMMAND_OK;
    PQclear(p);
    if (!ok) {
      prepared.forget(c, sql);
      throw StoreError(error_of(c, what));
    }
  }
  PGresult* r = PQexecPrepared(c, name.c_str(), static_cast<int>(text.size()), ptrs.data(), nullptr, nullptr, 0);
  if (PQresultStatus(r) != expected) {
    PQclear(r);
    throw StoreError(error_of(c, what));
  }
  return r;
}

inline void exec(PGconn* c, const char* sql) {
  Result r{PQexec(c, sql)};
  const auto status = PQresultStatus(r.res);
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) throw StoreError(error_of(c, "statement"));
}

}  // namespace postgres
