#include "misc/processes.h"

#include <cerrno>
#include <charconv>

#ifdef _WIN32
#include "misc/windows_api.h"
#else
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tessary {

#ifdef _WIN32

int CurrentProcessId() {
  return static_cast<int>(GetCurrentProcessId());
}

bool ProcessRuns(int id) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
  if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) == 0 || code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

void RaiseOpenFileLimit() {}

#else

void RaiseOpenFileLimit() {
  static const bool raised = [] {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return false;
    limit.rlim_cur = limit.rlim_max;
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
  }();
  (void)raised;
}

int CurrentProcessId() {
  static const int id = static_cast<int>(::getpid());
  return id;
}

bool ProcessRuns(int id) {
  if (id <= 0) return true;  // 0 and negative ids name process groups, not one process
  return ::kill(id, 0) == 0 || errno == EPERM;
}

#endif

std::optional<int> LeadingProcessId(std::string_view text) {
  int id = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (error != std::errc() || end == text.data() || end == text.data() + text.size() || *end != '-')
    return std::nullopt;
  return id;
}

}  // namespace tessary
