#include "main/rtf_writer.h"

#include <cstdio>

namespace tessary {

namespace {

void AppendEscaped(std::string& out, const std::string& line) {
  for (const char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += c;
    } else if (byte >= 0x80 || byte < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\'%02x", byte);
      out += hex;
    } else {
      out += c;
    }
  }
}

}  // namespace

std::string ResultsToRtf(const std::vector<std::string>& lines) {
  std::string out =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss MS Sans Serif;}}\r\n"
      "\\viewkind4\\uc1\\pard\\f0\\fs16 ";
  for (const auto& line : lines) {
    AppendEscaped(out, line);
    out += "\\par\r\n";
  }
  out += "}\r\n";
  return out;
}

}  // namespace tessary
