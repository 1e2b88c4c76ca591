// Filter values split as the print server splits them: which program each
// form gives, and whether the value runs nothing.
#include "cups/FilterPrograms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using cups::filterPrograms;
using cups::filterRunsNothing;
using Programs = std::vector<std::string>;

TEST(FilterPrograms, ProgramIsAllAfterTheCost) {
  const std::string longProgram(2000, 'x');
  struct {
    std::string value;
    Programs programs;
    bool runsNothing;
  } cases[] = {
      {"application/postscript 0 -", {"-"}, true},
      {"application/pdf printer/zav 0 -", {"-"}, true},
      {"application/postscript\t100\t-", {"-"}, true},
      {"application/postscript -5 -", {"-"}, true},
      // The server reads to the end of the line, no further.
      {"application/postscript 0 -\n/usr/bin/cat", {"-"}, true},
      {"application/postscript 0 /usr/bin/cat", {"/usr/bin/cat"}, false},
      {"application/postscript 0 pstops", {"pstops"}, false},
      // The types are no more than what ends at "/" and at a blank.
      {"*\"a 0 -\"/postscript 0 /usr/bin/cat", {"/usr/bin/cat"}, false},
      {"*\"a b 0 -\"/postscript printer/zav 0 /usr/bin/cat", {"/usr/bin/cat"}, false},
      {"*/* 0 /usr/bin/tee /tmp/x", {"/usr/bin/tee /tmp/x"}, false},
      // Either form may be the one a reader takes: both must run nothing.
      {"application/postscript 0 /x 0 -", {"-", "/x 0 -"}, false},
      {"application/postscript 0 - ", {"- "}, false},
      {"application/postscript 0 -\r", {"-\r"}, false},
      {"a/b c/d 0 -", {"-"}, true},
      {"a/b 0 c/d 0 /bin/cat", {"/bin/cat", "c/d 0 /bin/cat"}, false},
      // The server drops what fits neither form; it is not "-" either.
      {"-", {}, false},
      {"", {}, false},
      {"application/postscript x -", {}, false},
      {"application/postscript 0", {}, false},
      {"applicationxxxxxx/postscript 0 -", {}, false},
      {"a/b 0 " + longProgram, {longProgram.substr(0, 1023)}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(filterPrograms(c.value.c_str()), c.programs) << c.value;
    EXPECT_EQ(filterRunsNothing(c.value.c_str()), c.runsNothing) << c.value;
  }
  EXPECT_EQ(filterPrograms(nullptr), Programs());
  EXPECT_FALSE(filterRunsNothing(nullptr));
}
