#pragma once
// SQLite as the store uses it: an open file, statements prepared once with their values bound in
// order, and every failure a StoreError.

#include "leaderboard_server/stores/run_store.h"

#include <sqlite3.h>

#include <string>
#include <string_view>
#include <type_traits>

namespace sqlite {

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK)
      throw StoreError(std::string("sqlite: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  sqlite3_stmt* get() const { return stmt_; }

  // Binds in order from parameter 1.
  template <class... Values>
  Statement& bind(const Values&... values) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int i = 0;
    (bind_one(++i, values), ...);
    return *this;
  }
  // One step; true for a row.
  bool step(const char* what) {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) throw StoreError(std::string("sqlite ") + what + ": " + sqlite3_errmsg(db_));
    return false;
  }
  // Runs a statement that returns nothing (or ignores it) and resets it.
  void run(const char* what) {
    step(what);
    sqlite3_reset(stmt_);
  }
  long long integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string_view text(int column) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return {p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
  }

 private:
  template <class Integer>
  requires std::is_integral_v<Integer>
  void bind_one(int i, Integer v) { sqlite3_bind_int64(stmt_, i, static_cast<sqlite3_int64>(v)); }
  void bind_one(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void bind_one(int i, const std::string& v) { bind_one(i, std::string_view(v)); }
  void bind_one(int i, const char* v) { bind_one(i, std::string_view(v)); }

  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement however the step ends, so the next use starts clean and no read
// transaction stays open.
struct ResetOnExit {
  sqlite3_stmt* stmt;
  ~ResetOnExit() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }
};

// One open database file, closed with its statements.
class Connection {
 public:
  explicit Connection(const std::string& path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("sqlite: cannot open " + path + ": " + msg);
    }
    // Another instance, a backup tool or our own writer may hold the lock briefly; wait instead of failing.
    sqlite3_busy_timeout(db_, 5000);
  }
  ~Connection() { sqlite3_close_v2(db_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  sqlite3* get() const { return db_; }

  void exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : sqlite3_errmsg(db_);
      sqlite3_free(err);
      throw StoreError("sqlite: " + msg);
    }
  }
  void rollback() { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace sqlite
