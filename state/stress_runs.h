#pragma once
// The window's stress test: the multi-core run pass after pass, each result judged here instead
// of being stored, and one history entry when the test ends right. Never submitted.
struct App;

// Starts the first pass. The caller has checked that no run is in progress.
void start_stress_test(App& app);

// Called while a stress test is active and the engine is idle: takes the pass that finished and
// starts the next, or ends the test (a wrong image, the time over, or a cancel, when the engine
// stopped without a result).
void take_stress_pass(App& app);
