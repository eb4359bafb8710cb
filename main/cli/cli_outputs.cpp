#include "main/cli/cli_outputs.h"

#include "main/cli/cli_front_end.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessary {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
  if (g_interrupted) std::_Exit(kExitStopped);
  g_interrupted = 1;
  std::signal(SIGINT, OnInterrupt);
}

constexpr int kBarWidth = 24;
constexpr std::size_t kMessageWidth = 48;
constexpr std::size_t kLineWidth = kMessageWidth + kBarWidth + 3;

}  // namespace

void InstallInterruptHandler() {
  std::signal(SIGINT, OnInterrupt);
}

bool InterruptRequested() {
  return g_interrupted != 0;
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

// Each line is flushed as it is written, so that lines already produced
// survive a second Ctrl-C, which ends the process at once.
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
  ClearLine();
  std::cout << line << '\n' << std::flush;
}

void CliOutputs::BarChanged(Bar bar, int maximum, int position) {
  if (bar != Bar::Progress) return;
  progressMax_ = maximum;
  progressPos_ = position;
}

void CliOutputs::PumpEvents() {
  if (ctx_ != nullptr && InterruptRequested() && !ctx_->StopRequested()) ctx_->RequestStop();
  if (!showProgress_) return;
  const int filled = progressMax_ > 0 ? progressPos_ * kBarWidth / progressMax_ : 0;
  std::string text = message_.substr(0, kMessageWidth);
  text += " [" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "]";
  std::cout.flush();
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

void CliDialogs::ShowError(const std::string& text) {
  std::cerr << text << '\n';
}

}  // namespace tessary
