#include "batch/insertion_plan.h"

#include <algorithm>
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
    return line.empty() ? std::string("unknown error") : line + ": unknown error";
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

FileStream* InsertionPlan::HeldStream(const std::string& path) {
  const auto identity = IdentityOf(path);
  return identity ? HeldStream(*identity) : nullptr;
}

FileStream* InsertionPlan::HeldStream(const FileIdentity& identity) {
  const auto at = sources_.find(identity);
  return at == sources_.end() ? nullptr : at->second.stream.get();
}

InsertionPlan::Held* InsertionPlan::HeldOf(const FileStream& stream) {
  for (auto& [identity, held] : sources_)
    if (held.stream.get() == &stream) return &held;
  for (auto& held : unidentified_)
    if (held.stream.get() == &stream) return &held;
  return nullptr;
}

void InsertionPlan::Claim(const FileStream& source, ByteRange range, const std::string& line) {
  Held* held = HeldOf(source);
  if (held == nullptr || range.length == 0) return;
  std::uint64_t start = range.offset, end = range.offset + range.length;
  auto& claims = held->claims;
  // Every claim that meets the range: one of another line is a problem; the
  // line's own are merged with it, so that the claims never overlap.
  auto at = claims.lower_bound(start);
  if (at != claims.begin() && std::prev(at)->second.end > start) --at;
  for (auto it = at; it != claims.end() && it->first < end; ++it) {
    if (it->second.line == line) continue;
    try {
      throw LogLineError(line + ": writes bytes " + std::to_string(range.offset) + " to " +
                         std::to_string(range.offset + range.length - 1) + " of " +
                         FileNameOf(source.ShownPath()) + ", which " + it->second.line +
                         " writes too");
    } catch (...) {
      AddProblem(std::current_exception(), line);
    }
    return;
  }
  while (at != claims.end() && at->first < end) {
    start = std::min(start, at->first);
    end = std::max(end, at->second.end);
    at = claims.erase(at);
  }
  claims.emplace(start, Claimed{end, line});
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
  std::size_t written = 0;
  for (const Step& step : steps_) {
    if (step.write && !dryRun) {
      try {
        step.write();
      } catch (...) {
        // The plan held, yet the disk or a file changed under it: say what is
        // already written.
        throw LogLineError(ProblemText(std::current_exception(), step.line) + " (" +
                           std::to_string(written) + " earlier writes of this batch were made)");
      }
      ++written;
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
