// A fixture for tests that run whole batches: a temporary directory, a
// context wired to a recorder, and helpers that place input files and run one
// batch the way the window does (queue, choose a directory, go).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main/batch_driver.h"
#include "misc/byte_buffer.h"
#include "tests/test_support.h"

namespace tessary::testing {

class BatchTest : public ::testing::Test {
 protected:
  // Writes `bytes` to `relative` below the temporary directory, making its
  // folders, and returns the full path.
  std::string Put(const std::string& relative, const ByteBuffer& bytes);
  std::string Put(const std::string& relative, const std::string& bytes);

  // Queues `files` under menu choice `choice` and runs one batch whose output
  // directory is `out` below the temporary directory, made beforehand as the
  // directory dialog only offers folders that exist.
  BatchOutcome Run(FileType choice, const std::vector<std::string>& files, const std::string& out);
  // The same, failing the test when the batch showed an error.
  BatchOutcome RunClean(FileType choice, const std::vector<std::string>& files,
                        const std::string& out);

  // The first error the batch showed, or "".
  std::string Error() const;

  TempDir dir;
  Harness h;
};

}  // namespace tessary::testing
