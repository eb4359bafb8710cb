#include "main/cli/cli_info.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "formathandlers/tim/tim_bitmap.h"
#include "main/cli/cli_front_end.h"
#include "misc/mapped_file.h"
#include "misc/paths.h"

namespace tessary {

namespace {

constexpr const char* kModeNames[] = {"4-bit", "8-bit", "16-bit", "24-bit"};

std::string At(const TimImage::Block& block) {
  return "(" + std::to_string(block.x) + ", " + std::to_string(block.y) + ")";
}

std::string Line(const std::string& name, const TimImage& image) {
  const auto mode = static_cast<int>(image.mode);
  std::string line = name + ": mode " + std::to_string(mode) + " (" + kModeNames[mode] + "), " +
                     std::to_string(image.pixelWidth) + " x " + std::to_string(image.height) +
                     " pixels, image at " + At(image.imageBlock) + ", " +
                     std::to_string(image.imageBlock.length) + " bytes; ";
  if (!image.clutBlock) return line + "no CLUT";
  const TimImage::Block& clut = *image.clutBlock;
  return line + "CLUT at " + At(clut) + ", " + std::to_string(clut.height) +
         (clut.height == 1 ? " row" : " rows") + " of " + std::to_string(clut.width) +
         " colours, " + std::to_string(clut.length) + " bytes";
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonBlock(const TimImage::Block& block) {
  return "{\"x\": " + std::to_string(block.x) + ", \"y\": " + std::to_string(block.y) +
         ", \"width\": " + std::to_string(block.width) +
         ", \"height\": " + std::to_string(block.height) +
         ", \"length\": " + std::to_string(block.length) + "}";
}

std::string Json(const std::string& name, const TimImage& image) {
  return "{\"file\": " + JsonText(name) +
         ", \"mode\": " + std::to_string(static_cast<int>(image.mode)) +
         ", \"width\": " + std::to_string(image.pixelWidth) +
         ", \"height\": " + std::to_string(image.height) +
         ", \"image\": " + JsonBlock(image.imageBlock) +
         ", \"clut\": " + (image.clutBlock ? JsonBlock(*image.clutBlock) : "null") + "}";
}

}  // namespace

void AddInfoCommand(CLI::App& app, InfoCommand& command) {
  command.app = app.add_subcommand(
      "info", "list what TIM files hold: mode, size, positions in video memory, CLUT rows");
  command.app->add_option("FILE", command.files, "TIM files")->required();
  command.app->add_flag("--json", command.json, "one JSON array instead of lines");
}

int RunInfo(const InfoCommand& command) {
  bool refused = false;
  std::string json;
  for (const std::string& file : command.files) {
    const std::string name = FileNameOf(file);
    try {
      const MappedFile bytes(file);
      const TimImage image = ReadTimImage(bytes.Bytes(), name, true);
      if (command.json)
        json += (json.empty() ? "[\n  " : ",\n  ") + Json(name, image);
      else
        std::cout << PrintableText(Line(name, image)) << '\n';
    } catch (const std::exception& error) {
      std::cerr << PrintableText(error.what()) << '\n';
      refused = true;
    }
  }
  if (command.json) std::cout << (json.empty() ? "[" : json + "\n") << "]\n";
  return refused ? kExitRefused : kExitCompleted;
}

}  // namespace tessary
