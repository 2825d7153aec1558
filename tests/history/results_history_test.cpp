// The store against real files: creation, removal, unreadable files, failed saves, and two
// stores sharing one file as the window and the runner do.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include <sys/stat.h>
#ifndef _WIN32
#include <sys/sysmacros.h>
#include <unistd.h>
#else
#include <windows.h>
#endif

#include "history/history_format.h"
#include "history/history_location.h"
#include "history/record_result.h"
#include "history/results_history.h"
#include "tests/support/test_processes.h"

namespace {

HistoryEntry run(int score, const char* type = "multi") {
  HistoryEntry e;
  e.score = score;
  e.type = type;
  e.date = "2026-12-06T16:55:39";
  e.cpu = "Test CPU";
  e.time_seconds = 12.5;
  e.threads = 2;
  return e;
}

std::vector<int> scores_in_file(const std::string& path) {
  std::vector<int> out;
  for (const auto& e : parse_history(read_file(path)).entries) out.push_back(e.score);
  return out;
}

std::vector<std::string> aside_files(const TempDir& dir) {
  std::vector<std::string> out;
  for (const auto& f : std::filesystem::directory_iterator(dir.path()))
    if (f.path().filename().string().find(".unreadable-") != std::string::npos) out.push_back(f.path().string());
  return out;
}

TEST(ResultsHistory, AMissingFileLoadsEmptyAndTheFirstAddCreatesIt) {
  TempDir dir;
  ResultsHistory h(dir.file("history.json"));
  h.load();
  EXPECT_EQ(h.size(), 0u);
  EXPECT_FALSE(h.file_unreadable());
  ASSERT_TRUE(h.add(run(100)));
  EXPECT_EQ(scores_in_file(h.path()), std::vector<int>{100});
  EXPECT_FALSE(std::filesystem::exists(h.path() + ".tmp"));
}

TEST(ResultsHistory, RemovalClosesTheGapAndAnIndexPastTheEndWritesNothing) {
  TempDir dir;
  ResultsHistory h(dir.file("history.json"));
  h.load();
  for (int s : {1, 2, 3}) h.add(run(s));
  ASSERT_TRUE(h.remove(0));
  EXPECT_EQ(h[0].score, 2);
  EXPECT_EQ(h[1].score, 3);
  EXPECT_EQ(scores_in_file(h.path()), (std::vector<int>{2, 3}));

  const FileStamp before = stamp_of(h.path());
  EXPECT_FALSE(h.remove(2));
  EXPECT_EQ(stamp_of(h.path()), before);

  h.remove(1);
  h.remove(0);
  EXPECT_EQ(read_file(h.path()), "{\n  \"runs\": []\n}");
}

TEST(ResultsHistory, AnUnreadableFileIsMovedAsideBeforeTheFirstSaveAndTheUserIsTold) {
  for (const std::string& contents : std::initializer_list<std::string>{
           "{\"runs\": [ {\"score\": 1}, nul", "{\"runs\": [{\"date\": 1}]}", "[\"my own notes\"]"}) {
    TempDir dir;
    write_file(dir.file("history.json"), contents);
    ResultsHistory h(dir.file("history.json"));
    h.load();
    EXPECT_EQ(h.size(), 0u);
    EXPECT_TRUE(h.file_unreadable());
    EXPECT_EQ(read_file(h.path()), contents) << "loading alone must not touch it";
    EXPECT_TRUE(h.take_notices().empty());

    ASSERT_TRUE(h.add(run(7)));
    const auto aside = aside_files(dir);
    ASSERT_EQ(aside.size(), 1u) << contents;
    EXPECT_EQ(read_file(aside[0]), contents);
    // Named for the local time it was kept aside, so that kept files sort by age.
    EXPECT_TRUE(std::regex_match(std::filesystem::path(aside[0]).filename().string(),
                                 std::regex(R"(history\.json\.unreadable-\d{8}-\d{6})")))
        << aside[0];
    EXPECT_EQ(scores_in_file(h.path()), std::vector<int>{7});
    const auto notices = h.take_notices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find(aside[0]), std::string::npos);

    h.add(run(8));  // only once
    EXPECT_EQ(aside_files(dir).size(), 1u);
  }
}

TEST(ResultsHistory, AnEmptyFileIsSimplyReplaced) {
  TempDir dir;
  write_file(dir.file("history.json"), "");
  ResultsHistory h(dir.file("history.json"));
  h.load();
  EXPECT_FALSE(h.file_unreadable());
  h.add(run(1));
  EXPECT_TRUE(aside_files(dir).empty());
  EXPECT_TRUE(h.take_notices().empty());
}

TEST(ResultsHistory, ASaveKeepsThePermissionsOfTheFileItReplaces) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits";
#endif
  TempDir dir;
  ResultsHistory h(dir.file("history.json"));
  h.load();
  h.add(run(1));
  namespace fs = std::filesystem;
  fs::permissions(h.path(), fs::perms::owner_read | fs::perms::owner_write);
  h.add(run(2));
  EXPECT_EQ(fs::status(h.path()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ResultsHistory, AnUnreadableFileWrittenAfterTheLoadIsStillKeptAside) {
  TempDir dir;
  ResultsHistory h(dir.file("history.json"));
  h.load();
  h.add(run(1));
  write_file(h.path(), "{\"runs\": [oops");
  EXPECT_TRUE(h.save());
  ASSERT_EQ(aside_files(dir).size(), 1u);
  EXPECT_EQ(read_file(aside_files(dir)[0]), "{\"runs\": [oops");
  EXPECT_EQ(scores_in_file(h.path()), std::vector<int>{1});
}

TEST(ResultsHistory, AChangeWhoseSaveFailedIsWrittenByTheNextSuccessfulOne) {
  TempDir dir;
  const std::string path = dir.file("sub") + "/history.json";
  write_file(dir.file("sub"), "a file where the directory should be");
  ResultsHistory h(path);
  h.load();
  EXPECT_FALSE(h.add(run(1)));
  EXPECT_EQ(h.size(), 1u);
  const auto notices = h.take_notices();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_NE(notices[0].find("could not be saved"), std::string::npos);
  EXPECT_NE(notices[0].find("cannot create"), std::string::npos) << "the reason is lost: " << notices[0];
  std::filesystem::remove(dir.file("sub"));
  EXPECT_TRUE(h.add(run(2)));
  EXPECT_EQ(scores_in_file(path), (std::vector<int>{1, 2}));
}

TEST(ResultsHistory, TwoStoresOnOneFileKeepEachOthersResults) {
  TempDir dir;
  ResultsHistory window(dir.file("history.json"));
  ResultsHistory runner(dir.file("history.json"));
  window.load();
  runner.load();
  window.add(run(1));
  EXPECT_TRUE(runner.changed_on_disk());
  runner.add(run(2));  // re-reads first: the window's result stays
  EXPECT_EQ(scores_in_file(window.path()), (std::vector<int>{1, 2}));

  EXPECT_TRUE(window.changed_on_disk());
  EXPECT_TRUE(window.reload_if_changed());
  EXPECT_FALSE(window.changed_on_disk());
  EXPECT_FALSE(window.reload_if_changed());
  EXPECT_EQ(window.size(), 2u);
}

TEST(ResultsHistory, RemovingDeletesTheEntryTheUserSawEvenAfterAnotherProgramChangedTheFile) {
  TempDir dir;
  ResultsHistory window(dir.file("history.json"));
  window.load();
  for (int s : {10, 20, 30}) window.add(run(s));

  ResultsHistory runner(dir.file("history.json"));
  runner.load();
  runner.remove(0);     // 10 goes; the window still shows 10, 20, 30
  runner.add(run(40));  // file: 20, 30, 40

  ASSERT_TRUE(window.remove(2));  // the user clicked 30, now at index 1 in the file
  EXPECT_EQ(scores_in_file(window.path()), (std::vector<int>{20, 40}));

  // An entry that is already gone is not replaced by a removal of some other entry.
  ResultsHistory stale(dir.file("history.json"));
  stale.load();  // 20, 40
  runner.reload_if_changed();
  runner.remove(0);  // 20 goes
  EXPECT_FALSE(stale.remove(0));
  EXPECT_EQ(scores_in_file(window.path()), std::vector<int>{40});
}

TEST(ResultsHistory, RecordingAResultStoresTheStandardRunWithTheMachinesProcessor) {
  TempDir dir;
  ResultsHistory h(dir.file("history.json"));
  h.load();
  const BenchmarkResult r{RunKind::single, 812, 147.75, 1, "2026-12-06T16:55:39"};
  const RecordOutcome out = record_result(h, r, "Example CPU");
  EXPECT_TRUE(out.recorded);
  EXPECT_TRUE(out.messages.empty());
  const auto stored = parse_history(read_file(h.path())).entries;
  ASSERT_EQ(stored.size(), 1u);
  HistoryEntry expected;
  expected.date = "2026-12-06T16:55:39";
  expected.cpu = "Example CPU";
  expected.type = "single";
  expected.score = 812;
  expected.time_seconds = 147.75;
  expected.threads = 1;
  EXPECT_EQ(stored[0], expected);
}

// FIFOs, devices and links as POSIX has them; Windows keeps only the regular-file rule.
#ifndef _WIN32
bool has_notice(const std::vector<std::string>& notices, const std::string& part) {
  for (const auto& n : notices)
    if (n.find(part) != std::string::npos) return true;
  return false;
}

// Something that is not a regular file at the history's path (STRELVIK_HISTORY=/dev/null as
// root, a FIFO): read without blocking, never replaced, and no lock file made beside it.
void expect_left_alone(const std::string& path, const char* what) {
  struct stat before {};
  ASSERT_EQ(::lstat(path.c_str(), &before), 0);
  ResultsHistory h(path);
  h.load();  // a FIFO opened for reading would wait for a writer here
  EXPECT_EQ(h.size(), 0u);
  EXPECT_TRUE(h.file_inaccessible());
  EXPECT_FALSE(h.add(run(5)));
  EXPECT_EQ(h.size(), 1u) << "the result stays in memory";
  const auto notices = h.take_notices();
  EXPECT_EQ(notices.size(), 1u) << "told once, not at every attempt";
  EXPECT_TRUE(has_notice(notices, std::string("is ") + what + ", not a regular file")) << notices[0];
  struct stat after {};
  ASSERT_EQ(::lstat(path.c_str(), &after), 0);
  EXPECT_EQ((after.st_mode & S_IFMT), (before.st_mode & S_IFMT));
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_rdev, before.st_rdev);
  EXPECT_FALSE(std::filesystem::exists(path + ".lock"));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(ResultsHistory, AFifoOrADeviceAtThePathIsReportedAndKept) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.json").c_str(), 0644), 0);
  expect_left_alone(dir.file("fifo.json"), "a FIFO");
  // The null device's numbers; making one needs root (as in CI).
  if (::mknod(dir.file("null.json").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
    expect_left_alone(dir.file("null.json"), "a character device");
  std::filesystem::create_directory(dir.file("folder.json"));
  expect_left_alone(dir.file("folder.json"), "a directory");
}

TEST(ResultsHistory, ASymbolicLinkStaysALinkAndItsTargetIsReplacedInItsOwnFolder) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directory(dir.file("sync"));
  ResultsHistory seed(dir.file("sync/results.json"));
  seed.load();
  seed.add(run(1));
  // A chain: a relative link to an absolute one.
  fs::create_symlink(dir.file("sync/results.json"), dir.file("sync/latest.json"));
  fs::create_symlink("sync/latest.json", dir.file("history.json"));

  ResultsHistory h(dir.file("history.json"));
  h.load();
  ASSERT_EQ(h.size(), 1u);
  ASSERT_TRUE(h.add(run(2)));
  EXPECT_EQ(fs::read_symlink(dir.file("history.json")), "sync/latest.json");
  EXPECT_TRUE(fs::is_symlink(dir.file("sync/latest.json")));
  EXPECT_EQ(scores_in_file(dir.file("sync/results.json")), (std::vector<int>{1, 2}));
  for (const auto& f : fs::recursive_directory_iterator(dir.path()))
    EXPECT_EQ(f.path().string().find(".tmp"), std::string::npos) << f.path();

  // A link to a file not yet made: the first save makes the target.
  fs::create_symlink("sync/new.json", dir.file("fresh.json"));
  ResultsHistory fresh(dir.file("fresh.json"));
  fresh.load();
  ASSERT_TRUE(fresh.add(run(3)));
  EXPECT_TRUE(fs::is_symlink(dir.file("fresh.json")));
  EXPECT_EQ(scores_in_file(dir.file("sync/new.json")), std::vector<int>{3});

  // A link to a FIFO is refused like the FIFO itself.
  ASSERT_EQ(::mkfifo(dir.file("sync/pipe").c_str(), 0644), 0);
  fs::create_symlink("sync/pipe", dir.file("piped.json"));
  expect_left_alone(dir.file("piped.json"), "a FIFO");
}

TEST(ResultsHistory, ATemporaryFileLeftByAKilledSaveIsRemovedAndNeverWrittenThrough) {
  TempDir dir;
  const std::string path = dir.file("history.json");
  ResultsHistory h(path);
  h.load();
  h.add(run(1));
  // Left by a kill, and pointing elsewhere: a save must not write into what it points at.
  write_file(dir.file("victim"), "precious");
  std::filesystem::create_symlink(dir.file("victim"), path + ".tmp");
  ASSERT_TRUE(h.add(run(2)));
  EXPECT_EQ(read_file(dir.file("victim")), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(scores_in_file(path), (std::vector<int>{1, 2}));

  // Removed under the lock even when the change writes nothing (the entry is already gone).
  ResultsHistory stale(path);
  stale.load();
  h.remove(0);
  write_file(path + ".tmp", "{\"runs\": [");
  EXPECT_FALSE(stale.remove(0));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}
#else
// Links as wine has them: a Unix symbolic link made by the Linux ln, which wine shows as a
// plain file. A device name (NUL) opens like a file and is refused.
TEST(ResultsHistory, OnWindowsALinkStaysALinkAndItsTargetIsWrittenAndADeviceIsKept) {
  TempDir dir;
  namespace fs = std::filesystem;
  fs::create_directory(dir.path() / "sync");
  write_file(dir.file("sync/results.json"), "");
  if (run_program({"/bin/ln", "-s", "sync/results.json", unix_path(dir.path() / "history.json")},
                  dir.path() / "ln.log") != 0 ||
      !fs::exists(dir.path() / "history.json"))
    GTEST_SKIP() << "no Unix link can be made here (not under wine)";

  ResultsHistory h(dir.file("history.json"));
  h.load();
  ASSERT_TRUE(h.add(run(7)));
  EXPECT_EQ(scores_in_file(dir.file("sync/results.json")), std::vector<int>{7});
  // Asked of the Linux side: wine shows the link as a plain file.
  run_program({"/bin/readlink", unix_path(dir.path() / "history.json")}, dir.path() / "readlink.log");
  EXPECT_EQ(read_file(dir.file("readlink.log")), "sync/results.json\n") << "the link was replaced by a file";
  EXPECT_FALSE(fs::exists(dir.file("sync/results.json.tmp")));

  ResultsHistory device("NUL");
  device.load();
  EXPECT_TRUE(device.file_inaccessible());
  EXPECT_FALSE(device.add(run(5)));
}
#endif

TEST(HistoryLocation, TheFileLivesBesideTheExecutableJoinedWithASlash) {
  EXPECT_EQ(history_path_beside("/opt/strelvik/bin/strelvik"), "/opt/strelvik/bin/history.json");
  EXPECT_EQ(history_path_beside("strelvik"), "./history.json");
  EXPECT_EQ(history_path_beside(""), "./history.json");
  EXPECT_EQ(history_path_beside("/odd\\name/strelvik"), "/odd\\name/history.json");
}

TEST(HistoryLocation, TheVariableWinsThenTheExecutableDirectoryThenTheUsersDataDirectory) {
  HistoryLocationFacts f;
  f.executable_path = "/home/u/strelvik/strelvik";
  f.xdg_data_home = "/home/u/.data";
  f.home = "/home/u";
  f.history_variable = "/tmp/h.json";
  EXPECT_EQ(choose_history_path(f), "/tmp/h.json");
  f.history_variable = "";
  EXPECT_EQ(choose_history_path(f), "/home/u/.data/strelvik/history.json");
  f.xdg_data_home = "relative/ignored";
  EXPECT_EQ(choose_history_path(f), "/home/u/.local/share/strelvik/history.json");
  f.home.reset();
  EXPECT_EQ(choose_history_path(f), "/home/u/strelvik/history.json");
  f.home = "/home/u";
  f.executable_directory_writable = true;
  EXPECT_EQ(choose_history_path(f), "/home/u/strelvik/history.json");  // absent, and could be made there
  // A file another user left there (after one "sudo strelvik-cli multi") is not this user's.
  f.file_beside_executable_exists = true;
  EXPECT_EQ(choose_history_path(f), "/home/u/.local/share/strelvik/history.json");
  f.file_beside_executable_writable = true;
  EXPECT_EQ(choose_history_path(f), "/home/u/strelvik/history.json");
  // A save renames a new version into the folder: a writable file in a locked folder is no use.
  f.executable_directory_writable = false;
  EXPECT_EQ(choose_history_path(f), "/home/u/.local/share/strelvik/history.json");
}

TEST(HistoryLocation, AnInstalledProgramNeverWritesBesideItselfEvenWhenItCould) {
  HistoryLocationFacts f;
  f.executable_path = "/usr/bin/strelvik-cli";
  f.home = "/root";
  f.executable_directory_writable = true;  // root can write to /usr/bin
  f.executable_in_system_folder = true;
  EXPECT_EQ(choose_history_path(f), "/root/.local/share/strelvik/history.json");

  EXPECT_TRUE(path_inside_any("/usr/bin/strelvik", {"/usr", "/opt"}, false));
  EXPECT_TRUE(path_inside_any("/opt/strelvik/bin/strelvik", {"/usr", "/opt/"}, false));
  EXPECT_FALSE(path_inside_any("/usrlocal/strelvik", {"/usr"}, false));
  EXPECT_FALSE(path_inside_any("/home/u/usr/strelvik", {"/usr"}, false));
  EXPECT_FALSE(path_inside_any("/usr", {"/usr"}, false));
  EXPECT_FALSE(path_inside_any("/home/u/strelvik", {""}, false));  // an unset folder holds nothing
  EXPECT_TRUE(path_inside_any("c:\\program files\\Strelvik\\bin\\strelvik.exe", {"C:\\Program Files"}, true));
  EXPECT_TRUE(path_inside_any("C:/Program Files/Strelvik/strelvik.exe", {"C:\\Program Files\\"}, true));
  EXPECT_FALSE(path_inside_any("C:\\Program Files (x86)\\strelvik.exe", {"C:\\Program Files"}, true));
  EXPECT_FALSE(path_inside_any("C:\\PROGRAM FILES\\x.exe", {"C:\\Program Files"}, false));
}

}  // namespace
