#include "state/app.h"

#include <algorithm>
#include <utility>

#include "history/best_scores.h"

App::App() : App(ReferenceWorkload::standard()) {}

App::App(ReferenceWorkload reference_, WorkerPlacement placement)
    : engine(std::move(placement)), reference(std::move(reference_)) {}

void start_app_services(App& app, const MachineProbe& probe) {
  app.system_info = probe.collect();
  probe.query_graphics(app.system_info);
  app.history.load();
  collect_history_notices(app);
  set_initial_scores(app);
  for (const RunKind kind : kRunKinds) app.leaderboard.fetch(kind);
}

void collect_history_notices(App& app) {
  for (std::string& notice : app.history.take_notices()) app.history_notices.push_back(std::move(notice));
}

void follow_history_file(App& app) {
  app.history.reload_if_changed();
  collect_history_notices(app);
}

void set_initial_scores(App& app) {
  const BestScores best = best_scores(app.history.entries());
  for (const RunKind kind : kRunKinds) shown_score(app, kind) = best.of(kind);
}

std::int32_t& shown_score(App& app, RunKind kind) {
  switch (kind) {
    case RunKind::single: return app.single_score;
    case RunKind::smt: return app.smt_score;
    case RunKind::multi: return app.multi_score;
  }
  return app.multi_score;  // unreachable: every kind is listed above
}

void stop_app_services(App& app) {
  app.leaderboard.stop_all();
  app.engine.cancel();
}

WatchedState watched_state(const App& app) {
  return {app.leaderboard.pending.load(), app.leaderboard.requests_started(), app.engine.running.load(),
          app.engine.result_ready.load(), app.engine.run_failed.load()};
}
