#include "formathandlers/archive/archive_repack.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "batch/result_log.h"
#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/archive_tables.h"
#include "formathandlers/archive/compress.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "misc/byte_reader.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/output_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

// Files of this size or more need more than 8189 chunks: the header length
// would no longer fit in 16 bits.
constexpr std::uint64_t kMaxEntryFileSize = 268337152;

// A table ("XorTable.tbl", "decodetable.tbl") in the batch's output
// directory, or beside the log being applied (where the extraction's tables
// were), or beside the source archive.
std::string RepackTablePath(const ProcessContext& ctx, const std::string& name) {
  const std::string logDirectory = ctx.LogPath.empty() ? std::string() : ParentOf(ctx.LogPath);
  return LocateTable(name, ctx.OutputDirectory, {logDirectory, ParentOf(ctx.SourcePath)});
}

// Offsets are stored in units of 8 in 32 bits.
constexpr std::uint64_t kMaxDataOffset = std::uint64_t{0xFFFFFFFF} * grm::kOffsetUnit;

struct RepackEntry {
  EntryRecord record;
  std::string filePath;        // the entry file from the log
  bool rebuild = false;        // false: the stored bytes are carried over
  std::uint64_t fileSize = 0;  // of the entry file, from its opened handle
};

// The stored size of a rebuilt entry: the data header, seeds and chunk sizes
// of its chunks of 32768 bytes, then the file.
std::uint64_t RebuiltSize(std::uint64_t fileSize) {
  const std::uint64_t chunks = fileSize / grm::kChunkSize + 1;
  return grm::kDataHeaderSize + 8 * chunks + fileSize;
}

std::uint64_t PaddedToBlock(std::uint64_t length) {
  return (length + grm::kBlockAlignment - 1) / grm::kBlockAlignment * grm::kBlockAlignment;
}

ByteBuffer ReadTableArea(FileStream& source, const std::string& sourceName) {
  source.Seek(grm::kTableOffset);
  std::uint8_t word[4];
  if (source.ReadSome(word) != 4) ThrowFormatError(sourceName, "too short to hold an entry table");
  const std::uint64_t length = static_cast<std::uint64_t>(LoadU32(word)) * grm::kOffsetUnit;
  if (length < grm::kTableOffset || length > source.Size())
    ThrowFormatError(sourceName, "the first data block lies outside the file");
  ByteBuffer area(static_cast<std::size_t>(length));
  source.Seek(0);
  source.ReadExact(area);
  return area;
}

// The entry's log line: it must be an archive target line; the rest is the
// entry file's path. An entry file that exists is sized from its handle.
RepackEntry PlanEntry(ProcessContext& ctx, const EntryRecord& record, std::size_t line,
                      const std::string& label) {
  auto filePath = ValueAfter(ctx.TakeLogLine(line), logline::kArchiveTarget);
  if (!filePath)
    throw FormatError(label + " needs its line \"" + std::string(logline::kArchiveTarget) +
                      "PATH\" here");
  RepackEntry entry{record, ctx.FromLogFolder(*filePath)};
  entry.rebuild = !entry.filePath.empty() && FileExists(entry.filePath);
  if (!entry.rebuild) return entry;
  // An entry file another section patches is read through the plan.
  const FileStream* held = ctx.Plan.HeldStream(entry.filePath);
  entry.fileSize = held ? held->Size() : FileStream::OpenRead(entry.filePath).Size();
  if (entry.fileSize >= kMaxEntryFileSize)
    ThrowFormatError(entry.filePath, "entry files of " + std::to_string(kMaxEntryFileSize) +
                                         " bytes or more do not fit an archive");
  return entry;
}

// Pairs every record with its log line and checks everything that can be
// checked before the output archive is created: the lines, the entry files,
// the carried-over blocks and the offsets of the rebuilt archive.
std::vector<RepackEntry> PlanEntries(ProcessContext& ctx, const ByteBuffer& area,
                                     const std::string& sourceName, std::size_t first) {
  const std::vector<EntryRecord> records = ReadEntryRecords(area, sourceName);
  if (ctx.LogLines.Count() < first + records.size())
    throw LogLineError(LineLabel(FileNameOf(ctx.LogPath), first - 1) + ": " + sourceName + " has " +
                       std::to_string(records.size()) + " entries, but only " +
                       std::to_string(ctx.LogLines.Count() - first) +
                       " lines follow its source line");
  const std::uint64_t sourceSize = ctx.Source().Size();
  std::vector<RepackEntry> plan;
  std::uint64_t length = area.size();
  for (std::size_t e = 0; e < records.size(); ++e) {
    const std::string label = EntryLabel(sourceName, e, records[e].name);
    RepackEntry entry = PlanEntry(ctx, records[e], first + e, label);
    if (!entry.rebuild &&
        !FitsIn(sourceSize, static_cast<std::uint64_t>(entry.record.dataOffset) * grm::kOffsetUnit,
                entry.record.storedSize))
      ThrowFormatError(label, "data block lies outside the file");
    if (length > kMaxDataOffset)
      ThrowFormatError(label, "the rebuilt archive would place it at byte " +
                                  std::to_string(length) +
                                  ", past what its 32-bit offset can reach");
    // A compressed entry is smaller than a plain one, and an unedited one is
    // carried over: the plain size or the stored one bounds what it takes.
    std::uint64_t size = entry.rebuild ? RebuiltSize(entry.fileSize) : entry.record.storedSize;
    if (entry.rebuild && ctx.CompressEntries)
      size = std::max<std::uint64_t>(size, entry.record.storedSize);
    length = PaddedToBlock(length + size);
    plan.push_back(std::move(entry));
  }
  return plan;
}

// The rebuilt archive, written under a temporary name and renamed into place
// by Commit(): each entry's block (header, data and padding) in one write, the
// table area, with every record patched, once at the end.
class ArchiveWriter final {
 public:
  ArchiveWriter(const std::string& path, std::uint64_t start) : out_(path), length_(start) {}
  std::uint64_t Length() const { return length_; }
  // Writes `block`, first padded with zeros to end on a 2048-byte boundary.
  void AppendBlock(ByteBuffer& block) {
    const std::uint64_t end = length_ + block.size();
    const std::uint64_t rest = end % grm::kBlockAlignment;
    if (rest != 0) block.resize(block.size() + grm::kBlockAlignment - rest, 0);
    out_.Stream().Seek(length_);
    out_.Write(block);
    length_ += block.size();
  }
  void Finish(const ByteBuffer& area) {
    out_.Stream().Seek(0);
    out_.Write(area);
    out_.Commit();
  }

 private:
  OutputFile out_;
  std::uint64_t length_;
};

// Chunks of 32768 bytes of a plain entry; the last one holds the rest, and is
// empty when the size is a multiple of 32768 (0 included).
std::vector<std::uint32_t> PlainChunkSizes(std::uint32_t size) {
  std::vector<std::uint32_t> sizes(size / grm::kChunkSize + 1, grm::kChunkSize);
  sizes.back() = size % grm::kChunkSize;
  return sizes;
}

std::uint32_t HeaderLength(std::size_t chunks) {
  return static_cast<std::uint32_t>(grm::kDataHeaderSize + 8 * chunks);
}

// Fills in the block whose chunk bytes are in place after its header: the
// header, the marker, a fresh seed per chunk (drawn in chunk order), the
// chunk sizes, and each chunk scrambled with its seed. Returns the stored
// size.
std::uint32_t SealBlock(ProcessContext& ctx, const XorTable& table,
                        std::span<const std::uint32_t> chunkSizes, std::uint32_t unpackedSize,
                        std::span<const std::uint8_t, grm::kMarkerSize> marker, ByteBuffer& block) {
  const auto n = static_cast<std::uint32_t>(chunkSizes.size());
  const std::uint32_t headerLength = HeaderLength(n);
  StoreU16(block.data() + grm::kHeaderLengthAt, static_cast<std::uint16_t>(headerLength));
  StoreU16(block.data() + grm::kChunkCountAt, static_cast<std::uint16_t>(n));
  StoreU32(block.data() + grm::kUnpackedSizeAt, unpackedSize);
  std::copy(marker.begin(), marker.end(), block.begin() + grm::kMarkerAt);
  std::size_t at = headerLength;
  for (std::uint32_t c = 0; c < n; ++c) {
    std::uint32_t seed = RandomSeed(ctx.Random);
    StoreU32(block.data() + grm::kDataHeaderSize + 4 * c, seed);
    StoreU32(block.data() + grm::kDataHeaderSize + 4 * (n + c), chunkSizes[c]);
    XorChunk({block.data() + at, chunkSizes[c]}, seed, table);
    at += chunkSizes[c];
  }
  return static_cast<std::uint32_t>(block.size());
}

// "NotComp" and its zero byte, each XORed with the size modulo 20.
std::array<std::uint8_t, grm::kMarkerSize> PlainMarker(std::uint32_t size) {
  std::array<std::uint8_t, grm::kMarkerSize> marker{};
  for (std::size_t i = 0; i < marker.size(); ++i)
    marker[i] = static_cast<std::uint8_t>("NotComp"[i] ^ (size % 20));
  return marker;
}

// The entry file's bytes, read whole; one another section patches is read
// through the plan.
void ReadEntryFile(ProcessContext& ctx, const RepackEntry& entry, std::span<std::uint8_t> into) {
  std::optional<FileStream> opened;
  FileStream* held = ctx.Plan.HeldStream(entry.filePath);
  FileStream& file = held ? *held : opened.emplace(FileStream::OpenRead(entry.filePath));
  if (file.Size() != entry.fileSize)
    ThrowFormatError(entry.filePath, "changed while the archive was being rebuilt");
  file.Seek(0);
  file.ReadExact(into);
}

// An entry file stored plain, in chunks of 32768 with fresh seeds: its block
// is the header, the seeds, the chunk sizes and the scrambled file, read
// straight into place. Returns the stored size.
std::uint32_t PlainBlock(ProcessContext& ctx, const XorTable& table, const RepackEntry& entry,
                         ByteBuffer& block) {
  const auto size = static_cast<std::uint32_t>(entry.fileSize);
  const std::vector<std::uint32_t> sizes = PlainChunkSizes(size);
  const std::uint32_t headerLength = HeaderLength(sizes.size());
  block.assign(headerLength + static_cast<std::size_t>(size), 0);
  ReadEntryFile(ctx, entry, {block.data() + headerLength, size});
  return SealBlock(ctx, table, sizes, size, PlainMarker(size), block);
}

void CarriedBlock(FileStream& source, const EntryRecord& record, ByteBuffer& block) {
  block.resize(record.storedSize);
  source.Seek(static_cast<std::uint64_t>(record.dataOffset) * grm::kOffsetUnit);
  source.ReadExact(block);
}

// Everything the rebuild needs, planned before it runs.
struct RepackJob {
  XorTable table;
  ByteBuffer area;
  std::vector<RepackEntry> entries;
  std::string outPath;
  std::string sourceName;
  std::optional<ByteBuffer> dictionary{};  // with --compress: "decodetable.tbl"
};

// True when the source archive's block `stored` of an entry unpacks to
// `content`, as extraction would write it; a block that cannot be unpacked
// (it is damaged) does not, and the entry file counts as edited.
bool UnpacksTo(const RepackJob& job, const ByteBuffer& stored, std::uint32_t storedSize,
               std::span<const std::uint8_t> content) {
  try {
    const DataBlock block = ReadDataBlock(stored, {0, 0, storedSize, {}}, job.sourceName, 0);
    // A plain block extracts to all its chunk bytes, whatever its header's
    // unpacked size says; a compressed one to exactly that size.
    const bool plain = block.unpackedSize <= storedSize;
    if (plain ? block.chunkBytesLength != content.size() : block.unpackedSize != content.size())
      return false;
    ByteBuffer unscrambled(static_cast<std::size_t>(block.chunkBytesLength));
    XorChunksInto({stored.data() + block.chunkBytesOffset, unscrambled.size()}, unscrambled.data(),
                  block.seeds, block.chunkSizes, job.table);
    if (plain) return std::ranges::equal(unscrambled, content);
    ByteBuffer unpacked;
    DecompressWithDictionary(unscrambled, unpacked, block.unpackedSize, block.chunkSizes,
                             *job.dictionary);
    return std::ranges::equal(unpacked, content);
  } catch (const FormatError&) {
    return false;
  }
}

// The decoder is the judge: a compressed form that does not give the entry
// back is an internal error, raised before the rebuilt archive takes its name.
void CheckDecodesBack(const CompressedChunks& packed, std::span<const std::uint8_t> content,
                      std::span<const std::uint8_t> dictionary, const std::string& name) {
  ByteBuffer decoded;
  bool decodes = true;
  try {
    DecompressWithDictionary(packed.bytes, decoded, static_cast<std::uint32_t>(content.size()),
                             packed.chunkSizes, dictionary);
  } catch (const FormatError&) {
    decodes = false;
  }
  if (!decodes || !std::equal(decoded.begin(), decoded.end(), content.begin(), content.end()))
    throw std::logic_error("internal error: the compressed form of " + name +
                           " does not decode back to it; the archive was not written");
}

// A compressed block keeps the marker of its source block when that was
// stored compressed too (whatever the game writes there); otherwise zeros.
std::array<std::uint8_t, grm::kMarkerSize> CompressedMarker(const ByteBuffer& stored,
                                                            std::uint32_t storedSize) {
  std::array<std::uint8_t, grm::kMarkerSize> marker{};
  if (stored.size() >= grm::kDataHeaderSize &&
      LoadU32(stored.data() + grm::kUnpackedSizeAt) > storedSize)
    std::copy_n(stored.begin() + grm::kMarkerAt, marker.size(), marker.begin());
  return marker;
}

// With --compress: an entry file that is what its source block unpacks to is
// carried over as it was stored. An edited one is compressed, and stored so
// when that makes it smaller than its unpacked size (extraction's rule),
// else plain. Every compressed chunk is decoded again and compared first.
std::uint32_t CompressedBlock(ProcessContext& ctx, const RepackJob& job, FileStream& source,
                              const RepackEntry& entry, ByteBuffer& block) {
  const auto size = static_cast<std::uint32_t>(entry.fileSize);
  ByteBuffer content(size);
  ReadEntryFile(ctx, entry, content);
  // The source block, where it lies inside the source archive.
  ByteBuffer stored;
  const EntryRecord& record = entry.record;
  if (FitsIn(source.Size(), std::uint64_t{record.dataOffset} * grm::kOffsetUnit, record.storedSize))
    CarriedBlock(source, record, stored);
  if (!ctx.CompressUnchangedToo && UnpacksTo(job, stored, record.storedSize, content)) {
    block = std::move(stored);
    return record.storedSize;
  }
  ctx.Status.SetCurrentMessage("Compressing " + record.name + " from " + job.sourceName + " ...");
  ctx.Status.PumpEvents();
  const CompressedChunks packed = CompressWithDictionary(content, *job.dictionary);
  const std::uint64_t storedSize = HeaderLength(packed.chunkSizes.size()) + packed.bytes.size();
  if (storedSize >= size) {
    const std::vector<std::uint32_t> sizes = PlainChunkSizes(size);
    block.assign(HeaderLength(sizes.size()), 0);
    block.insert(block.end(), content.begin(), content.end());
    return SealBlock(ctx, job.table, sizes, size, PlainMarker(size), block);
  }
  CheckDecodesBack(packed, content, *job.dictionary, record.name);
  block.assign(HeaderLength(packed.chunkSizes.size()), 0);
  block.insert(block.end(), packed.bytes.begin(), packed.bytes.end());
  return SealBlock(ctx, job.table, packed.chunkSizes, size,
                   CompressedMarker(stored, record.storedSize), block);
}

// Writes the rebuilt archive: carried blocks are read again from the source
// held by the plan, rebuilt ones from their entry files.
void WriteArchive(ProcessContext& ctx, FileStream& source, RepackJob& job) {
  ArchiveWriter out(job.outPath, job.area.size());
  ctx.Status.SetBarPosition(Bar::Progress, 0);
  ctx.Status.SetBarMaximum(Bar::Progress, 100);
  ctx.Status.SetCurrentMessage("Processing " + FileNameOf(job.outPath) + " ...");
  ctx.Status.PumpEvents();
  ByteBuffer block;
  for (std::size_t e = 0; e < job.entries.size(); ++e) {
    const RepackEntry& entry = job.entries[e];
    const auto newOffset = static_cast<std::uint32_t>(out.Length() / grm::kOffsetUnit);
    std::uint32_t storedSize = entry.record.storedSize;
    if (entry.rebuild) {
      ctx.Status.SetCurrentMessage("Xoring " + entry.record.name + " from " + job.sourceName +
                                   " ...");
      ctx.Status.PumpEvents();
      storedSize = job.dictionary ? CompressedBlock(ctx, job, source, entry, block)
                                  : PlainBlock(ctx, job.table, entry, block);
    } else {
      CarriedBlock(source, entry.record, block);
    }
    out.AppendBlock(block);
    StoreU32(job.area.data() + entry.record.recordOffset + grm::kDataOffsetAt, newOffset);
    StoreU32(job.area.data() + entry.record.recordOffset + grm::kStoredSizeAt, storedSize);
    ctx.Status.SetBarPosition(Bar::Progress, static_cast<int>(e * 100 / job.entries.size()));
    ctx.Status.PumpEvents();
  }
  out.Finish(job.area);
}

}  // namespace

std::size_t RepackArchive(ProcessContext& ctx, const std::string& path, std::size_t index) {
  FileStream& source = ctx.Source();
  const std::string sourceName = FileNameOf(ctx.SourcePath);
  auto job = std::make_shared<RepackJob>(
      RepackJob{XorTable::Load(RepackTablePath(ctx, kXorTableName)), {}, {}, {}, sourceName});
  if (ctx.CompressEntries) job->dictionary = LoadDictionary(RepackTablePath(ctx, kDecodeTableName));
  job->area = ReadTableArea(source, sourceName);
  job->entries = PlanEntries(ctx, job->area, sourceName, index);
  ctx.TakeLogLine(index - 1);  // the rebuilt archive belongs to the source line
  job->outPath = ctx.ClaimOutput(path);
  // Refused now, not at the write: a name held open (the source itself, when
  // the output directory is the archive's own) cannot be replaced.
  CheckReplaceable(job->outPath);

  // One step writes the archive; each entry then gets its result line.
  ctx.Plan.AddWrite(
      ctx.LogLineLabel(), [&ctx, &source, job] { WriteArchive(ctx, source, *job); }, "");
  for (const RepackEntry& entry : job->entries)
    ctx.Plan.AddResult(entry.record.name + " repacked.");
  return index + job->entries.size();
}

}  // namespace tessary
