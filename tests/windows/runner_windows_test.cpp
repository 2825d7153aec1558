// strelvik-cli.exe as a process under wine, against the Linux build's runner: the same image
// for the same configuration, the machine's facts, the exit codes and the PNG. The Linux
// runner's exit code is not seen under wine (tests/support), so only its output is compared.
#include <windows.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "system/probe.h"
#include "tests/support/test_processes.h"

namespace {

fs::path this_folder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

struct Outcome {
  int exit_code = -1;
  std::string out, err;
};

// The Windows runner when `linux_runner` is false, else the Linux one.
Outcome run(const std::vector<std::string>& args, bool linux_runner = false) {
  TempDir dir;
  std::vector<std::string> argv{linux_runner ? std::string(STRELVIK_LINUX_BIN_DIR "/strelvik-cli")
                                             : (this_folder() / "strelvik-cli.exe").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  const fs::path out = dir.path() / "out.txt", err = dir.path() / "err.txt";
  Outcome outcome;
  outcome.exit_code = wait_exit(spawn_program(argv, out, err));
  outcome.out = read_file(out);
  outcome.err = read_file(err);
  return outcome;
}

nlohmann::json first_json_line(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  return nlohmann::json::parse(line);
}

}  // namespace

TEST(WindowsRunner, RendersTheSameImageAsTheLinuxBuild) {
  const std::vector<std::vector<std::string>> configs = {
      {"multi", "--size", "160x90", "--spp", "4"},
      {"single", "--size", "64x48", "--spp", "4", "--depth", "3", "--tile", "16"},
      {"multi", "--threads", "3", "--size", "97x31", "--spp", "2", "--tile", "8"},
  };
  for (auto args : configs) {
    args.insert(args.end(), {"--json", "--no-history", "--no-submit"});
    const Outcome windows = run(args);
    const Outcome linux = run(args, true);
    ASSERT_EQ(windows.exit_code, 0) << windows.err;
    const auto w = first_json_line(windows.out);
    const auto l = first_json_line(linux.out);
    EXPECT_EQ(w["image_sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(w["image_sha256"], l["image_sha256"]) << args[0] << " " << args[2];
    EXPECT_TRUE(w["verified"].is_null());
    EXPECT_EQ(w["threads"], l["threads"]);
  }
}

TEST(WindowsRunner, InfoShowsThisMachinesProcessor) {
  const Outcome info = run({"info", "--json"});
  ASSERT_EQ(info.exit_code, 0) << info.err;
  const auto facts = nlohmann::json::parse(info.out);
  EXPECT_EQ(facts["cpu_name"], trim_leading_spaces(make_platform_system_sources()->cpu_brand()));
  EXPECT_NE(facts["cpu_name"], "");
  EXPECT_EQ(facts["cpu_name"], nlohmann::json::parse(run({"info", "--json"}, true).out)["cpu_name"]);
  EXPECT_GE(facts["logical_processors"].get<int>(), 1);
  EXPECT_GT(facts["ram_total_mb"].get<int>(), 0);
  EXPECT_NE(facts["computer_name"], "");
}

TEST(WindowsRunner, BadUsageExitsWith2AndAPngIsWritten) {
  const Outcome bad = run({"multi", "--spp", "0"});
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.out, "");

  TempDir dir;
  const fs::path png = dir.path() / "image.png";
  const Outcome written =
      run({"single", "--size", "16x8", "--spp", "1", "--no-history", "--no-submit", "--image", png.string()});
  ASSERT_EQ(written.exit_code, 0) << written.err;
  EXPECT_EQ(read_file(png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

// Ctrl-C as a console delivers it: the runner gets a console of its own, this test attaches to
// it for the event alone. It is sent once the first progress line shows the run under way.
TEST(WindowsRunner, CtrlCCancelsTheRunAndExitsWith130) {
  TempDir dir;
  const fs::path err = dir.path() / "err.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE err_handle = CreateFileW(err.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(err_handle, INVALID_HANDLE_VALUE);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = err_handle;
  startup.hStdError = err_handle;
  std::wstring command = L"\"" + (this_folder() / "strelvik-cli.exe").wstring() + L"\" multi --no-history --no-submit";
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(err_handle);
  CloseHandle(process.hThread);

  bool under_way = false;
  for (int i = 0; i < 3000 && !under_way; ++i) {
    under_way = read_file(err).find("multi (") != std::string::npos;
    if (!under_way) Sleep(20);
  }
  EXPECT_TRUE(under_way) << read_file(err);
  FreeConsole();
  const bool attached = AttachConsole(process.dwProcessId) != 0;
  SetConsoleCtrlHandler(nullptr, TRUE);  // this process ignores the event it sends
  const bool sent = attached && GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
  FreeConsole();
  EXPECT_TRUE(sent);

  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 130u);
  EXPECT_NE(read_file(err).find("Cancelled; no result."), std::string::npos) << read_file(err);
}

TEST(WindowsSources, AnUnrestrictedProcessReportsEveryProcessorUsable) {
  const auto sources = make_platform_system_sources();
  const std::uint32_t logical = sources->logical_processors();
  EXPECT_EQ(sources->affinity_processors().value_or(logical), logical);
  EXPECT_EQ(sources->quota_processors(), std::nullopt);
}
