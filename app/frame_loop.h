#pragma once
// The frame loop both windows share: when to draw and when to wait for events, the frame rate
// during a run, the list of clickable items for scripts, and the frame report. The platform's
// window comes in through WindowHost.
#include "app/program.h"

struct App;

// What the loop needs of the platform's window. Everything runs on the interface thread.
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  // Takes every queued event without waiting.
  virtual void poll_events() = 0;
  // Waits at most `seconds` for an event, then takes every queued one.
  virtual void wait_events(double seconds) = 0;
  // The window was closed (or request_close was called): no further frame is drawn.
  virtual bool close_requested() const = 0;
  virtual void request_close() = 0;
  // Input or an expose arrived since the last call.
  virtual bool take_input_event() = 0;
  // Once per iteration, after the events are taken: the minimum size, a pending resize.
  virtual void after_events() = 0;
  // The platform's part of a frame: the backends' new frame before the interface is drawn, and
  // after ImGui::Render the draw data on the back buffer and the present.
  virtual void begin_frame() = 0;
  virtual void end_frame() = 0;
  // The display's refresh rate in Hz; 0 when unknown.
  virtual int refresh_rate() const = 0;
};

// Runs frames until the window is closed (or a stop signal or after_frame asks to end).
void run_frame_loop(WindowHost& host, App& app, const ProgramOptions& options);
