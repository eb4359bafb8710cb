// The headless front end: one batch from the command line.
//
//   tessary-cli -f KEY -o DIR [-t TABLE] [-q] FILE...
//
// stdout carries exactly the result lines; stderr the status, the progress bar
// (on a terminal), "Operation complete!" and error texts.
#pragma once

namespace tessary {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;  // ran to its end, but refused or skipped something
inline constexpr int kExitStopped = 130;

int RunCli(int argc, char** argv);

}  // namespace tessary
