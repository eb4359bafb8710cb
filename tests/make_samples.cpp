// Writes the sample files of samples/ and the fuzz seeds (run by hand when the
// samples change; the outputs are committed):
//   tessary-make-samples SAMPLES_DIR FUZZ_CORPUS_DIR
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tests/archive_builder.h"
#include "tests/text_builder.h"
#include "tests/tim_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using tessary::testing::BuildTim;
using tessary::testing::TimShape;

// Deterministic filler that looks like packed game data.
void AppendFiller(Bytes& out, std::size_t count, std::uint32_t& state) {
  for (std::size_t i = 0; i < count; ++i) {
    state = state * 1103515245u + 12345u;
    out.push_back(static_cast<std::uint8_t>(state >> 16));
  }
}

void Save(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  std::cout << path.string() << " (" << bytes.size() << " bytes)\n";
}

Bytes SampleTims() {
  const TimShape shapes[] = {
      {.mode = 0, .clutEntries = 16, .width = 4, .height = 16, .fill = 0x11},
      {.mode = 1, .clutEntries = 256, .width = 8, .height = 8, .fill = 0x40},
      {.mode = 2, .clutEntries = 0, .width = 8, .height = 8, .fill = 0x21},
      {.mode = 3, .clutEntries = 0, .width = 4, .height = 4, .fill = 0x80},
  };
  std::uint32_t state = 2026;
  Bytes out;
  AppendFiller(out, 512, state);
  for (const auto& shape : shapes) {
    out.insert(out.end(), {0, 0, 0, 0});  // a zero word before the ID: always reached
    const Bytes tim = BuildTim(shape);
    out.insert(out.end(), tim.begin(), tim.end());
    AppendFiller(out, 301, state);
  }
  return out;
}

// A small archive with compressed and plain entries, for the sample round
// trip: blocks and the file on whole sectors of 2048 bytes, as on the disc.
Bytes SampleArchive() {
  using tessary::testing::TextLikeData;
  constexpr std::size_t kSector = 2048;
  Bytes archive = tessary::testing::BuildArchive(
      {{"intro.msg", TextLikeData(40000, 31), true},
       {"hero.tim", BuildTim({.mode = 1, .clutEntries = 256, .width = 8, .height = 8})},
       {"map.msg", TextLikeData(2500, 32), true},
       {"notes.txt", TextLikeData(700, 33)}},
      tessary::testing::SyntheticXorTable(), tessary::testing::SyntheticDictionary(), 2026,
      kSector);
  archive.resize((archive.size() + kSector - 1) / kSector * kSector, 0);
  return archive;
}

// Room text as the game stores it: a blank is the byte 0x00.
std::string RoomString(std::string text) {
  for (char& c : text) {
    if (c == ' ') c = '\0';
  }
  return text;
}

// A room whose strings end in the end code 0xFE and one more byte.
Bytes SampleRoom() {
  return tessary::testing::BuildRoom(
      {RoomString("Welcome to the keep of Grimhold."), RoomString("The gate is shut."), "",
       RoomString("Find the iron key.") + std::string("\xFE\x01", 2)},
      0x80, 32);
}

// The room table: identity, with 0x00 read as a blank.
Bytes SampleRoomTable() {
  Bytes table = tessary::testing::IdentityTable();
  table[0] = ' ';
  return table;
}

// A translator's text table for the rooms, UTF-8: the blank is 0x00, the
// printable ASCII letters are themselves, 0x80 is "é"; "<" and ">" are left
// out (the end code 0xFE and what has no entry come out as tags).
std::string SampleTextTable() {
  std::string table = "# Grimhold 3 rooms\r\n00= \r\n";
  for (int c = 0x21; c < 0x7F; ++c) {
    if (c == '<' || c == '>') continue;
    char line[16];
    std::snprintf(line, sizeof line, "%02X=%c\r\n", c, c);
    table += line;
  }
  return table + "80=\xC3\xA9\r\n";
}

void SaveTextSamples(const std::filesystem::path& samples, const std::filesystem::path& corpus) {
  using namespace tessary::testing;
  Save(samples / "ROOM01.RDT", SampleRoom());
  Save(samples / "ROOM01.ARD", BuildArd(SampleRoom(), 11, 2500));
  Save(samples / "room.tbl", SampleRoomTable());
  const std::string letters = SampleTextTable();
  Save(samples / "letters.txt", Bytes(letters.begin(), letters.end()));
  Save(samples / "MESSAGE.BIN",
       BuildGame({"Hello_traveller.", "Mind_the_{stairs}.", "", "Farewell."}, 4));
  Save(samples / "message-decode.tbl", IdentityTable());
  Save(samples / "message-encode.tbl", EncodingTable(0x3B));
  Save(corpus / "room" / "room.rdt", SampleRoom());
  Save(corpus / "room" / "room.ard", BuildArd(BuildRoom({"ab", "c\xFE"}), 9, 100));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tessary-make-samples SAMPLES_DIR FUZZ_CORPUS_DIR\n";
    return 2;
  }
  const std::filesystem::path samples(argv[1]), corpus(argv[2]);
  std::filesystem::create_directories(corpus / "tim");
  std::filesystem::create_directories(corpus / "log");
  std::filesystem::create_directories(corpus / "archive");
  std::filesystem::create_directories(corpus / "decompress");
  std::filesystem::create_directories(corpus / "room");
  SaveTextSamples(samples, corpus);
  Save(samples / "tims.bin", SampleTims());
  Save(corpus / "tim" / "minimal-4bit.tim", BuildTim({}));
  Save(corpus / "tim" / "direct-24bit.tim",
       BuildTim({.mode = 3, .clutEntries = 0, .width = 3, .height = 2}));
  const std::string log =
      "#Format: STIM\r\n#Source: C:\\data\\FILE.BIN\r\n"
      "#Target TIM: 0001A2C0:00008214 C:\\out\\FILE_0.tim\r\n#CodeTable: t.tbl\r\n"
      "  #Format:\tGRM\r\n#Target : x\n#Target TIM: zz\r";
  Save(corpus / "log" / "sections.log", Bytes(log.begin(), log.end()));
  Save(samples / "XorTable.tbl", tessary::testing::SyntheticXorTable());
  Save(samples / "decodetable.tbl", tessary::testing::SyntheticDictionary());
  Save(samples / "ROOM.DAT", SampleArchive());
  Save(corpus / "archive" / "small.dat",
       tessary::testing::BuildArchive(
           {{"a.tim", BuildTim({})}, {"b.txt", tessary::testing::TextLikeData(900, 4), true}},
           tessary::testing::SyntheticXorTable(), Bytes(4096, 0)));
  const auto packed =
      tessary::testing::LzssEncoder(Bytes(4096, 0)).Encode(tessary::testing::TextLikeData(300, 5));
  Bytes seed = {100, 0, 1, static_cast<std::uint8_t>(packed.chunkSizes[0]),
                static_cast<std::uint8_t>(packed.chunkSizes[0] >> 8)};
  seed.insert(seed.end(), packed.bytes.begin(), packed.bytes.end());
  Save(corpus / "decompress" / "text.bin", seed);
  return 0;
}
