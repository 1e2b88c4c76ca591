#include "zavkeygen/KeyGenCallback.h"

#include "plat/BoolParameter.h"
#include "plat/ParameterSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Capture {
  char* text = nullptr;
  size_t size = 0;
  FILE* file = open_memstream(&text, &size);
  ~Capture() {
    if (file)
      fclose(file);
    free(text);
  }
  std::string all() {
    fflush(file);
    return std::string(text, size);
  }
};

TEST(KeyGenCallback, StageSequences) {
  const std::string header = "Generating private key:\n  p: ";
  struct Case {
    std::vector<int> stages;
    std::string output;
    unsigned count;
  } cases[] = {
      {{}, "", 0},
      {{0, 0, 1, 2, 0, 3, 0, 1, 0, 3}, header + "...\n  q: ..\n", 4},
      {{1}, header, 1},
      {{2, 1, 2}, header, 1},
      {{3}, header + "\n", 2},
      {{3, 3}, header + "\n  q: \n", 4},
      {{7, 0, -1}, header + ".", 1},
      {{0, 3, 0, 3, 0, 3, 0}, header + ".\n  q: .\n.\n.", 5},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("test");
    plat::BoolParameter quiet("q", "quiet", false, false, &set);
    Capture out;
    KeyGenCallback callback(out.file, quiet);
    for (int stage : c.stages)
      callback.progress(stage, 0);
    EXPECT_EQ(out.all(), c.output) << c.stages.size() << " stages";
    EXPECT_EQ(callback.getCount(), c.count);
  }
}

TEST(KeyGenCallback, FlushesAfterDotsLinesAndOtherStagesOnly) {
  plat::ParameterSet set("test");
  plat::BoolParameter quiet("q", "quiet", false, false, &set);
  Capture out;
  KeyGenCallback callback(out.file, quiet);
  // open_memstream shows its size only after a flush.
  struct Step {
    int stage;
    size_t visible;
  } steps[] = {
      {1, 0},      // header written, not flushed
      {0, 29 + 1}, // header and a dot
      {2, 30},     // nothing
      {3, 31},     // end of line
      {1, 31},     // q header written, not flushed
      {9, 31 + 5}, // unknown stage: flushed
  };
  for (const Step& s : steps) {
    callback.progress(s.stage, 0);
    EXPECT_EQ(out.size, s.visible) << "stage " << s.stage;
  }
}

TEST(KeyGenCallback, QuietPrintsNothingAndCountsNothing) {
  plat::ParameterSet set("test");
  plat::BoolParameter quiet("q", "quiet", false, false, &set);
  ASSERT_TRUE(quiet.setParam("1", 50));
  Capture out;
  KeyGenCallback callback(out.file, quiet);
  for (int stage : {0, 1, 3, 0, 3})
    callback.progress(stage, 0);
  EXPECT_EQ(out.all(), "");
  EXPECT_EQ(callback.getCount(), 0u);
}

} // namespace
