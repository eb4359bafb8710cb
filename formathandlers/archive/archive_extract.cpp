#include "formathandlers/archive/archive_extract.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <system_error>

#include "batch/result_log.h"
#include "formathandlers/archive/archive_layout.h"
#include "formathandlers/archive/archive_tables.h"
#include "formathandlers/archive/decompress.h"
#include "formathandlers/archive/xor_stream.h"
#include "misc/errors.h"
#include "misc/file_stream.h"
#include "misc/mapped_file.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/save_queue.h"
#include "misc/staged_folder.h"

namespace tessary {

namespace {

// The part of NAME after its last '.', upper-cased, unless a '\' or ':'
// follows that dot.
std::string ExtensionFolder(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || name.find_first_of("\\:", dot) != std::string::npos) return {};
  std::string ext = name.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}

// The part of NAME after its last '\' or ':'.
std::string FinalComponent(const std::string& name) {
  const auto cut = name.find_last_of("\\:");
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

// Entry names are used as file names; one that climbs out of the output
// directory is refused rather than written outside it.
bool LeavesOutputDirectory(const std::string& name) {
  for (std::size_t start = 0;;) {
    const auto end = name.find_first_of("/\\:", start);
    // For the last part, npos - start reaches past the end: the rest is compared.
    if (name.compare(start, end - start, "..") == 0) return true;
    if (end == std::string::npos) return false;
    start = end + 1;
  }
}

// Extension folders by path, with the staged ones (see FolderFor).
using Folders = std::map<std::string, std::unique_ptr<StagedFolder>>;

struct ArchiveRun {
  ProcessContext& ctx;
  const MappedFile& archive;            // for the records and block headers
  std::span<const std::uint8_t> bytes;  // the archive's
  FileStream& chunks;                   // for the chunk bytes, read entry by entry
  std::string archiveName;
  std::string base;
  std::string directory;  // the archive's, where the tables may also be
  XorTable table;
  std::uint16_t repeatCounter = 0;
  std::optional<ByteBuffer> dictionary{};  // "decodetable.tbl", read at the first compressed entry
  Folders folders{};                       // those met so far
  SaveQueue saves{};                       // into staged folders; done before they are published
  ByteBuffer stored{};                     // reused across entries
  ByteBuffer unpacked{};
};

// The entry's extension folder, looked at when the archive's first entry for
// it comes. One that does not exist yet is staged: its files are written
// straight into a hidden folder that takes the folder's name when the archive
// is done, which saves a rename per file.
Folders::value_type& FolderFor(ArchiveRun& run, const std::string& name) {
  std::string folder = JoinPath(run.ctx.OutputDirectory, SafeFileName(ExtensionFolder(name)));
  auto [it, added] = run.folders.try_emplace(std::move(folder));
  if (added) {
    it->second = StagedFolder::Begin(it->first);
    std::error_code error;  // a folder that cannot be made shows up as "Cannot create file"
    if (!it->second) std::filesystem::create_directory(NativePath(it->first), error);
  }
  return *it;
}

// "REPn_NAME" in DIRECTORY, n counting such entries in the archive.
std::string RepeatPath(ArchiveRun& run, const std::string& directory, const std::string& fileName) {
  return run.ctx.ClaimOutput(directory + "REP" + std::to_string(run.repeatCounter++) + "_" +
                             fileName);
}

// What an entry's extraction reports once its file is written: its result
// line, its log line and the count.
struct EntryReport {
  std::string result;
  std::size_t count;
};

void Report(ProcessContext& ctx, const EntryReport& report, const std::string& path) {
  ctx.Status.AppendResult(report.result);
  ctx.ResultLog.Add(ArchiveTargetLine(path));
  ctx.Status.SetExtractedTag(ctx.Status.ExtractedTag() + 1);
  ctx.Status.SetExtractedCaption("Extracted " + std::to_string(ctx.Status.ExtractedTag()) + " of " +
                                 std::to_string(report.count));
}

// Writes the entry as BASE_NAME in its folder, or, when that name is taken
// (written before in this batch, or found on disk), as REPn_BASE_NAME (what
// holds that name is replaced), and reports it. A staged folder holds only
// this batch's names, and its files are written on the save queue's thread
// (reported when written); elsewhere the common case is one open, one write
// and one link.
void WriteEntryFile(ArchiveRun& run, const std::string& name, std::span<const std::uint8_t> content,
                    EntryReport report) {
  const auto& [folder, staged] = FolderFor(run, name);
  const std::string directory = folder + kPathSeparator;
  const std::string fileName = run.base + "_" + name;
  const std::string plain = directory + fileName;
  const bool free = run.ctx.ClaimedOutputs.ClaimIfFree(plain);
  if (staged) {
    std::string path = free ? plain : RepeatPath(run, directory, fileName);
    std::string inFolder = path.substr(directory.size());
    run.saves.Save(*staged, std::move(inFolder), content,
                   [&ctx = run.ctx, report = std::move(report), path = std::move(path)] {
                     Report(ctx, report, path);
                   });
    return;
  }
  run.saves.Finish();  // reported first: results and log lines keep the entries' order
  OutputFile out(plain, OutputFile::Mode::KeepExisting);
  out.Write(content);
  if (free && out.Commit()) return Report(run.ctx, report, plain);
  const std::string path = RepeatPath(run, directory, fileName);
  out.Retarget(path);
  out.Commit();
  Report(run.ctx, report, path);
}

// Unscrambles the entry's chunks into the reused buffer, each with its own
// generator: straight from the mapping when the archive was read whole, else
// read entry by entry, so that the memory of extracting a large archive stays
// at its largest entry.
void Unscramble(ArchiveRun& run, const DataBlock& block) {
  run.stored.resize(static_cast<std::size_t>(block.chunkBytesLength));
  const bool mapped = run.archive.ReadWhole();
  if (!mapped) {
    run.chunks.Seek(block.chunkBytesOffset);
    run.chunks.ReadExact(run.stored);
  }
  const std::uint8_t* source =
      mapped ? run.bytes.data() + block.chunkBytesOffset : run.stored.data();
  XorChunksInto({source, run.stored.size()}, run.stored.data(), block.seeds, block.chunkSizes,
                run.table);
}

// Checks every record and data block before the first file is written, so a
// damaged archive leaves nothing half-extracted.
std::vector<DataBlock> ReadAllBlocks(const ArchiveRun& run,
                                     const std::vector<EntryRecord>& records) {
  std::vector<DataBlock> blocks;
  blocks.reserve(records.size());
  constexpr std::size_t kAhead = 8;  // headers asked for before they are read
  for (std::size_t e = 0; e < records.size(); ++e) {
    // Headers lie far apart in the archive: each read would wait for memory.
    if (e + kAhead < records.size() && run.archive.ReadWhole())
      __builtin_prefetch(run.bytes.data() +
                         std::min<std::uint64_t>(records[e + kAhead].dataOffset * grm::kOffsetUnit,
                                                 run.bytes.size() - 1));
    if (LeavesOutputDirectory(records[e].name))
      ThrowFormatError(EntryLabel(run.archiveName, e, records[e].name),
                       "name leaves the output directory");
    blocks.push_back(ReadDataBlock(run.bytes, records[e], run.archiveName, e));
    // The system may map a large piece of the file around each header read:
    // given back every few headers, they never add up.
    if (e % 16 == 15) run.archive.Release();
  }
  run.archive.Release();
  return blocks;
}

// The entry's bytes as they go to its file: unscrambled, and decompressed when
// the unpacked size exceeds the stored size.
std::span<const std::uint8_t> EntryContent(ArchiveRun& run, const EntryRecord& record,
                                           const DataBlock& block, std::size_t e) {
  ProcessContext& ctx = run.ctx;
  ctx.Status.SetCurrentMessage("Xoring " + record.name + " from " + run.archiveName + " ...");
  ctx.Status.PumpEvents();
  Unscramble(run, block);
  if (block.unpackedSize <= record.storedSize) return run.stored;

  ctx.Status.SetCurrentMessage("Decompressing " + record.name + " from " + run.archiveName +
                               " ...");
  ctx.Status.PumpEvents();
  if (!run.dictionary)
    run.dictionary =
        LoadDictionary(LocateTable(kDecodeTableName, run.ctx.OutputDirectory, {run.directory}));
  const auto where = [&] { return EntryLabel(run.archiveName, e, record.name); };
  WithContext(where, [&] {
    DecompressWithDictionary(run.stored, run.unpacked, block.unpackedSize, block.chunkSizes,
                             *run.dictionary, [&ctx] { ctx.Status.PumpEvents(); });
  });
  return run.unpacked;
}

void ExtractEntry(ArchiveRun& run, const EntryRecord& record, const DataBlock& block, std::size_t e,
                  std::size_t count) {
  // File names, result lines and log lines use the printable name; the
  // archive's own record keeps the name.
  const std::string name = PrintableText(record.name);
  const bool compressed = block.unpackedSize > record.storedSize;
  WriteEntryFile(run, name, EntryContent(run, record, block, e),
                 {FinalComponent(name) + (compressed ? " decompressed." : " extracted."), count});
}

}  // namespace

void ExtractArchive(ProcessContext& ctx, const std::string& path) {
  // Read before the archive is touched; errors say where it was looked for.
  const std::string directory = ParentOf(path);
  const XorTable table =
      XorTable::Load(LocateTable(kXorTableName, ctx.OutputDirectory, {directory}));
  const MappedFile archive(path, MappedFile::Use::Scattered);
  FileStream chunks = FileStream::OpenRead(path);
  ArchiveRun run{
      ctx,       archive, archive.Bytes(), chunks, FileNameOf(path), BaseBeforeFirstDot(path),
      directory, table};
  const std::vector<EntryRecord> records = ReadEntryRecords(run.bytes, run.archiveName);
  const std::vector<DataBlock> blocks = ReadAllBlocks(run, records);

  ctx.Status.SetBarPosition(Bar::Progress, 0);
  ctx.Status.SetBarMaximum(Bar::Progress, static_cast<int>(records.size()) - 1);
  ctx.Status.SetCurrentMessage("Processing " + run.archiveName + " ...");
  ctx.Status.SetExtractedTag(0);
  ctx.Status.PumpEvents();
  for (std::size_t e = 0; e < records.size(); ++e) {
    ExtractEntry(run, records[e], blocks[e], e, records.size());
    ctx.Status.StepBar(Bar::Progress);
    ctx.Status.PumpEvents();
  }
  // An error or a stop before this point publishes the folders as the run
  // ends, with the entries written by then.
  run.saves.Finish();
  for (auto& [folder, staged] : run.folders)
    if (staged) staged->Publish();
}

}  // namespace tessary
