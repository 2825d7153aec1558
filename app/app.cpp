#include "app/app.h"

#include <algorithm>

void start_app_services(App& app, const MachineProbe& probe) {
  app.system_info = probe.collect();
  probe.query_graphics(app.system_info);
  app.history.load();
  set_initial_scores(app);
  app.leaderboard.fetch("single");
  app.leaderboard.fetch("multi");
}

void set_initial_scores(App& app) {
  std::int32_t single = 0;
  std::int32_t multi = 0;
  for (const HistoryEntry& entry : app.history.entries()) {
    if (entry.type == "single") single = std::max(single, entry.score);
    if (entry.type == "multi") multi = std::max(multi, entry.score);
  }
  app.single_score = single;
  app.multi_score = multi;
}

void stop_app_services(App& app) {
  app.leaderboard.stop_all();
  app.engine.cancel();
}
