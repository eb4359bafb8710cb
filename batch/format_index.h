// Format indices: the number that selects the handler of a queue (and, while a
// log is read, of a log section). The registry in main/ ties them to file types.
#pragma once

#include <cstdint>

namespace tessary::format {

inline constexpr std::uint8_t kNoFiles = 0;
inline constexpr std::uint8_t kLog = 1;
inline constexpr std::uint8_t kGrm = 2;
inline constexpr std::uint8_t kRes = 3;
inline constexpr std::uint8_t kArd = 4;
inline constexpr std::uint8_t kRdt = 5;
inline constexpr std::uint8_t kTim = 6;
inline constexpr std::uint8_t kStim = 7;
inline constexpr std::uint8_t kProjectList = 8;
inline constexpr std::uint8_t kNone = 9;

}  // namespace tessary::format
