#include "main/cli/cli_tables.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iostream>

#include "formathandlers/text/code_table.h"
#include "formathandlers/text/room_text_file.h"
#include "formathandlers/text/text_table.h"
#include "formathandlers/text/text_table_codec.h"
#include "main/cli/cli_front_end.h"
#include "misc/errors.h"
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

// A raw table, or an error that says a text table needs no conversion.
ByteBuffer LoadRawTable(const std::string& path) {
  ByteBuffer raw;
  LoadCodeTable(raw, path);
  if (TextTableIn(raw))
    throw FormatError(FileNameOf(path) +
                      " is a text table already: -t, \"#CodeTable:\" and \"#Use Table:\" take "
                      "it as it is, both ways");
  return raw;
}

int Export(const TableCommands& c) {
  const ByteBuffer raw = LoadRawTable(c.input);
  std::vector<std::string> lines = ExportTextTable(TableEntries(raw), c.all);
  // Said in the file, since a text table used as it is decodes a code it
  // lacks as a tag.
  if (!c.all)
    lines.insert(lines.begin(),
                 "# codes that decode to themselves are left out (--all writes them)");
  TextLines(lines).SaveToFile(c.output);
  return kExitCompleted;
}

// A piece of a text file that goes into the game: its 0-based line, the
// column before it, its text.
struct GamePiece {
  std::size_t line;
  std::size_t column;
  std::string_view text;
};

bool StartsSection(std::string_view line) {
  constexpr std::string_view kHeader = "[section ";
  return line.size() >= kHeader.size() &&
         std::equal(kHeader.begin(), kHeader.end(), line.begin(), [](char h, char c) {
           return h == std::tolower(static_cast<unsigned char>(c));
         });
}

// The pieces as insertion reads them: a room text file (its last line a
// budget line) gives every other line without its two enclosing characters;
// a RES text gives the lines inside its sections.
std::vector<GamePiece> GamePieces(const std::vector<std::string>& lines) {
  std::vector<GamePiece> pieces;
  if (!lines.empty() && ParseBudgetLine(lines.back())) {
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      std::string_view line = lines[i];
      while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
      if (line.size() >= 2) pieces.push_back({i, 1, line.substr(1, line.size() - 2)});
    }
    return pieces;
  }
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (StartsSection(lines[i])) {
      inside = true;
    } else if (lines[i].find("[End Section]") != std::string::npos) {
      inside = false;
    } else if (inside) {
      pieces.push_back({i, 0, lines[i]});
    }
  }
  return pieces;
}

// Lists every character of the text files that the text table cannot encode.
int Check(const TableCommands& c) {
  ByteBuffer loaded;
  LoadCodeTable(loaded, c.input);
  const auto table = TextTableIn(loaded);
  if (!table) throw FormatError(FileNameOf(c.input) + " is a raw table: it encodes every byte");
  if (table->ReadAsLatin1()) std::cerr << FileNameOf(c.input) << " was read as Latin-1\n";
  std::size_t count = 0;
  for (const std::string& file : c.texts) {
    TextLines text;
    text.LoadFromFile(file);
    for (const GamePiece& piece : GamePieces(text.Lines())) {
      std::vector<Unencodable> missing;
      table->Encode(piece.text, missing);
      for (const Unencodable& m : missing)
        std::cout << PrintableText(
                         UnencodableText(FileNameOf(file), piece.line, m.column + piece.column, m))
                  << '\n';
      count += missing.size();
    }
  }
  if (count == 0) return kExitCompleted;
  std::cerr << count << " characters are not in the table.\n";
  return kExitRefused;
}

int Invert(const TableCommands& c) {
  const ByteBuffer raw = LoadRawTable(c.input);
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
         (invert != nullptr && *invert) || (check != nullptr && *check);
}

void AddTableCommands(CLI::App& app, TableCommands& c) {
  CLI::App* table = app.add_subcommand("table", "code tables: import, export, invert, check");
  table->require_subcommand(1);
  c.import =
      table->add_subcommand("import", "a text table (lines XX=c) to a raw 256-byte decoding table");
  c.import->add_option("TEXT", c.input, "the text table")->required();
  c.import->add_option("-o,--output", c.output, "the raw decoding table to write")->required();
  c.import->add_option("--encode", c.encode, "also write the raw encoding table (entry c = XX)");
  c.exportTable = table->add_subcommand("export", "a raw table to a text table");
  c.exportTable->add_option("RAW", c.input, "the raw table")->required();
  c.exportTable->add_option("-o,--output", c.output, "the text table to write")->required();
  c.exportTable->add_flag("--all", c.all,
                          "every entry, also those that decode a byte to itself (left out by "
                          "default)");
  c.check = table->add_subcommand(
      "check", "list the characters of text files that a text table cannot encode");
  c.check->add_option("TABLE", c.input, "the text table")->required();
  c.check->add_option("TEXT", c.texts, "extracted and edited text files")->required();
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
  if (*c.check) return Check(c);
  return Invert(c);
}

}  // namespace tessary
