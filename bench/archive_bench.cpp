// The key stream, the decompressor (against zlib's inflate as a yardstick) and
// whole-archive extraction.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <fstream>

#include "batch/process_context.h"
#include "bench/bench_support.h"
#include "formathandlers/archive/archive_extract.h"
#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "misc/paths.h"
#include "tests/archive_builder.h"

namespace tessary::bench {
namespace {

constexpr std::size_t kXorSize = 256 * kMiB;
constexpr std::size_t kTextSize = 64 * kMiB;
constexpr std::size_t kArchiveSize = 256 * kMiB;
constexpr std::size_t kArchiveEntries = 128;

void BM_XorChunk(benchmark::State& state) {
  static std::vector<std::uint8_t> buffer = RandomBytes(kXorSize, 3);
  const XorTable table = XorTable::FromBytes(testing::SyntheticXorTable(), "XorTable.tbl");
  std::uint32_t seed = 1;
  for (auto _ : state) {
    for (std::size_t at = 0; at < kXorSize; at += grm::kChunkSize) {
      std::uint32_t generator = seed++;
      XorChunk({buffer.data() + at, grm::kChunkSize}, generator, table);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kXorSize));
}
BENCHMARK(BM_XorChunk)->Unit(benchmark::kMillisecond)->UseRealTime();

struct TextCorpus {
  std::vector<std::uint8_t> text = testing::TextLikeData(kTextSize, 41);
  std::vector<std::uint8_t> dictionary = testing::SyntheticDictionary();
  testing::Compressed packed = testing::LzssEncoder(dictionary).Encode(text);
};

const TextCorpus& Corpus() {
  static const TextCorpus corpus;
  return corpus;
}

void BM_Decompress(benchmark::State& state) {
  const TextCorpus& corpus = Corpus();
  ByteBuffer out;
  for (auto _ : state) {
    DecompressWithDictionary(corpus.packed.bytes, out, static_cast<std::uint32_t>(kTextSize),
                             corpus.packed.chunkSizes, corpus.dictionary);
    benchmark::DoNotOptimize(out.data());
  }
  if (out != corpus.text) state.SkipWithError("decoded bytes differ");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextSize));
}
BENCHMARK(BM_Decompress)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibInflate(benchmark::State& state) {
  const TextCorpus& corpus = Corpus();
  uLongf packedSize = compressBound(kTextSize);
  std::vector<Bytef> packed(packedSize);
  compress2(packed.data(), &packedSize, corpus.text.data(), kTextSize, 6);
  std::vector<Bytef> out(kTextSize);
  for (auto _ : state) {
    uLongf outSize = kTextSize;
    uncompress(out.data(), &outSize, packed.data(), packedSize);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTextSize));
}
BENCHMARK(BM_ZlibInflate)->Unit(benchmark::kMillisecond)->UseRealTime();

// Image-like data: rows of a few colours with runs and repeats, as pixel data
// of indexed images is.
std::vector<std::uint8_t> ImageLikeData(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> data(size);
  std::uint32_t state = seed;
  std::uint8_t colour = 0;
  for (std::size_t i = 0; i < size;) {
    state = state * 1103515245u + 12345u;
    const std::size_t run = 1 + (state >> 16) % 24;
    if ((state >> 8) % 3 == 0) colour = static_cast<std::uint8_t>(state >> 24) & 0x0F;
    for (std::size_t k = 0; k < run && i < size; ++k, ++i) data[i] = colour;
  }
  return data;
}

// Inputs of BM_ExtractArchive: 0, entries mostly compressed (text-like and
// image-like, made with the test encoder); 1, plain random entries (the easy
// case).
const std::string& ArchiveInput(int kind) {
  static std::string paths[2];
  if (!paths[kind].empty()) return paths[kind];
  const std::size_t entrySize = kArchiveSize / kArchiveEntries;
  std::vector<testing::ArchiveEntry> entries;
  for (std::size_t e = 0; e < kArchiveEntries; ++e) {
    const auto seed = static_cast<std::uint32_t>(e);
    if (kind == 1) {
      entries.push_back({std::to_string(e) + ".bin", RandomBytes(entrySize, seed)});
    } else if (e % 8 == 7) {
      entries.push_back({std::to_string(e) + ".bin", RandomBytes(entrySize / 4, seed)});
    } else {
      const bool text = e % 2 == 0;
      entries.push_back(
          {std::to_string(e) + (text ? ".msg" : ".tim"),
           text ? testing::TextLikeData(entrySize, seed) : ImageLikeData(entrySize, seed), true});
    }
  }
  paths[kind] = WriteScratchFile(
      kind == 0 ? "PACKED.DAT" : "PLAIN.DAT",
      testing::BuildArchive(entries, testing::SyntheticXorTable(), testing::SyntheticDictionary()));
  return paths[kind];
}

void BM_ExtractArchive(benchmark::State& state) {
  const std::string& input = ArchiveInput(static_cast<int>(state.range(0)));
  const auto outDir = ScratchDirectory() / "extracted";
  std::filesystem::create_directories(outDir);
  for (const auto& [name, bytes] : {std::pair{"XorTable.tbl", testing::SyntheticXorTable()},
                                    std::pair{"decodetable.tbl", testing::SyntheticDictionary()}})
    WriteScratchFile(std::string("extracted/") + name, bytes);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(outDir);
  SilentFrontEnd frontEnd;
  ProcessContext ctx(frontEnd, frontEnd);
  ctx.OutputDirectory = outDir.string();
  ExtractArchive(ctx, input);  // warm up: the first pages of the page cache are slow to come by
  std::uint64_t unpacked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(outDir))
    if (entry.is_regular_file() && entry.path().extension() != ".tbl")
      unpacked += entry.file_size();
  for (auto _ : state) {
    state.PauseTiming();
    for (const char* folder : {"BIN", "MSG", "TIM"}) std::filesystem::remove_all(outDir / folder);
    ctx.ResultLog.Clear();
    ctx.ClaimedOutputs.Clear();
    state.ResumeTiming();
    ExtractArchive(ctx, input);
  }
  std::filesystem::current_path(previous);
  if (ctx.ResultLog.Count() != kArchiveEntries) state.SkipWithError("entries were missed");
  // Bytes of output: what the user gets out of the archive.
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * unpacked));
}
BENCHMARK(BM_ExtractArchive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
