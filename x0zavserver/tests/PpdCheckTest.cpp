// Which user PPDs the co-process hands to the print server: nothing that
// names a program or another file, however the line is written.
#include "x0zavserver/unix/PpdCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using print::maxPpdSize;
using print::ppdRefusal;

const std::string head = "*PPD-Adobe: \"4.3\"\n*ModelName: \"Zav Test\"\n";

std::string refusal(const std::string& content) {
  return ppdRefusal(content.data(), content.size());
}

TEST(PpdCheck, LinesThatNameProgramsAreRefused) {
  struct {
    const char* line;
    const char* refusal; // empty: accepted
  } cases[] = {
      {"*cupsFilter: \"application/postscript 0 -\"", ""},
      {"*cupsFilter2: \"application/pdf application/vnd.cups-pdf 0 -\"", ""},
      {"*cupsFilter: \"application/postscript 100   -  \"", ""},
      {"*NickName: \"cupsFilter /usr/bin/cat\"", ""},
      {"*% *cupsFilter: in a comment is not a keyword line, and harmless", ""},
      {"*cupsFilter: \"application/postscript 0 /usr/bin/cat\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"application/postscript 0 pstops\"", "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"application/postscript 0 ../../../../usr/bin/cat\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"application/postscript 0 /tmp/x -\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"application/postscript 0 -", "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"-\"", "names a filter program (*cupsFilter)"},
      {"*cupsFilter2: \"application/pdf printer/x 0 /usr/bin/id\"",
       "names a filter program (*cupsFilter2)"},
      {"*CUPSFILTER: \"application/postscript 0 /usr/bin/cat\"",
       "names a filter program (*CUPSFILTER)"},
      {"  \t*cupsFilter: \"application/postscript 0 /usr/bin/cat\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsPreFilter: \"application/postscript 0 /usr/bin/cat\"",
       "names a program or file for the print server (*cupsPreFilter)"},
      {"*cupsPortMonitor bcp/BCP: \"/usr/bin/cat\"",
       "names a program or file for the print server (*cupsPortMonitor)"},
      {"*FoomaticRIPCommandLine: \"cat /etc/shadow\"",
       "names a program or file for the print server (*FoomaticRIPCommandLine)"},
      {"*Include: \"/etc/other.ppd\"", "names a program or file for the print server (*Include)"},
      // The reader takes all after the cost as the program, blanks included.
      {"*cupsFilter: \"application/postscript 0 /x 0 -\"", "names a filter program (*cupsFilter)"},
      {"*cupsFilter: \"application/postscript 0 /x \"y 0 -\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsFilter2: \"application/postscript 0 -\"", "names a filter program (*cupsFilter2)"},
      {"*cupsFilter: \"application/pdf application/x 0 -\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsFilter3: \"application/pdf application/x 0 -\"",
       "names a filter program (*cupsFilter3)"},
      {"*cupsFilter: \"application/postscript x -\"", "names a filter program (*cupsFilter)"},
      // The reader drops Ctrl-Z wherever it stands.
      {"\x1a*cupsFilter: \"application/postscript 0 /usr/bin/cat\"",
       "names a filter program (*cupsFilter)"},
      {"*cups\x1a"
       "Filter: \"application/postscript 0 /usr/bin/cat\"",
       "names a filter program (*cupsFilter)"},
      {"*cupsPre\x1a"
       "Filter: \"application/postscript 0 /usr/bin/cat\"",
       "names a program or file for the print server (*cupsPreFilter)"},
      {"*cupsFilter: \"application/postscript 0 -\"\x1a", ""},
      {"*Foo: \"\x01\"", "holds a control character (0x01)"},
  };
  for (const auto& c : cases) {
    std::string ppd = head + c.line + "\n*ShortNickName: \"Zav\"\n";
    EXPECT_EQ(refusal(ppd), c.refusal) << c.line;
  }
}

TEST(PpdCheck, EveryKindOfLineEndCounts) {
  std::string bad = "*cupsFilter: \"application/postscript 0 /usr/bin/cat\"";
  for (const char* sep : {"\n", "\r", "\r\n"}) {
    std::string ppd = std::string("*PPD-Adobe: \"4.3\"") + sep + "*Foo: \"bar\"" + sep + bad + sep;
    EXPECT_EQ(refusal(ppd), "names a filter program (*cupsFilter)");
  }
  // Behind a NUL, inside a value that goes on for lines, at the very end.
  EXPECT_NE(refusal(head + std::string("*Foo: \"a\0b\"\n", 12) + bad), "");
  EXPECT_NE(refusal(head + "*Foo: \"first\n" + bad + "\nlast\"\n"), "");
  EXPECT_NE(refusal(head + bad), "");
}

TEST(PpdCheck, OnlyPlainPpdTextOfBoundedSize) {
  EXPECT_EQ(refusal(head), "");
  EXPECT_EQ(refusal("*PPD-Adobe:"), "");
  const std::string notPpd = "not a PPD file (it must begin with \"*PPD-Adobe:\")";
  // Compressed, empty, cut short, or with something in front.
  EXPECT_EQ(refusal(std::string("\x1f\x8b\x08\x00", 4) + head), notPpd);
  EXPECT_EQ(refusal(""), notPpd);
  EXPECT_EQ(refusal("*PPD-Adob"), notPpd);
  EXPECT_EQ(refusal("\n" + head), notPpd);
  std::string exact = head + std::string(maxPpdSize - head.size(), '\n');
  EXPECT_EQ(refusal(exact), "");
  EXPECT_EQ(refusal(exact + "\n"), "larger than " + std::to_string(maxPpdSize) + " bytes");
}

} // namespace
