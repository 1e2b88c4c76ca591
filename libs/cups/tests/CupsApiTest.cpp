// The printing library glue against the system's own libcups.so.2: binding,
// availability, the password callback, the "not found" report and the
// backend check.
#include "cups/CupsApi.h"

#include "CaptureLogger.h"
#include "TempDir.h"
#include "cups/LoadFailed.h"
#include "cups/Printers.h"
#include "plat/LogWriter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using testing_support::TempDir;

TEST(CupsApi, SystemLibraryIsAvailable) {
  EXPECT_TRUE(cups::isAvailable());
  EXPECT_NE(cups::cupsServer(), nullptr);
}

TEST(CupsApi, SystemLibraryHasNewRequest) {
  cups::checkVersion1_1();
  EXPECT_TRUE(cups::version1_1);
  cups::ipp_t* request = cups::ippNewRequest(cups::CUPS_DELETE_PRINTER);
  ASSERT_NE(request, nullptr);
  cups::ippDelete(request);
}

TEST(CupsApi, SystemLibraryAssemblesUris) {
  char uri[1024];
  EXPECT_EQ(cups::httpAssembleURI(cups::HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr,
                                  "localhost", 0, "/printers/p1"),
            0);
  EXPECT_STREQ(uri, "ipp://localhost/printers/p1");
}

TEST(CupsApi, PasswordCallbackGivesNothing) {
  EXPECT_STREQ(cups::getPassword("Password for root on localhost? "), "");
  EXPECT_STREQ(cups::getPassword(nullptr), "");
}

TEST(CupsApi, LoadFailedNamesTheFunction) {
  EXPECT_STREQ(cups::LoadFailed("cupsGetDests").str(), "failed to load cupsGetDests");
  std::string longName(400, 'f');
  EXPECT_EQ(std::string(cups::LoadFailed(longName.c_str()).str()).size(), 255u);
}

TEST(CupsApi, LogNotFoundGivesReasonThenStatus) {
  plat::LogWriter log("CupsApiTestLog");
  testing_support::ScopedCapture capture("CupsApiTestLog", 100);
  cups::logNotFound(log, "failed to load cupsServer");
  ASSERT_EQ(capture.logger.lines.size(), 2u);
  EXPECT_EQ(capture.logger.lines[0].level, 100);
  EXPECT_EQ(capture.logger.lines[0].text, "failed to load cupsServer");
  EXPECT_EQ(capture.logger.lines[1].level, 30);
  EXPECT_EQ(capture.logger.lines[1].text, "CUPS not found - print functionality will be disabled");
}

TEST(CupsApi, FormatNames) {
  struct {
    int format;
    const char* name;
  } cases[] = {{0, "PS"}, {1, "PDF"}, {2, "ZRLE"}, {-1, "ZRLE"}, {255, "ZRLE"}};
  for (const auto& c : cases)
    EXPECT_STREQ(cups::formatName(c.format), c.name) << c.format;
}

TEST(CupsApi, BackendPathIsFixed) {
  EXPECT_STREQ(cups::backendPath, "/usr/lib/cups/backend/zav");
}

TEST(CupsApi, BackendMustBeRootsAndExecutableByItOnly) {
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to own files as root and as another user";
  TempDir dir;
  struct {
    const char* what;
    mode_t mode;
    uid_t owner;
    bool expected;
  } cases[] = {
      {"0700 root", 0700, 0, true},  {"0500 root", 0500, 0, true},
      {"0755 root", 0755, 0, false}, {"0710 root", 0710, 0, false},
      {"0701 root", 0701, 0, false}, {"0600 root", 0600, 0, false},
      {"4700 root", 04700, 0, true}, {"0700 other user", 0700, 65534, false},
  };
  for (const auto& c : cases) {
    std::string path = dir / "zav";
    unlink(path.c_str());
    std::ofstream(path) << "#!/bin/sh\n";
    ASSERT_EQ(chown(path.c_str(), c.owner, 0), 0);
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    EXPECT_EQ(cups::backendInstalled(path.c_str()), c.expected) << c.what;
  }

  // A link counts as what it points to.
  std::string target = dir / "target";
  std::ofstream(target) << "#!/bin/sh\n";
  ASSERT_EQ(chmod(target.c_str(), 0700), 0);
  std::string link = dir / "link";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  EXPECT_TRUE(cups::backendInstalled(link.c_str()));
  ASSERT_EQ(chmod(target.c_str(), 0755), 0);
  EXPECT_FALSE(cups::backendInstalled(link.c_str()));

  // Not a regular file, a dangling link, nothing there: false.
  std::string sub = dir / "sub";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  EXPECT_FALSE(cups::backendInstalled(sub.c_str()));
  std::string dangling = dir / "dangling";
  ASSERT_EQ(symlink((dir / "nothing").c_str(), dangling.c_str()), 0);
  EXPECT_FALSE(cups::backendInstalled(dangling.c_str()));
  EXPECT_FALSE(cups::backendInstalled((dir / "nothing").c_str()));
  EXPECT_FALSE(cups::backendInstalled(nullptr));
}

TEST(CupsApi, OpenedPpdIsReadAsTheLibraryLaysItOut) {
  // The record's fields are read here by their places in the library's
  // binary interface: what the library's own look-ups find must be where
  // the record says.
  TempDir dir;
  std::string path = dir / "layout.ppd";
  std::ofstream(path) << "*PPD-Adobe: \"4.3\"\n"
                         "*LanguageLevel: \"3\"\n"
                         "*ModelName: \"Zav Layout\"\n"
                         "*NickName: \"Zav Nick\"\n"
                         "*cupsFilter: \"application/postscript 0 -\"\n"
                         "*cupsFilter: \"application/pdf 10 -\"\n"
                         "*cupsFilter2 opt/Translation: \"a/b c/d 0 -\"\n";
  cups::ppd_file_t* ppd = cups::ppdOpenFile(path.c_str());
  ASSERT_NE(ppd, nullptr);
  EXPECT_EQ(ppd->languageLevel, 3);
  EXPECT_STREQ(ppd->modelname, "Zav Layout");
  EXPECT_STREQ(ppd->nickname, "Zav Nick");
  // With a "cupsFilter2" line the reader lists that line in the older form.
  ASSERT_EQ(ppd->num_filters, 1);
  EXPECT_STREQ(ppd->filters[0], "a/b 0 -");
  ASSERT_EQ(ppd->num_attrs, 6);
  cups::ppd_attr_t* filter2 = cups::ppdFindAttr(ppd, "CUPSFILTER2", nullptr);
  ASSERT_NE(filter2, nullptr);
  EXPECT_EQ(ppd->attrs[5], filter2);
  EXPECT_STREQ(filter2->name, "cupsFilter2");
  EXPECT_STREQ(filter2->spec, "opt");
  EXPECT_STREQ(filter2->text, "Translation");
  EXPECT_STREQ(filter2->value, "a/b c/d 0 -");
  cups::ppd_attr_t* first = cups::ppdFindAttr(ppd, "cupsFilter", nullptr);
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->value, "application/postscript 0 -");
  cups::ppd_attr_t* second = cups::ppdFindNextAttr(ppd, "cupsFilter", nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->value, "application/pdf 10 -");
  EXPECT_EQ(cups::ppdFindNextAttr(ppd, "cupsFilter", nullptr), nullptr);
  cups::ppdClose(ppd);
}

TEST(CupsApi, ReaderSaysWhyItCannotReadAFile) {
  TempDir dir;
  std::string path = dir / "bad.ppd";
  std::ofstream(path) << "*PPD-Adobe: \"4.3\"\n*ModelName: \"Zav\"\n  *cupsFilter: \"x\"\n";
  EXPECT_EQ(cups::ppdOpenFile(path.c_str()), nullptr);
  int line = 0;
  cups::ppd_status_t status = cups::ppdLastError(&line);
  EXPECT_STREQ(cups::ppdErrorString(status), "Missing asterisk in column 1");
  EXPECT_EQ(line, 3);
}
