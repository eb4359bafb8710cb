#include "main/cli/cli_outputs.h"

#include "main/cli/cli_front_end.h"
#include "misc/paths.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include "misc/windows_api.h"
#else
#include <unistd.h>
#endif

namespace tessary {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// Result lines wait here and go to stdout in one write at each event pump
// (every few dozen milliseconds) and at the end, instead of one write a line.
// A second Ctrl-C writes what waits before the process ends, so no line
// already produced is lost: the buffer is a plain array, its length published
// only after a line is in, which a signal handler may read.
char g_pending[1 << 16];
std::atomic<std::size_t> g_pendingLength{0};

void WriteAll(const char* bytes, std::size_t length) {
  while (length > 0) {
#ifdef _WIN32
    const int put = _write(1, bytes, static_cast<unsigned>(length));
#else
    const ssize_t put = ::write(1, bytes, length);
#endif
    if (put <= 0) return;
    bytes += put;
    length -= static_cast<std::size_t>(put);
  }
}

// Set when the run is over and everything it made is cleaned up.
std::atomic<bool> g_finished{false};

extern "C" void OnInterrupt(int signal) {
  if (g_interrupted) {
    WriteAll(g_pending, g_pendingLength.load());
    std::_Exit(kExitStopped);
  }
  g_interrupted = 1;
  std::signal(signal, OnInterrupt);
}

#ifdef _WIN32
// Closing the console window, logging off or shutting down ends the process
// as soon as this returns: it asks for a stop and waits, within the seconds
// the system allows, for the run to end and clean up. Ctrl-C and Ctrl-Break
// go on to the C runtime, which raises SIGINT.
BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = 1;
  for (int i = 0; i < 45 && !g_finished.load(); ++i) Sleep(100);
  return TRUE;
}
#endif

void AppendPending(const std::string& line) {
  std::size_t used = g_pendingLength.load();
  if (used + line.size() + 1 > sizeof g_pending) {
    FlushResults();
    used = 0;
  }
  if (line.size() + 1 > sizeof g_pending) {
    WriteAll(line.data(), line.size());
    WriteAll("\n", 1);
    return;
  }
  std::memcpy(g_pending + used, line.data(), line.size());
  g_pending[used + line.size()] = '\n';
  g_pendingLength.store(used + line.size() + 1);
}

constexpr int kBarWidth = 24;
constexpr std::size_t kMessageWidth = 48;
constexpr std::size_t kLineWidth = kMessageWidth + kBarWidth + 3;

}  // namespace

void FlushResults() {
  WriteAll(g_pending, g_pendingLength.load());
  g_pendingLength.store(0);
}

void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
  std::signal(SIGHUP, OnInterrupt);
#endif
}

void MarkRunFinished() {
  g_finished = true;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

// Windows consoles draw escape sequences only when asked to; where that
// fails, the line is cleared with blanks instead.
bool EnableEscapes() {
#ifdef _WIN32
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) return false;
  return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
  return true;
#endif
}

CliOutputs::CliOutputs(bool showProgress)
    : showProgress_(showProgress), escapes_(showProgress && EnableEscapes()) {}

void CliOutputs::ResultAppended(const std::string& line) {
  AppendPending(PrintableText(line));
}

void CliOutputs::BarChanged(Bar bar, int maximum, int position) {
  if (bar != Bar::Progress) return;
  progressMax_ = maximum;
  progressPos_ = position;
}

void CliOutputs::PumpEvents() {
  if (ctx_ != nullptr && g_interrupted != 0 && !ctx_->StopRequested()) ctx_->RequestStop();
  if (g_pendingLength.load() > 0) {
    ClearLine();
    FlushResults();
  }
  if (!showProgress_) return;
  const int filled = progressMax_ > 0 ? progressPos_ * kBarWidth / progressMax_ : 0;
  std::string text = PrintableText(message_.substr(0, kMessageWidth));
  text += " [" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "]";
  if (escapes_)
    std::cerr << '\r' << text << "\033[K" << std::flush;
  else
    std::cerr << '\r' << text << std::string(kLineWidth - std::min(text.size(), kLineWidth), ' ')
              << std::flush;
  lineShown_ = true;
}

void CliOutputs::ClearLine() {
  if (!lineShown_) return;
  if (escapes_)
    std::cerr << "\r\033[K" << std::flush;
  else
    std::cerr << '\r' << std::string(kLineWidth, ' ') << '\r' << std::flush;
  lineShown_ = false;
}

void CliDialogs::ShowPendingInformation() {
  if (!pendingInformation_.empty()) std::cerr << pendingInformation_ << '\n';
  pendingInformation_.clear();
}

// An error may list several problems, one per line; each line is made
// printable on its own.
void CliDialogs::ShowError(const std::string& text) {
  std::size_t from = 0;
  for (std::size_t to = text.find('\n'); to != std::string::npos; to = text.find('\n', from)) {
    std::cerr << PrintableText(text.substr(from, to - from)) << '\n';
    from = to + 1;
  }
  std::cerr << PrintableText(text.substr(from)) << '\n';
}

}  // namespace tessary
