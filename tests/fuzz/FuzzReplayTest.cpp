// Every input a fuzzer found at fault (fuzz/regressions/<target>/) and every seed (fuzz/corpus/<target>/),
// replayed through its target's body.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FuzzTargets.h"
#include "support/TestState.h"

namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& File) {
  std::ifstream In(File, std::ios::binary);
  std::ostringstream Text;
  Text << In.rdbuf();
  return Text.str();
}

TEST(FuzzReplay, RegressionsAndSeedsAreSound) {
  const fs::path Root = fs::path(TALVARIND_SOURCE_DIR) / "fuzz";
  for (const TFuzzTarget& Target : FuzzTargets) {
    int Seeds = 0;
    for (const char* Kind : {"regressions", "corpus"}) {
      const fs::path Directory = Root / Kind / Target.Name;
      if (!fs::is_directory(Directory)) continue;
      for (const fs::directory_entry& Entry : fs::directory_iterator(Directory)) {
        const std::string Findings = Target.Body(TestState(), Contents(Entry.path()));
        EXPECT_EQ(Findings, "") << Entry.path();
        Seeds += Kind == std::string_view("corpus");
      }
    }
    // A target without seeds would have lost its directory, and the fuzz build its executable.
    EXPECT_GT(Seeds, 0) << Target.Name;
  }
  // Leave the shared state as the other suites expect it.
  TestState();
}

}  // namespace
