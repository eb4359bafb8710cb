// What a batch of logs will write into game files, gathered whole before the
// first write: the sources held open, the byte ranges each log line claims,
// the writes in the order of the lines, and every problem found on the way.
// Only a plan without problems is carried out, so a bad line anywhere in the
// batch leaves every game file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "batch/status_panel.h"
#include "misc/file_identity.h"
#include "misc/file_stream.h"

namespace tessary {

struct ByteRange {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

enum class SourceAccess {
  Write,          // opened for reading and writing, held alone
  ReadOrNothing,  // only read: a read-only file is held alone for reading
};

class InsertionPlan final {
 public:
  using Write = std::function<void()>;

  // The source at `path`, opened once per file (by identity, whatever path
  // leads there) and held until the plan is cleared.
  FileStream& HoldSource(const std::string& path, SourceAccess access);

  // The held source that `path` leads to, if the plan holds it: files the
  // batch patches are read through it, never opened a second time.
  FileStream* HeldStream(const std::string& path);
  FileStream* HeldStream(const FileIdentity& identity);

  // `line` ("LOG, line N") will write `range` of `source`, a held source. A
  // range that overlaps one claimed by another line is a problem naming both.
  void Claim(const FileStream& source, ByteRange range, const std::string& line);

  // A step: `write` (run unless dry) and then the result line `result`.
  void AddWrite(const std::string& line, Write write, std::string result);
  void AddResult(std::string result) { AddStep({}, {}, std::move(result), Kind::Result); }
  void AddRefusal(std::string refusal) { AddStep({}, {}, std::move(refusal), Kind::Refusal); }
  void AddSilentSkip() { AddStep({}, {}, {}, Kind::SilentSkip); }

  // Records a problem: the text of `error` (the current exception), prefixed
  // with `line` unless it names a line already.
  void AddProblem(std::exception_ptr error, const std::string& line);
  // A problem found without an exception: `what`, prefixed with `line`.
  void AddProblem(const std::string& what, const std::string& line);
  bool HasProblems() const { return problemCount_ > 0; }
  std::size_t ProblemCount() const { return problemCount_; }
  // Throws the problems: the single one as it was raised, several as one
  // LogLineError listing them.
  [[noreturn]] void ThrowProblems() const;

  // Runs the steps in order: each write (none when `dryRun`), then its line.
  // A write that fails names its log line.
  void Carry(StatusPanel& status, bool dryRun);

  // Forgets the steps and problems and closes every held source.
  void Clear();

 private:
  enum class Kind { Result, Refusal, SilentSkip };
  struct Step {
    std::string line;
    Write write;
    std::string message;
    Kind kind;
  };
  struct Claimed {
    std::uint64_t end;
    std::string line;
  };
  struct Held {
    std::unique_ptr<FileStream> stream;
    SourceAccess access;
    std::map<std::uint64_t, Claimed> claims;  // by start; never overlapping
  };

  void AddStep(std::string line, Write write, std::string message, Kind kind);
  Held* HeldOf(const FileStream& stream);

  std::map<FileIdentity, Held> sources_;
  std::vector<Held> unidentified_;  // a source whose identity could not be read
  std::vector<Step> steps_;
  std::vector<std::string> problems_;  // the first kMaxListed
  std::exception_ptr firstProblem_;
  std::size_t problemCount_ = 0;
};

}  // namespace tessary
