// The Windows twin of test_processes.cpp. Under wine a Linux program can be started as well
// (by its Unix path), but its exit code always reads 0: callers check what it wrote instead.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>

#include "tests/support/test_processes.h"

namespace {

// Children by the id spawn_program returned: a Windows program's process handle, or for a
// Linux program the file its wrapper writes the exit code to (wine gives no handle for it).
struct Child {
  HANDLE process = nullptr;
  fs::path exit_file;
};
std::mutex g_mutex;
std::map<pid_t, Child> g_children;
pid_t g_next_id = 1;

// Every run is bounded: a Linux child is ended by `timeout`, a wait gives up after this.
constexpr int kLimitSeconds = 300;

// The Linux child's wrapper: starts the program in the background, notes its process id for
// stop_program, waits for it and writes its exit code (renamed into place, so it is whole).
const char kWrapper[] =
    "d=$1; shift; timeout 300 \"$@\" & child=$!; echo $child > \"$d.pid\"; wait $child; echo $? > \"$d.tmp\"; "
    "mv \"$d.tmp\" \"$d\"";

// One argument quoted as CommandLineToArgvW and the C runtime read it back.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring text = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    text.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    text += c;
  }
  text.append(backslashes * 2, L'\\');
  return text + L"\"";
}

std::wstring widen(const std::string& text) { return fs::path(text).wstring(); }

// Wine's own conversions; absent on Windows, where no Linux program runs anyway.
using ToUnix = char*(CDECL*)(LPCWSTR);
using ToDos = WCHAR*(CDECL*)(LPCSTR);
template <class F>
F wine_function(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), name)));
}

std::wstring dos_path(const std::string& unix) {
  const auto to_dos = wine_function<ToDos>("wine_get_dos_file_name");
  if (!to_dos) throw std::runtime_error("a Linux program needs wine: " + unix);
  WCHAR* dos = to_dos(unix.c_str());
  if (!dos) throw std::runtime_error("no Windows path for " + unix);
  std::wstring text(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  return text;
}

HANDLE open_for_child(const fs::path& path, bool append) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE h = CreateFileW(path.wstring().c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                         append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + path.string());
  return h;
}

}  // namespace

std::string unix_path(const fs::path& path) {
  const auto to_unix = wine_function<ToUnix>("wine_get_unix_file_name");
  if (!to_unix) return path.string();
  char* unix = to_unix(fs::absolute(path).wstring().c_str());
  if (!unix) return path.string();
  std::string text(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return text;
}

pid_t spawn_program(const std::vector<std::string>& argv, const fs::path& out, const fs::path& err) {
  const bool linux_program = !argv.empty() && argv[0].front() == '/';
  Child child;
  std::wstring command;
  if (linux_program) {
    child.exit_file = out.string() + ".exit";
    std::error_code ec;
    fs::remove(child.exit_file, ec);
    command = quoted(dos_path("/bin/sh")) + L" -c " + quoted(widen(kWrapper)) + L" sh " +
              quoted(widen(unix_path(child.exit_file)));
  }
  for (const std::string& arg : argv) command += (command.empty() ? L"" : L" ") + quoted(widen(arg));
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE in =
      CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  HANDLE out_handle = open_for_child(out, false);
  HANDLE err_handle = out == err ? out_handle : open_for_child(err, true);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out_handle;
  startup.hStdError = err_handle;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(in);
  CloseHandle(out_handle);
  if (err_handle != out_handle) CloseHandle(err_handle);
  if (!started) throw std::runtime_error("cannot start " + argv[0]);
  if (process.hThread) CloseHandle(process.hThread);
  if (!linux_program) child.process = process.hProcess;
  std::lock_guard lock(g_mutex);
  const pid_t id = g_next_id++;
  g_children[id] = child;
  return id;
}

int wait_exit(pid_t pid) {
  Child child;
  {
    std::lock_guard lock(g_mutex);
    const auto found = g_children.find(pid);
    if (found == g_children.end()) return -1;
    child = found->second;
    g_children.erase(found);
  }
  if (child.process) {
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(child.process, kLimitSeconds * 1000) == WAIT_OBJECT_0)
      GetExitCodeProcess(child.process, &code);
    CloseHandle(child.process);
    return static_cast<int>(code);
  }
  // Polled: a Linux child cannot be waited for from here.
  for (int i = 0; i < kLimitSeconds * 50; ++i) {
    if (fs::exists(child.exit_file)) return std::atoi(read_file(child.exit_file).c_str());
    Sleep(20);
  }
  return -1;
}

namespace {

// Ends a child: a Windows program at once, a Linux one by `signal` through the Linux kill.
int end_program(pid_t pid, const char* signal) {
  fs::path exit_file;
  {
    std::lock_guard lock(g_mutex);
    const auto found = g_children.find(pid);
    if (found == g_children.end()) return -1;
    if (found->second.process) TerminateProcess(found->second.process, 1);
    exit_file = found->second.exit_file;
  }
  if (!exit_file.empty()) {
    std::string linux_pid;
    for (int i = 0; i < 500 && linux_pid.empty(); ++i, Sleep(20)) linux_pid = read_file(exit_file.string() + ".pid");
    if (!linux_pid.empty()) {
      const fs::path log = exit_file.string() + ".kill";
      run_program({"/bin/kill", signal, std::to_string(std::stoi(linux_pid))}, log);
    }
  }
  return wait_exit(pid);
}

}  // namespace

std::optional<int> exit_code_if_ended(pid_t pid) {
  Child child;
  {
    std::lock_guard lock(g_mutex);
    const auto found = g_children.find(pid);
    if (found == g_children.end()) return -1;
    child = found->second;
  }
  const bool ended =
      child.process ? WaitForSingleObject(child.process, 0) == WAIT_OBJECT_0 : fs::exists(child.exit_file);
  if (!ended) return std::nullopt;
  return wait_exit(pid);
}

int stop_program(pid_t pid) { return end_program(pid, "-TERM"); }

void kill_program(pid_t pid) { end_program(pid, "-KILL"); }

int run_program(const std::vector<std::string>& argv, const fs::path& log) {
  return wait_exit(spawn_program(argv, log, log));
}

Certificate make_self_signed_certificate(const fs::path& dir, const std::string& name) {
  Certificate c{dir / (name + "-cert.pem"), dir / (name + "-key.pem")};
  const fs::path log = dir / (name + "-openssl.log");
  // The Linux openssl, started under wine. Wine's certificate name check compares DNS names
  // only, never an IP address entry, so the address is a DNS entry as well.
  run_program({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
               "-nodes", "-keyout", unix_path(c.key), "-out", unix_path(c.cert), "-days", "2", "-subj", "/CN=localhost",
               "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:127.0.0.1"},
              log);
  if (read_file(c.cert).find("-----END CERTIFICATE-----") == std::string::npos)
    throw std::runtime_error("openssl failed: " + read_file(log));
  return c;
}

int free_loopback_port() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(s);
  WSACleanup();
  return ntohs(address.sin_port);
}
