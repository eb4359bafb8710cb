// Fuzz target: the text-block reader of RDT room files and ARD containers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formathandlers/text/room_text.h"
#include "misc/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (const bool ard : {false, true}) {
    try {
      const tessary::RoomText text = tessary::ReadRoomText(bytes, ard, "F.RDT");
      if (text.textOffset != 0 && text.strings.size() != text.pointers.size()) std::abort();
      for (const auto& span : text.strings) {
        if (span.offset > size || span.length > size - span.offset) std::abort();
      }
    } catch (const tessary::FormatError&) {
      // A clear error is the expected outcome for damaged rooms.
    }
  }
  return 0;
}
