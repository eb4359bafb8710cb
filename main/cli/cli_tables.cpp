#include "main/cli/cli_tables.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "formathandlers/text/text_table.h"
#include "main/cli/cli_front_end.h"
#include "misc/output_file.h"
#include "misc/paths.h"
#include "misc/text_lines.h"

namespace tessary {

namespace {

void WarnShared(const InvertedTable& inverted, const char* which) {
  for (const std::string& shared : inverted.shared)
    std::cerr << "reached by several codes (" << which << " is used): " << shared << '\n';
}

int Import(const TableCommands& c) {
  TextLines text;
  text.LoadFromFile(c.input);
  const std::string name = FileNameOf(c.input);
  // Both tables are made before either is written.
  const ByteBuffer decoding = DecodingTable(ParseTextTable(text.Lines(), name));
  const ByteBuffer encoding = c.encode.empty() ? ByteBuffer() : EncodingTable(text.Lines(), name);
  SaveBytes(c.output, decoding);
  if (c.encode.empty()) return kExitCompleted;
  SaveBytes(c.encode, encoding);
  // Codes the text does not list decode to themselves and may share a
  // character with a listed one.
  WarnShared(InvertTable(TableEntries(decoding), false), "the one listed");
  return kExitCompleted;
}

int Export(const TableCommands& c) {
  ByteBuffer raw;
  LoadCodeTable(raw, c.input);
  TextLines(ExportTextTable(TableEntries(raw))).SaveToFile(c.output);
  return kExitCompleted;
}

int Invert(const TableCommands& c) {
  ByteBuffer raw;
  LoadCodeTable(raw, c.input);
  const InvertedTable inverted = InvertTable(TableEntries(raw), c.shifted);
  SaveBytes(c.output, inverted.encoding);
  WarnShared(inverted, "the lowest");
  if (!inverted.missing.empty()) {
    std::cerr << "reached by no code (kept as they are):";
    for (const std::uint8_t c : inverted.missing) std::fprintf(stderr, " 0x%02X", c);
    std::cerr << '\n';
  }
  return kExitCompleted;
}

}  // namespace

bool TableCommands::Chosen() const {
  return (import != nullptr && *import) || (exportTable != nullptr && *exportTable) ||
         (invert != nullptr && *invert);
}

void AddTableCommands(CLI::App& app, TableCommands& c) {
  CLI::App* table = app.add_subcommand("table", "code tables: import, export, invert");
  table->require_subcommand(1);
  c.import =
      table->add_subcommand("import", "a text table (lines XX=c) to a raw 256-byte decoding table");
  c.import->add_option("TEXT", c.input, "the text table")->required();
  c.import->add_option("-o,--output", c.output, "the raw decoding table to write")->required();
  c.import->add_option("--encode", c.encode, "also write the raw encoding table (entry c = XX)");
  c.exportTable = table->add_subcommand("export", "a raw table to a text table");
  c.exportTable->add_option("RAW", c.input, "the raw table")->required();
  c.exportTable->add_option("-o,--output", c.output, "the text table to write")->required();
  c.invert = table->add_subcommand(
      "invert",
      "the encoding table that undoes a decoding table (lists shared and missing "
      "characters on stderr)");
  c.invert->add_option("DECODE", c.input, "the raw decoding table")->required();
  c.invert->add_option("-o,--output", c.output, "the raw encoding table to write")->required();
  c.invert->add_flag("--shifted", c.shifted, "for RES text: codes 0x00..0x56 decode 0x24 higher");
}

int RunTableCommand(const TableCommands& c) {
  if (*c.import) return Import(c);
  if (*c.exportTable) return Export(c);
  return Invert(c);
}

}  // namespace tessary
