#include "formathandlers/archive/archive_tables.h"

#include <algorithm>

#include "misc/errors.h"
#include "misc/paths.h"

namespace tessary {

std::string LocateTable(const std::string& name, const std::string& outputDirectory,
                        const std::vector<std::string>& fallbacks) {
  std::vector<std::string> places = {
      AbsolutePath(outputDirectory.empty() ? name : JoinPath(outputDirectory, name))};
  for (const std::string& directory : fallbacks) {
    if (directory.empty()) continue;
    const std::string place = AbsolutePath(JoinPath(directory, name));
    if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
  }
  for (const std::string& place : places) {
    if (FileExists(place)) return place;
  }
  std::string looked = places.front();
  for (std::size_t i = 1; i < places.size(); ++i)
    looked += (i == 1 ? " (nor " : ", nor ") + places[i];
  ThrowCannotOpen(places.size() > 1 ? looked + ")" : looked);
}

}  // namespace tessary
