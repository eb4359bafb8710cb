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

// A 256 MiB archive of plain entries, with its tables beside the outputs.
const std::string& ArchiveInput() {
  static const std::string path = [] {
    const std::size_t entrySize = kArchiveSize / kArchiveEntries;
    std::vector<testing::ArchiveEntry> entries;
    for (std::size_t e = 0; e < kArchiveEntries; ++e)
      entries.push_back(
          {std::to_string(e) + ".bin", RandomBytes(entrySize, static_cast<std::uint32_t>(e))});
    return WriteScratchFile("BIG.DAT",
                            testing::BuildArchive(entries, testing::SyntheticXorTable(), {}));
  }();
  return path;
}

void BM_ExtractArchive(benchmark::State& state) {
  const std::string& input = ArchiveInput();
  const auto outDir = ScratchDirectory() / "extracted";
  std::filesystem::create_directories(outDir);
  const std::string table = WriteScratchFile("XorTable.tbl", testing::SyntheticXorTable());
  std::filesystem::copy_file(table, outDir / "XorTable.tbl",
                             std::filesystem::copy_options::overwrite_existing);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(outDir);
  SilentFrontEnd frontEnd;
  ProcessContext ctx(frontEnd, frontEnd);
  ctx.OutputDirectory = outDir.string();
  ExtractArchive(ctx, input);  // warm up: the first pages of the page cache are slow to come by
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove_all(outDir / "BIN");  // every run writes fresh files, no REP prefixes
    ctx.ResultLog.Clear();
    state.ResumeTiming();
    ExtractArchive(ctx, input);
  }
  std::filesystem::current_path(previous);
  if (ctx.ResultLog.Count() != kArchiveEntries) state.SkipWithError("entries were missed");
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kArchiveSize));
}
BENCHMARK(BM_ExtractArchive)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tessary::bench
