// The printing glue where libcups.so.2 holds none of the library's functions
// (the empty stand-in is loaded under that name): nothing can be bound, and
// that is reported as the library being missing.
#include "cups/CupsApi.h"

#include "ThrownMessage.h"
#include "cups/Dests.h"
#include "cups/LoadFailed.h"
#include "cups/Printers.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unistd.h>

using testing_support::thrownMessage;

TEST(CupsNoLibrary, IsNotAvailable) {
  EXPECT_FALSE(cups::isAvailable());
  EXPECT_FALSE(cups::isAvailable());
}

TEST(CupsNoLibrary, EveryWrapperThrowsLoadFailedWithItsName) {
  char uri[64];
  cups::cups_dest_t* dests = nullptr;
  struct {
    const char* message;
    std::function<void()> call;
  } cases[] = {
      {"failed to load ppdOpenFile", [] { cups::ppdOpenFile("/x"); }},
      {"failed to load ppdClose", [] { cups::ppdClose(nullptr); }},
      {"failed to load ppdPageWidth", [] { cups::ppdPageWidth(nullptr, nullptr); }},
      {"failed to load ppdPageLength", [] { cups::ppdPageLength(nullptr, nullptr); }},
      {"failed to load ippNew", [] { cups::ippNew(); }},
      {"failed to load ippDelete", [] { cups::ippDelete(nullptr); }},
      {"failed to load ippAddString",
       [] { cups::ippAddString(nullptr, 1, 0x41, "a", nullptr, "b"); }},
      {"failed to load ippAddInteger", [] { cups::ippAddInteger(nullptr, 1, 0x23, "a", 1); }},
      {"failed to load ippAddBoolean", [] { cups::ippAddBoolean(nullptr, 1, "a", 1); }},
      {"failed to load ippAddStrings",
       [] { cups::ippAddStrings(nullptr, 1, 0x44, "a", 0, nullptr, nullptr); }},
      {"failed to load ippFindAttribute", [] { cups::ippFindAttribute(nullptr, "a", 0); }},
      {"failed to load ippGetCount", [] { cups::ippGetCount(nullptr); }},
      {"failed to load ippGetString", [] { cups::ippGetString(nullptr, 0, nullptr); }},
      {"failed to load ippErrorString", [] { cups::ippErrorString(0); }},
      {"failed to load ippPort", [] { cups::ippPort(); }},
      {"failed to load httpConnect", [] { cups::httpConnect("localhost", 631); }},
      {"failed to load httpClose", [] { cups::httpClose(nullptr); }},
      {"failed to load cupsServer", [] { cups::cupsServer(); }},
      {"failed to load cupsSetPasswordCB", [] { cups::cupsSetPasswordCB(nullptr); }},
      {"failed to load cupsGetDests", [&] { cups::cupsGetDests(&dests); }},
      {"failed to load cupsGetDest", [] { cups::cupsGetDest("a", nullptr, 0, nullptr); }},
      {"failed to load cupsSetDests", [] { cups::cupsSetDests(0, nullptr); }},
      {"failed to load cupsFreeDests", [] { cups::cupsFreeDests(0, nullptr); }},
      {"failed to load cupsAddOption", [] { cups::cupsAddOption("a", "b", 0, nullptr); }},
      {"failed to load cupsGetOption", [] { cups::cupsGetOption("a", 0, nullptr); }},
      {"failed to load cupsFreeOptions", [] { cups::cupsFreeOptions(0, nullptr); }},
      {"failed to load cupsPrintFile", [] { cups::cupsPrintFile("p", "f", "t", 0, nullptr); }},
      {"failed to load cupsGetPPD", [] { cups::cupsGetPPD("p"); }},
      {"failed to load cupsDoFileRequest",
       [] { cups::cupsDoFileRequest(nullptr, nullptr, "/", nullptr); }},
      {"failed to load cupsLastError", [] { cups::cupsLastError(); }},
      {"failed to load cupsLangGet", [] { cups::cupsLangGet(nullptr); }},
      {"failed to load cupsLangEncoding", [] { cups::cupsLangEncoding(nullptr); }},
      // The fallbacks need functions of their own, which are missing too.
      {"failed to load cupsLangGet", [] { cups::ippNewRequest(0x4003); }},
      {"failed to load cupsDoFileRequest", [] { cups::cupsDoRequest(nullptr, nullptr, "/"); }},
      {"failed to load cupsLastError", [] { cups::lastErrorString(); }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(thrownMessage(c.call), c.message);
    // A failed binding leaves nothing behind: the next call tries again.
    EXPECT_EQ(thrownMessage(c.call), c.message);
  }
  // The fallback URI needs nothing of the library.
  EXPECT_EQ(cups::httpAssembleURI(0, uri, sizeof(uri), "ipp", nullptr, "h", 0, "/r"), 0);
  EXPECT_STREQ(uri, "ipp://h/r");
}

TEST(CupsNoLibrary, VersionCheckFindsNothing) {
  cups::checkVersion1_1();
  EXPECT_FALSE(cups::version1_1);
}

TEST(CupsNoLibrary, InitialiseFailsAndStaysToBeDone) {
  EXPECT_EQ(thrownMessage([] { cups::initialise(); }), "failed to load cupsSetPasswordCB");
  EXPECT_EQ(thrownMessage([] { cups::initialise(); }), "failed to load cupsSetPasswordCB");
}

TEST(CupsNoLibrary, OperationsThrowLoadFailed) {
  EXPECT_EQ(thrownMessage([] { cups::addPrinter("p1", "i", "/x.ppd", "7", getuid(), 1); }),
            "failed to load cupsServer");
  EXPECT_EQ(thrownMessage([] { cups::deletePrinter("p1"); }), "failed to load cupsServer");
  cups::QueueAccess access;
  EXPECT_EQ(thrownMessage([&] { cups::getQueueAccess("p1", access); }),
            "failed to load cupsServer");
  EXPECT_EQ(thrownMessage([] { cups::printPS("p1", "/x.ps", "t", false); }),
            "failed to load cupsGetDests");
  EXPECT_EQ(thrownMessage([] { cups::Dests dests; }), "failed to load cupsGetDests");
}

TEST(CupsNoLibrary, BackendCheckStillAnswers) {
  EXPECT_FALSE(cups::backendInstalled("/nonexistent/zav"));
}
