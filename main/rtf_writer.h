// Result lines as a Rich Text Format document, one paragraph per line.
#pragma once

#include <string>
#include <vector>

namespace tessary {

// "\", "{" and "}" are escaped; bytes of 128 and above are written as \'hh.
std::string ResultsToRtf(const std::vector<std::string>& lines);

}  // namespace tessary
