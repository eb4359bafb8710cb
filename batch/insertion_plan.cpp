#include "batch/insertion_plan.h"

#include <iterator>

#include "batch/result_log.h"
#include "misc/errors.h"
#include "misc/paths.h"
#include "misc/processes.h"

namespace tessary {

namespace {

// Enough to fix a batch by; a log that is no log at all would otherwise list
// one problem per line.
constexpr std::size_t kMaxListed = 100;

FileStream OpenHeld(const std::string& path, SourceAccess access) {
  try {
    return FileStream::OpenReadWrite(path);
  } catch (const FileError&) {
    if (access == SourceAccess::Write) throw;
    return FileStream::OpenReadExclusive(path);
  }
}

std::string ProblemText(std::exception_ptr error, const std::string& line) {
  try {
    std::rethrow_exception(error);
  } catch (const LogLineError& named) {
    return named.what();
  } catch (const std::exception& other) {
    return line.empty() ? std::string(other.what()) : line + ": " + other.what();
  } catch (...) {
    return line + ": unknown error";
  }
}

}  // namespace

FileStream& InsertionPlan::HoldSource(const std::string& path, SourceAccess access) {
  RaiseOpenFileLimit();  // a project list may name many sources
  const auto identity = IdentityOf(path);
  if (identity) {
    const auto at = sources_.find(*identity);
    if (at != sources_.end()) {
      // Held for reading only, it cannot serve a section that writes it.
      if (access == SourceAccess::Write && at->second.access != SourceAccess::Write)
        ThrowCannotOpen(path);
      return *at->second.stream;
    }
  }
  Held held{std::make_unique<FileStream>(OpenHeld(path, access)), access, {}};
  FileStream& stream = *held.stream;
  if (identity)
    sources_.emplace(*identity, std::move(held));
  else
    unidentified_.push_back(std::move(held));
  return stream;
}

InsertionPlan::Held* InsertionPlan::HeldOf(const FileStream& stream) {
  for (auto& [identity, held] : sources_)
    if (held.stream.get() == &stream) return &held;
  return nullptr;
}

void InsertionPlan::Claim(const FileStream& source, ByteRange range, const std::string& line) {
  Held* held = HeldOf(source);
  if (held == nullptr || range.length == 0) return;
  const std::uint64_t end = range.offset + range.length;
  auto& claims = held->claims;
  auto next = claims.lower_bound(range.offset);
  const Claimed* other = nullptr;
  if (next != claims.end() && next->first < end) other = &next->second;
  if (next != claims.begin() && std::prev(next)->second.end > range.offset)
    other = &std::prev(next)->second;
  if (other == nullptr) {
    claims.emplace(range.offset, Claimed{end, line});
    return;
  }
  if (other->line == line) return;  // one line's own parts (RES sections)
  try {
    throw LogLineError(line + ": writes bytes " + std::to_string(range.offset) + " to " +
                       std::to_string(end - 1) + " of " + FileNameOf(source.ShownPath()) +
                       ", which " + other->line + " writes too");
  } catch (...) {
    AddProblem(std::current_exception(), line);
  }
}

void InsertionPlan::AddWrite(const std::string& line, Write write, std::string result) {
  AddStep(line, std::move(write), std::move(result), Kind::Result);
}

void InsertionPlan::AddStep(std::string line, Write write, std::string message, Kind kind) {
  steps_.push_back({std::move(line), std::move(write), std::move(message), kind});
}

void InsertionPlan::AddProblem(std::exception_ptr error, const std::string& line) {
  if (problemCount_++ == 0) firstProblem_ = error;
  if (problems_.size() < kMaxListed) problems_.push_back(ProblemText(error, line));
}

void InsertionPlan::AddProblem(const std::string& what, const std::string& line) {
  AddProblem(std::make_exception_ptr(FormatError(what)), line);
}

void InsertionPlan::ThrowProblems() const {
  if (problemCount_ == 1) {
    // As it was raised when it names its line already (or has none to name).
    if (problems_.front() == ProblemText(firstProblem_, "")) std::rethrow_exception(firstProblem_);
    throw LogLineError(problems_.front());
  }
  std::string report = "Nothing was written: " + std::to_string(problemCount_) + " problems found";
  for (const std::string& problem : problems_) report += "\n" + problem;
  if (problemCount_ > problems_.size())
    report += "\n(and " + std::to_string(problemCount_ - problems_.size()) + " more)";
  throw LogLineError(report);
}

void InsertionPlan::Carry(StatusPanel& status, bool dryRun) {
  for (const Step& step : steps_) {
    if (step.write && !dryRun) {
      try {
        step.write();
      } catch (...) {
        throw LogLineError(ProblemText(std::current_exception(), step.line));
      }
    }
    switch (step.kind) {
      case Kind::Result:  // a write may have no line of its own
        if (!step.message.empty()) status.AppendResult(step.message);
        break;
      case Kind::Refusal:
        status.AppendRefusal(step.message);
        break;
      case Kind::SilentSkip:
        status.NoteSilentSkip();
        break;
    }
    status.PumpEvents();
  }
}

void InsertionPlan::Clear() {
  steps_.clear();
  problems_.clear();
  firstProblem_ = nullptr;
  problemCount_ = 0;
  sources_.clear();
  unidentified_.clear();
}

}  // namespace tessary
