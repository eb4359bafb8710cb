// Batches of archives: each output folder of the tests holds the tables.
#pragma once

#include <string>
#include <vector>

#include "misc/paths.h"
#include "tests/archive_builder.h"
#include "tests/batch_fixture.h"

namespace tessary::testing {

class ArchiveBatchTest : public BatchTest {
 protected:
  void SetUp() override {
    for (const char* d : {"out", "out2", "check"}) {
      WriteFile(JoinPath(dir.SubDir(d), "XorTable.tbl"), SyntheticXorTable());
      WriteFile(JoinPath(dir.File(d), "decodetable.tbl"), SyntheticDictionary());
    }
  }
  std::string PutArchive(const std::string& relative, const std::vector<ArchiveEntry>& entries) {
    return Put(relative, BuildArchive(entries, SyntheticXorTable(), SyntheticDictionary()));
  }
};

}  // namespace tessary::testing
