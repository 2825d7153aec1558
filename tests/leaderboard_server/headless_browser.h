#pragma once
// Debian's chromium, headless, for the web page's tests: the document after the page's script
// ran, and page measurements through the DevTools protocol on a pipe (no port is opened).

#include <nlohmann/json.hpp>

#include <sys/types.h>

#include <string>

#include "tests/support/test_processes.h"

// The document of `url` as the browser has it once the page's requests and script are done.
std::string dump_dom(const std::string& url, const fs::path& work_dir);

// One browser with one tab whose viewport is `width` × `height` CSS pixels, as on a phone.
class DevToolsTab {
 public:
  DevToolsTab(const fs::path& work_dir, int width, int height);
  ~DevToolsTab();
  DevToolsTab(const DevToolsTab&) = delete;
  DevToolsTab& operator=(const DevToolsTab&) = delete;

  // Loads `url` and waits for its load event.
  void open(const std::string& url);
  // The value of a JavaScript expression in the tab; a promise is awaited.
  nlohmann::json evaluate(const std::string& expression);
  // Whether the page has tried to open an alert, confirm or prompt dialog.
  bool dialog_opened() const { return dialog_opened_; }

 private:
  nlohmann::json call(const std::string& method, const nlohmann::json& params, bool in_tab = true);
  nlohmann::json next_message();
  void wait_for_event(const std::string& method);

  pid_t pid_ = -1;
  int to_browser_ = -1;
  int from_browser_ = -1;
  std::string buffer_;
  std::string session_;
  int next_id_ = 0;
  bool dialog_opened_ = false;
  std::vector<nlohmann::json> events_;
};
