#pragma once
// The application state: one record that owns every subsystem and that every panel receives
// each frame. Created on the entry function's stack after the window and the GUI context exist,
// destroyed after both are gone (app/program_linux.cpp and program_windows.cpp give the order).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/benchmark_run.h"
#include "engine/remaining_time.h"
#include "engine/run_kind.h"
#include "history/results_history.h"
#include "leaderboard_client/leaderboard_client.h"
#include "state/score_trust.h"
#include "state/stress_state.h"
#include "system/cpu_usage_monitor.h"
#include "system/processor_groups.h"
#include "system/run_monitor.h"
#include "system/sensor_series_copy.h"
#include "system/system_info.h"
#include "verify/run_verdict.h"

struct ImFont;
class IGpuBackend;

// The finished image at full size, in a window of its own inside the program.
struct ImageViewerState {
  bool open = false;
  std::string path;     // where "Save PNG..." writes; the user may type another
  std::string message;  // the last save's outcome, for the user
  bool save_failed = false;
};

struct App {
  // The standard workload; the workers placed as this machine needs (system/processor_groups.h).
  App();
  explicit App(ReferenceWorkload reference, WorkerPlacement placement = platform_worker_placement());

  SystemInfo system_info;
  // The program's one sensor sampler and load check (state/run_monitoring.h); null: no sensors.
  // Before the engine, whose run thread calls it until the engine is gone.
  std::unique_ptr<RunMonitor> run_monitor;
  BenchmarkEngine engine;
  ResultsHistory history;
  IGpuBackend* gpu = nullptr;     // not owned; null means no preview texture
  std::int32_t single_score = 0;  // below 1: no score of that kind yet
  std::int32_t smt_score = 0;
  std::int32_t multi_score = 0;
  bool run_both = false;
  bool run_both_single_done = false;  // only meaningful while run_both is set
  // Owned by the GUI library's font atlas, which is destroyed before the App.
  ImFont* font_body = nullptr;
  ImFont* font_mono = nullptr;
  ImFont* font_mono_large = nullptr;
  ImFont* font_heading = nullptr;
  float dpi_scale = 1.0f;
  CpuUsageMonitor cpu_monitor;
  SensorSeriesCopy sensor_samples;  // the current or last run's, for the CPU graph
  // The sensors and warnings of the runs finished since the last start (both of Run Both).
  std::vector<std::pair<RunKind, RunConditions>> finished_conditions;

  // What the window's runs render. The program always uses the standard workload; tests
  // substitute a smaller one with its own reference hash.
  ReferenceWorkload reference;
  // The seconds the progress line shows once no run is in progress: the last run's measured
  // time, or how far a cancelled run got.
  double shown_run_seconds = 0.0;
  // The run under way, said before it starts ("Multi-core, 2 threads, standard workload: about
  // 23 min"), and the tile costs its percentage and remaining time are weighed by.
  std::string run_estimate;
  RemainingTimeEstimator run_progress;
  // The preview texture was last updated while a run was in progress; the first frame after the
  // run uploads the finished image once more.
  bool preview_follows_run = false;
  // The kind of a run whose image differed from the reference: the machine computed wrongly.
  // Its score is shown with a warning, and it was neither recorded nor submitted. Empty when the
  // last runs were right; cleared when the next run starts.
  std::optional<RunKind> unverified_kind;
  // The last run was cancelled by the user: the progress line says so, not to look paused.
  // Cleared when the next run starts or a result is taken.
  bool run_cancelled = false;
  // The kind and date of the run whose finished image the preview shows; empty while it shows
  // none (no run yet, a run in progress or cancelled). Only such an image opens the viewer.
  std::optional<RunKind> finished_kind;
  std::string finished_date;
  ImageViewerState viewer;
  StressWindowState stress;
  // Beside each score of this session: verified or not, and its submission's outcome.
  std::vector<ScoreTrust> score_trust;
  // Why the last run could not be carried out (the system refused a thread); cleared likewise.
  std::string run_failure;
  // The result whose delete button was pressed, until the user confirms or keeps it.
  std::optional<HistoryEntry> history_delete_pending;
  // Messages from the history file for the user (a file kept aside, a failed save).
  std::vector<std::string> history_notices;
  // Last: destroyed first, its destructor joining any request still in flight.
  LeaderboardClient leaderboard;
};

// What can change on screen while nobody touches the window: a leaderboard request ending, a
// run ending or failing. The idle loop compares it between wakes instead of drawing.
struct WatchedState {
  std::int32_t leaderboard_pending = 0;
  std::size_t leaderboard_requests = 0;
  bool running = false;
  bool result_ready = false;
  bool run_failed = false;
  bool operator==(const WatchedState&) const = default;
};
WatchedState watched_state(const App& app);

// Where start-up gets the machine's facts; the platform's probe by default, fakes in tests.
struct MachineProbe {
  SystemInfo (*collect)() = collect_system_info;
  void (*query_graphics)(SystemInfo&) = query_graphics_adapter;
};

// The start-up steps that need no window, in order: machine facts, graphics adapter, history
// load, initial scores, and a leaderboard fetch for each kind (single first), which run in the
// background.
void start_app_services(App& app, const MachineProbe& probe = {});

// Moves the history's messages for the user (a file kept aside, a failed save) into the App.
void collect_history_notices(App& app);

// Loads the history again when another program (the runner) changed its file, and collects the
// history's messages for the user. Called once per frame: one stat() of the file.
void follow_history_file(App& app);

// The highest stored score of each kind; a type counts only when it names a kind exactly, and
// scores of 0 or below never count.
void set_initial_scores(App& app);

// The score the panel shows for a kind; below 1: none yet.
std::int32_t& shown_score(App& app, RunKind kind);

// The shutdown steps before the GUI and the window go: join the leaderboard requests, then tell
// a running benchmark to stop (the engine's destructor joins it when the App is destroyed).
void stop_app_services(App& app);
