// The printing glue over the recording stand-in library, which lacks the
// functions that have fallbacks: the fallbacks, the requests the printer
// operations send, and how their answers are judged.
#include "cups/CupsApi.h"

#include "CaptureLogger.h"
#include "FakeCups.h"
#include "TempDir.h"
#include "ThrownMessage.h"
#include "cups/Dests.h"
#include "cups/LoadFailed.h"
#include "cups/Options.h"
#include "cups/PpdFile.h"
#include "cups/Printers.h"
#include "plat/unix/Passwd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using testing_support::TempDir;
using testing_support::thrownMessage;

namespace {

class CupsFake : public ::testing::Test {
protected:
  void SetUp() override { fake_reset(); }
  void TearDown() override {
    EXPECT_EQ(fake_openConnections(), 0) << "a connection was left open";
    EXPECT_EQ(fake_openRequests(), 0) << "a request or response was not freed";
    fake_reset();
  }
  static std::string me() {
    os::Passwd pw(getuid());
    return pw.getName();
  }
};

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

} // namespace

TEST_F(CupsFake, IsAvailable) {
  EXPECT_TRUE(cups::isAvailable());
}

TEST_F(CupsFake, VersionCheckWithoutNewRequest) {
  cups::checkVersion1_1();
  EXPECT_FALSE(cups::version1_1);
}

TEST_F(CupsFake, NewRequestIsBuiltFromPlainMessage) {
  // Sent through the delete operation's own request, so that the fake shows it.
  cups::ipp_t* request = cups::ippNewRequest(0x4003);
  ASSERT_NE(request, nullptr);
  cups::ippDelete(cups::cupsDoFileRequest(nullptr, request, "/admin/", nullptr));
  EXPECT_EQ(std::string(fake_requests()),
            "op=4003 id=1 resource=/admin/ file=(none) 1/47 attributes-charset=utf-8 "
            "1/48 attributes-natural-language=de_DE\n");
}

TEST_F(CupsFake, UriIsFormattedHere) {
  char uri[1024];
  EXPECT_EQ(cups::httpAssembleURI(cups::HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", "user",
                                  "printhost", 0, "/printers/p1"),
            0);
  EXPECT_STREQ(uri, "ipp://printhost/printers/p1");
  EXPECT_EQ(cups::httpAssembleURI(cups::HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr,
                                  "printhost", 631, "/printers/p1"),
            0);
  EXPECT_STREQ(uri, "ipp://printhost:631/printers/p1");
}

TEST_F(CupsFake, UriThatFillsTheBufferIsTerminatedAndReported) {
  // "ipp://h/printers/p1" is 19 characters: exact fit, one short, far short.
  struct {
    int length;
    const char* expected;
    int status;
  } cases[] = {{20, "ipp://h/printers/p1", 0},
               {19, "ipp://h/printers/p", -8},
               {8, "ipp://h", -8},
               {1, "", -8}};
  for (const auto& c : cases) {
    char uri[32];
    memset(uri, 'X', sizeof(uri));
    EXPECT_EQ(cups::httpAssembleURI(0, uri, c.length, "ipp", nullptr, "h", 0, "/printers/p1"),
              c.status)
        << c.length;
    EXPECT_STREQ(uri, c.expected) << c.length;
    // Nothing is written past the given length.
    EXPECT_EQ(uri[c.length], 'X') << c.length;
  }
  char uri[4];
  EXPECT_EQ(cups::httpAssembleURI(0, uri, 0, "ipp", nullptr, "h", 0, "/"), -7);
}

TEST_F(CupsFake, AddPrinterSendsTheQueueWithPpd) {
  ASSERT_TRUE(cups::addPrinter("p1", "Viewer printer", "/tmp/p1.ppd", "7", getuid(), 1));
  EXPECT_EQ(std::string(fake_connectedTo()), "/fake/cups.sock:631");
  EXPECT_EQ(std::string(fake_requests()),
            "op=4003 id=1 resource=/admin/ file=/tmp/p1.ppd"
            " 1/47 attributes-charset=utf-8 1/48 attributes-natural-language=de_DE"
            " 1/45 printer-uri=ipp://localhost/printers/p1"
            " 4/45 device-uri=zav:/PDF/7"
            " 4/22 printer-is-accepting-jobs=true"
            " 4/23 printer-state=3"
            " 4/41 printer-info=Viewer printer"
            " 4/42 printer-error-policy=abort-job"
            " 4/42 requesting-user-name-allowed=" +
                me() + "\n");
}

TEST_F(CupsFake, AddPrinterDeviceUriByFormat) {
  struct {
    int format;
    const char* uri;
  } cases[] = {{0, "device-uri=zav:/PS/dev9 "},
               {1, "device-uri=zav:/PDF/dev9 "},
               {2, "device-uri=zav:/ZRLE/dev9 "}};
  for (const auto& c : cases) {
    fake_reset();
    ASSERT_TRUE(cups::addPrinter("q", "i", "/p.ppd", "dev9", getuid(), c.format));
    EXPECT_NE(std::string(fake_requests()).find(c.uri), std::string::npos) << c.format;
  }
}

TEST_F(CupsFake, RefusalInResponseIsFailure) {
  // The printing system answers a refused request with a response that
  // carries the error: that is no success.
  struct {
    int status;
    bool ok;
  } cases[] = {{0x0000, true},  {0x0001, true},  {0x00ff, true},
               {0x0400, false}, {0x0401, false}, {0x0500, false}};
  for (const auto& c : cases) {
    fake_reset();
    fake_setStatus(c.status);
    EXPECT_EQ(cups::addPrinter("p1", "i", "/p.ppd", "7", getuid(), 0), c.ok) << c.status;
    EXPECT_EQ(cups::deletePrinter("p1"), c.ok) << c.status;
    cups::QueueAccess access;
    EXPECT_EQ(cups::getQueueAccess("p1", access), c.ok) << c.status;
    EXPECT_EQ(cups::cupsLastError(), c.status);
  }
}

TEST_F(CupsFake, NoConnectionOrNoResponseIsFailure) {
  cups::QueueAccess access;
  fake_setConnectFails(1);
  EXPECT_FALSE(cups::addPrinter("p1", "i", "/p.ppd", "7", getuid(), 0));
  EXPECT_FALSE(cups::deletePrinter("p1"));
  EXPECT_FALSE(cups::getQueueAccess("p1", access));
  EXPECT_EQ(std::string(fake_requests()), "");
  fake_setConnectFails(0);
  fake_setNoResponse(1);
  EXPECT_FALSE(cups::addPrinter("p1", "i", "/p.ppd", "7", getuid(), 0));
  EXPECT_FALSE(cups::deletePrinter("p1"));
  EXPECT_FALSE(cups::getQueueAccess("p1", access));
}

TEST_F(CupsFake, QueueAccessAsksForTwoAttributesAndReadsThem) {
  fake_addAnswer("printer-info", 0x41, "Viewer printer");
  fake_addAnswer("device-uri", 0x45, "zav:/PS/7");
  fake_addAnswer("requesting-user-name-allowed", 0x42, "alice,bob");
  cups::QueueAccess access;
  ASSERT_TRUE(cups::getQueueAccess("p1", access));
  EXPECT_EQ(std::string(fake_requests()),
            "op=000b id=1 resource=/ file=(none)"
            " 1/47 attributes-charset=utf-8 1/48 attributes-natural-language=de_DE"
            " 1/45 printer-uri=ipp://localhost/printers/p1"
            " 1/44 requested-attributes=device-uri,requesting-user-name-allowed\n");
  EXPECT_EQ(access.deviceUri, "zav:/PS/7");
  EXPECT_EQ(access.allowedUsers, (std::vector<std::string>{"alice", "bob"}));

  // Nothing known of the queue: no device, nobody singled out. A value that
  // is no text names no user.
  fake_reset();
  fake_addAnswer("requesting-user-name-allowed", 0x21, "1");
  ASSERT_TRUE(cups::getQueueAccess("p1", access));
  EXPECT_EQ(access.deviceUri, "");
  EXPECT_EQ(access.allowedUsers, std::vector<std::string>{""});
  fake_reset();
  ASSERT_TRUE(cups::getQueueAccess("p1", access));
  EXPECT_EQ(access.deviceUri, "");
  EXPECT_TRUE(access.allowedUsers.empty());
}

TEST_F(CupsFake, AddPrinterForUnknownUserSendsNothing) {
  testing_support::ScopedCapture capture("CupsApi", 100);
  const uid_t nobodyKnows = 4123456789u;
  EXPECT_FALSE(cups::addPrinter("p1", "i", "/p.ppd", "7", nobodyKnows, 0));
  EXPECT_TRUE(capture.logger.contains("passwd lookup failed for uid"));
  EXPECT_EQ(std::string(fake_requests()), "");
  EXPECT_EQ(std::string(fake_connectedTo()), "");
}

TEST_F(CupsFake, DeletePrinterSendsOnlyTheQueueUri) {
  ASSERT_TRUE(cups::deletePrinter("p1"));
  EXPECT_EQ(std::string(fake_requests()),
            "op=4004 id=1 resource=/admin/ file=(none)"
            " 1/47 attributes-charset=utf-8 1/48 attributes-natural-language=de_DE"
            " 1/45 printer-uri=ipp://localhost/printers/p1\n");
}

TEST_F(CupsFake, LastErrorStringFromErrorCode) {
  fake_setStatus(0x0406);
  EXPECT_STREQ(cups::lastErrorString(), "fake-error-0406");
}

TEST_F(CupsFake, InitialiseInstallsPasswordCallbackOnce) {
  cups::initialise();
  cups::initialise();
  EXPECT_EQ(fake_passwordCallbacks(), 1);
  EXPECT_FALSE(cups::version1_1);
}

TEST_F(CupsFake, PrintPsWithPrinterOptionsAndFitToPage) {
  fake_addDest("p1", 0);
  fake_addDestOption("p1", "fitplot", "false");
  fake_addDestOption("p1", "media", "A4");
  cups::printPS("P1", "/tmp/job.ps", "Job title", true);
  EXPECT_EQ(std::string(fake_printed()), "P1 /tmp/job.ps Job title fitplot=true media=A4 "
                                         "document-format=application/postscript\n");
  fake_reset();
  fake_addDest("p1", 0);
  cups::printPS("p1", "/tmp/job.ps", "t", false);
  EXPECT_EQ(std::string(fake_printed()),
            "p1 /tmp/job.ps t document-format=application/postscript\n");
}

TEST_F(CupsFake, PrintPsFailures) {
  testing_support::ScopedCapture capture("CupsApi", 100);
  EXPECT_EQ(thrownMessage([] { cups::printPS("gone", "/tmp/job.ps", "Job", false); }),
            "Failed to print 'Job' to unknown printer 'gone'");
  EXPECT_TRUE(capture.logger.contains("printPS: unknown printer 'gone'"));
  fake_addDest("p1", 0);
  fake_setJobId(0);
  fake_setStatus(0x0401);
  EXPECT_EQ(thrownMessage([] { cups::printPS("p1", "/tmp/job.ps", "Job", false); }),
            "Failed to print 'Job' to printer 'p1': fake-error-0401");
}

TEST_F(CupsFake, DefaultNames) {
  {
    cups::Dests none;
    EXPECT_EQ(none.count(), 0);
    EXPECT_EQ(none.defaultDestName(), nullptr);
    EXPECT_EQ(none.defaultName(), nullptr);
  }
  fake_addDest("a", 0);
  fake_addDest("b", 0);
  {
    cups::Dests two;
    EXPECT_EQ(two.defaultDestName(), nullptr);
    EXPECT_STREQ(two.defaultName(), "a");
    EXPECT_STREQ(two.find("B")->name, "b");
    EXPECT_EQ(two.find("c"), nullptr);
  }
  fake_reset();
  fake_addDest("a", 0);
  fake_addDest("b", 1);
  cups::Dests withDefault;
  EXPECT_STREQ(withDefault.defaultDestName(), "b");
  EXPECT_STREQ(withDefault.defaultName(), "b");
}

TEST_F(CupsFake, SetDefault) {
  fake_addDest("a", 1);
  fake_addDest("b", 0);
  cups::Dests dests;
  {
    testing_support::ScopedCapture capture("CupsApi", 100);
    dests.setDefault(nullptr);
    ASSERT_EQ(capture.logger.lines.size(), 1u);
    EXPECT_EQ(capture.logger.lines[0].text, "trying to set default printer to (nil)");
  }
  EXPECT_EQ(std::string(fake_saved()), "");
  EXPECT_EQ(dests.at(0)->is_default, 1);
  testing_support::ScopedCapture capture("CupsApi", 100);
  dests.setDefault(dests.at(1));
  // Stored in this process (real and effective ids are equal), not a child.
  EXPECT_EQ(std::string(fake_saved()), "a\nb*\n");
  EXPECT_TRUE(capture.logger.contains("Printer name = b"));
  EXPECT_TRUE(capture.logger.contains("(a) is_default = true"));
  EXPECT_TRUE(capture.logger.contains("(b) is_default = false"));
}

TEST_F(CupsFake, SetZavOptions) {
  fake_addDest("p1", 0);
  fake_addDestOption("p1", "zav-id", "old");
  fake_addDest("p2", 0);
  cups::Dests dests;
  cups::setZavOptions(dests, nullptr, "42", getuid());
  EXPECT_EQ(std::string(fake_saved()), "");
  cups::setZavOptions(dests, dests.find("p1"), "42", getuid());
  EXPECT_EQ(std::string(fake_saved()), "p1 zav-id=42 zav-user=" + me() + "\np2\n");

  testing_support::ScopedCapture capture("CupsApi", 100);
  EXPECT_NE(thrownMessage([&] { cups::setZavOptions(dests, dests.find("p2"), "1", 4123456789u); }),
            "<no exception>");
  EXPECT_TRUE(capture.logger.contains("setZavOptions() passwd lookup failed for uid"));
}

TEST_F(CupsFake, OptionsReplaceByName) {
  cups::Options options;
  options.add("a", "1");
  options.add("b", "2");
  options.add("a", "3");
  ASSERT_EQ(options.count(), 2);
  EXPECT_STREQ(cups::cupsGetOption("a", options.count(), options.options()), "3");
}

TEST_F(CupsFake, PpdFile) {
  EXPECT_EQ(thrownMessage([] { cups::PpdFile ppd("p1"); }),
            "Failed to get PPD file for printer 'p1'");

  TempDir dir;
  std::string path = dir / "p1.ppd";
  std::ofstream(path) << "*PPD-Adobe: \"4.3\"\n";
  fake_setPpd(path.c_str());
  {
    cups::PpdFile ppd("p1");
    EXPECT_NE(ppd.ppd(), nullptr);
    EXPECT_EQ(std::string(ppd.fileName()), path);
    EXPECT_EQ(cups::ppdPageWidth(ppd.ppd(), nullptr), 595.0f);
  }
  EXPECT_FALSE(fileExists(path)) << "the temporary PPD stays behind";

  // A PPD that cannot be opened: the failure, and the file is removed.
  std::string unreadable = dir / "sub";
  ASSERT_EQ(mkdir(unreadable.c_str(), 0700), 0);
  std::string missing = unreadable + "/none.ppd";
  fake_setPpd(missing.c_str());
  EXPECT_EQ(thrownMessage([] { cups::PpdFile ppd("p1"); }),
            "Failed to open PPD file '" + missing + "' for printer 'p1'");
}
