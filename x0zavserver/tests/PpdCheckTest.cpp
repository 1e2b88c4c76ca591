// Which user PPDs the co-process hands to the print server: nothing that
// names a program or another file, however the line is written.
#include "x0zavserver/unix/PpdCheck.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The PPD as the printing library's reader (the print server's) makes of it.
std::string readerRefusal(const std::string& content) {
  testing_support::TempDir dir;
  std::string path = dir / "user.ppd";
  std::ofstream(path, std::ios::binary) << content;
  return print::ppdReaderRefusal(path.c_str());
}

TEST(PpdCheck, ReaderDecidesWhatTheServerRuns) {
  struct {
    const char* what;
    std::string line;
    const char* refusal; // by the reader; empty: accepted
  } cases[] = {
      {"pass-through filter", "*cupsFilter: \"application/postscript 0 -\"", ""},
      {"pass-through filter2", "*cupsFilter2: \"application/pdf printer/zav 10 -\"", ""},
      {"harmless keyword", "*cupsCommands: \"Clean PrintSelfTestPage\"", ""},
      {"keyword only in a value", "*NickName: \"cupsFilter /usr/bin/cat\"", ""},
      // Values that do not end in a quote are kept as written.
      {"quoted words first", "*cupsFilter: *\"a 0 -\"/postscript 0 /usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"filter2 quoted words first",
       "*cupsFilter2: *\"a b 0 -\"/postscript printer/zav 0 /usr/bin/cat",
       "names a filter program (*cupsFilter2)"},
      {"tabs", "*cupsFilter:\t*\"a\t0\t-\"/postscript\t0\t/usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"form feed", "*cupsFilter:\f*\"a 0 -\"/postscript 0 /usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"Ctrl-Z in the value", "*cupsFilter: *\"a 0 -\"/post\x1ascript 0 /usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"option and translation", "*cupsFilter x/tr: *\"a 0 -\"/postscript 0 /usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"wild-card types", "*cupsFilter: *\"a 0 -\"/* 0 /usr/bin/cat",
       "names a filter program (*cupsFilter)"},
      {"upper case", "*CUPSFILTER2: *\"a b 0 -\"/postscript printer/zav 0 /usr/bin/cat",
       "names a filter program (*CUPSFILTER2)"},
      {"other filter keyword", "*cupsFilter3: \"application/postscript 0 -\"",
       "names a filter program (*cupsFilter3)"},
      {"no value", "*cupsFilter: \"\"", "names a filter program (*cupsFilter)"},
      {"pre-filter", "*cupsPreFilter: \"application/postscript 0 -\"",
       "names a program or file for the print server (*cupsPreFilter)"},
      {"port monitor", "*cupsPortMonitor bcp/BCP: \"bcp\"",
       "names a program or file for the print server (*cupsPortMonitor)"},
      {"colour profile", "*cupsICCProfile RGB../sRGB: \"/etc/shadow\"",
       "names a program or file for the print server (*cupsICCProfile)"},
      {"driver command line", "*FoomaticRIPCommandLine: \"cat /etc/shadow\"",
       "names a program or file for the print server (*FoomaticRIPCommandLine)"},
      {"desktop tool", "*apprinterutility: \"/usr/bin/x\"",
       "names a program or file for the print server (*apprinterutility)"},
  };
  for (const auto& c : cases) {
    std::string ppd = head + c.line + "\n*ShortNickName: \"Zav\"\n";
    EXPECT_EQ(readerRefusal(ppd), c.refusal) << c.what;
  }
  // The text alone lets the first such line pass: the reader's view is what
  // refuses it.
  EXPECT_EQ(refusal(head + "*cupsFilter: *\"a 0 -\"/postscript 0 /usr/bin/cat\n"), "");
}

TEST(PpdCheck, InstalledLibraryIsLaidOutAsRead) {
  EXPECT_EQ(print::ppdLayoutRefusal(), "");
}

// Run for the co-process, the reader has the user's rights and no more: a
// file only root may read is one it cannot read; otherwise it judges as it
// does in this process.
TEST(PpdCheck, ReaderRunsWithTheUsersRights) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to take another user's ids";
  struct passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  testing_support::TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  struct {
    const char* name;
    std::string content;
    mode_t mode;
    const char* refusal;
  } cases[] = {
      {"plain", head, 0644, ""},
      {"filter", head + "*cupsFilter: \"application/postscript 0 /usr/bin/cat\"\n", 0644,
       "names a filter program (*cupsFilter)"},
      {"root only", head, 0600,
       "the print server cannot read it (Unable to open PPD file on line 0)"},
  };
  for (const auto& c : cases) {
    std::string path = dir / c.name;
    std::ofstream(path, std::ios::binary) << c.content;
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(print::ppdReaderRefusal(path.c_str()), c.mode == 0600 ? "" : c.refusal) << c.name;
    EXPECT_EQ(print::ppdReaderRefusalAsUser(path.c_str(), nobody->pw_uid, nobody->pw_gid),
              c.refusal)
        << c.name;
  }
}

TEST(PpdCheck, FileTheReaderCannotReadIsRefused) {
  EXPECT_EQ(readerRefusal(head + " *cupsFilter: \"application/postscript 0 -\"\n"),
            "the print server cannot read it (Missing asterisk in column 1 on line 3)");
  EXPECT_EQ(readerRefusal(""),
            "the print server cannot read it (Missing PPD-Adobe-4.x header on line 0)");
  EXPECT_EQ(readerRefusal(head), "");
}

} // namespace
