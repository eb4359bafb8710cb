// Writes the inputs of the whole-process benchmark (bench/e2e.sh):
//   tessary-e2e-inputs DIR [--quick]
// --quick divides every size and count by 16. Large files are written in
// pieces, so only the archives are built whole in memory.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "tests/archive_builder.h"
#include "tests/text_builder.h"
#include "tests/tim_builder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
using namespace tessary::testing;

constexpr std::size_t kMiB = 1 << 20;
constexpr std::size_t kPiece = 4 * kMiB;

std::size_t scale = 1;  // 16 with --quick

class Random final {
 public:
  explicit Random(std::uint64_t seed) : state_(seed | 1) {}
  std::uint64_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return state_;
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  void Fill(std::uint8_t* at, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
      const std::uint64_t v = Next();
      std::memcpy(at + i, &v, std::min<std::size_t>(8, n - i));
    }
  }

 private:
  std::uint64_t state_;
};

void Save(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  std::cout << path.string() << " (" << bytes.size() << " bytes)\n";
}

// Writes `size` bytes made piece by piece by `make` (which fills its buffer).
void SaveInPieces(const fs::path& path, std::size_t size,
                  const std::function<void(Bytes&, std::size_t at)>& make) {
  std::ofstream out(path, std::ios::binary);
  Bytes piece;
  for (std::size_t at = 0; at < size; at += kPiece) {
    piece.assign(std::min(kPiece, size - at), 0);
    make(piece, at);
    out.write(reinterpret_cast<const char*>(piece.data()),
              static_cast<std::streamsize>(piece.size()));
  }
  std::cout << path.string() << " (" << size << " bytes)\n";
}

// Game-like data: runs of small integers as 16- and 32-bit words (tables,
// coordinates), zero runs (padding), random stretches (packed data), text,
// and one small TIM at the start of every 4 MiB piece.
void GameLikePiece(Bytes& piece, std::size_t at, Random& random) {
  std::size_t i = 0;
  while (i < piece.size()) {
    const std::size_t run = std::min<std::size_t>(64 + random.Below(8192), piece.size() - i);
    const std::size_t kind = random.Below(8);
    // Integer runs end in two zero words: an ID 0x10 among their last words
    // then meets zero lengths, not text or random words as lengths (a block
    // said to end past the end of the file stops the scan there).
    const std::size_t words = run > 8 ? run - 8 : 0;
    if (kind < 3) {  // 32-bit words 0..255, 0x10 among them
      for (std::size_t k = 0; k + 4 <= words; k += 4)
        piece[i + k] = static_cast<std::uint8_t>(random.Below(256));
    } else if (kind < 5) {  // 16-bit words 0..1023
      for (std::size_t k = 0; k + 2 <= words; k += 2) {
        const auto v = static_cast<std::uint16_t>(random.Below(1024));
        piece[i + k] = static_cast<std::uint8_t>(v);
        piece[i + k + 1] = static_cast<std::uint8_t>(v >> 8);
      }
    } else if (kind == 6) {
      random.Fill(piece.data() + i, run);
    } else if (kind == 7) {
      const Bytes text = TextLikeData(run, static_cast<std::uint32_t>(random.Next()));
      std::copy(text.begin(), text.end(), piece.begin() + static_cast<std::ptrdiff_t>(i));
    }  // kind 5: zeros, as assigned
    i += run;
  }
  const auto mode = static_cast<std::uint32_t>(at / kPiece % 3);
  const Bytes tim = BuildTim({.mode = mode,
                              .clutEntries = mode == 0   ? 16
                                             : mode == 1 ? 256
                                                         : 0,
                              .width = 16,
                              .height = 16});
  const std::size_t offset = 1000 + random.Below(2 * kMiB);
  if (offset + tim.size() > piece.size()) return;
  std::fill_n(piece.begin() + static_cast<std::ptrdiff_t>(offset - 4), 4, 0);  // always reached
  std::copy(tim.begin(), tim.end(), piece.begin() + static_cast<std::ptrdiff_t>(offset));
}

// Every fourth word the TIM ID 0x10, followed by a plausible flags word
// (modes 0..3, with or without a CLUT) and two random words.
void DensePiece(Bytes& piece, Random& random) {
  random.Fill(piece.data(), piece.size());
  for (std::size_t i = 0; i + 16 <= piece.size(); i += 16) {
    std::memset(piece.data() + i, 0, 8);
    piece[i] = 0x10;
    piece[i + 4] = static_cast<std::uint8_t>(random.Below(4) | (random.Below(2) << 3));
  }
}

// Small TIMs, each followed by a few filler words: the scan steps over them
// 4 bytes at a time, so it stands on every ID.
void SaveManyTims(const fs::path& path, std::size_t count) {
  Bytes out;
  Random random(7);
  for (std::size_t k = 0; k < count; ++k) {
    const bool eightBit = k % 4 == 3;
    const Bytes tim = BuildTim({.mode = eightBit ? 1u : 0u,
                                .clutEntries = eightBit ? 256 : 16,
                                .width = static_cast<std::uint16_t>(4 + random.Below(13)),
                                .height = static_cast<std::uint16_t>(8 + random.Below(25)),
                                .fill = static_cast<std::uint8_t>(k)});
    out.insert(out.end(), tim.begin(), tim.end());
    out.resize(out.size() + 4 * (1 + random.Below(4)), 0xEE);
  }
  Save(path, out);
}

// "PREFIX" N "." EXTENSION (formatted, not concatenated: GCC 12 warns falsely
// about chains of std::string +).
std::string EntryName(const char* prefix, std::size_t n, const char* extension) {
  char name[64];
  std::snprintf(name, sizeof name, "%s%zu.%s", prefix, n, extension);
  return name;
}

void SaveTables(const fs::path& dir) {
  Save(dir / "XorTable.tbl", SyntheticXorTable());
  Save(dir / "decodetable.tbl", SyntheticDictionary());
}

// Entries of 32..1023 bytes; one in four text compressed with the dictionary.
void SaveTinyArchive(const fs::path& dir, std::size_t count) {
  static const char* const kExtensions[] = {"bin", "msg", "tim", "snd"};
  std::vector<ArchiveEntry> entries;
  Random random(11);
  for (std::size_t e = 0; e < count; ++e) {
    const std::string name = EntryName("e", e, kExtensions[e % 4]);
    if (e % 4 == 1) {
      entries.push_back(
          {name, TextLikeData(256 + random.Below(768), static_cast<std::uint32_t>(e)), true});
    } else {
      Bytes content(32 + random.Below(992));
      random.Fill(content.data(), content.size());
      entries.push_back({name, content});
    }
  }
  Save(dir / "TINY.DAT", BuildArchive(entries, SyntheticXorTable(), SyntheticDictionary()));
  SaveTables(dir);
}

// Entries of 4 MiB; one in eight text compressed with the dictionary.
void SaveBigArchive(const fs::path& dir, std::size_t size) {
  std::vector<ArchiveEntry> entries;
  Random random(13);
  for (std::size_t e = 0; e < size / (4 * kMiB); ++e) {
    if (e % 8 == 7) {
      entries.push_back(
          {EntryName("t", e, "msg"), TextLikeData(4 * kMiB, static_cast<std::uint32_t>(e)), true});
    } else {
      Bytes content(4 * kMiB);
      random.Fill(content.data(), content.size());
      entries.push_back({EntryName("r", e, "bin"), std::move(content)});
    }
  }
  Save(dir / "BIG.DAT", BuildArchive(entries, SyntheticXorTable(), SyntheticDictionary()));
  SaveTables(dir);
}

// A game file of `sections` blocks, each a pointer table of `strings` entries
// and its strings (letters, digits, '_' and '.': every one has a game code),
// with the description naming them and the decoding and encoding tables.
void SaveRes(const fs::path& dir, std::size_t sections, std::size_t strings) {
  static const char* const kWords[] = {"the", "gate", "of", "Grimhold", "opens", "knight", "key"};
  const auto first = static_cast<std::uint16_t>(2 * strings);
  Bytes game;
  std::string description = "Game:    " + (dir / "GAME.BIN").string() +
                            "\r\nTable:   " + (dir / "dec.tbl").string() + "\r\n";
  Random random(17);
  char line[96];
  for (std::size_t k = 0; k < sections; ++k) {
    std::vector<std::string> texts;
    std::size_t length = 0;
    for (std::size_t j = 0; j < strings; ++j) {
      std::string s = kWords[random.Below(7)];
      for (std::size_t w = random.Below(3); w > 0; --w)
        s += std::string("_") + kWords[random.Below(7)];
      texts.push_back(s + std::to_string(j) + ".");
      length += texts.back().size();
    }
    const auto offset = static_cast<std::uint32_t>(game.size());
    const Bytes block = BuildGame(texts, first);
    game.insert(game.end(), block.begin(), block.end());
    std::snprintf(line, sizeof line, "[Text %zu]\r\nRange = 0x%X : 0x%X\r\nTable = 0x%X : 0x%X\r\n",
                  k, offset + kBase, static_cast<unsigned>(offset + kBase + first + length),
                  offset + kTable, static_cast<unsigned>(2 * strings));
    description += line + std::string("Final = 1\r\n[End]\r\n\r\n");
  }
  Save(dir / "GAME.BIN", game);
  Save(dir / "GAME.res", Bytes(description.begin(), description.end()));
  Save(dir / "dec.tbl", IdentityTable());
  Save(dir / "enc.tbl", EncodingTable(0x5F));
}

// 16-bit TIMs of 1024 x 512 without a CLUT.
void SaveBigTims(const fs::path& dir, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%03zu.TIM", k);
    Save(dir / name, BuildTim({.mode = 2,
                               .clutEntries = 0,
                               .width = 1024,
                               .height = 512,
                               .fill = static_cast<std::uint8_t>(k * 37)}));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::string(argv[2]) != "--quick") || argc > 3) {
    std::cerr << "usage: tessary-e2e-inputs DIR [--quick]\n";
    return 2;
  }
  if (argc == 3) scale = 16;
  const fs::path dir = argv[1];
  for (const char* folder : {"tims", "tiny", "big", "res", "tim16"})
    fs::create_directories(dir / folder);
  Random random(1), gameRandom(2), denseRandom(3);
  SaveInPieces(dir / "random.bin", 1024 * kMiB / scale,
               [&](Bytes& piece, std::size_t) { random.Fill(piece.data(), piece.size()); });
  SaveInPieces(dir / "game.bin", 1024 * kMiB / scale,
               [&](Bytes& piece, std::size_t at) { GameLikePiece(piece, at, gameRandom); });
  SaveInPieces(dir / "dense.bin", 64 * kMiB / scale,
               [&](Bytes& piece, std::size_t) { DensePiece(piece, denseRandom); });
  SaveManyTims(dir / "tims" / "TIMS.BIN", 100000 / scale);
  SaveTinyArchive(dir / "tiny", 100000 / scale);
  SaveBigArchive(dir / "big", 1024 * kMiB / scale);
  SaveRes(dir / "res", 4000 / scale, 1000);
  SaveBigTims(dir / "tim16", (100 + scale - 1) / scale);
  return 0;
}
