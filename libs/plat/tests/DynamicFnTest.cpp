#include "plat/DynamicFn.h"

#include "CaptureLogger.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <string>

using testing_support::ScopedCapture;
using testing_support::TempDir;

namespace {

const std::string fixtureDir = ZAV_DYNFIX_DIR;

bool isLoaded(const char* file) {
  void* h = dlopen(file, RTLD_LAZY | RTLD_NOLOAD);
  if (h)
    dlclose(h);
  return h != nullptr;
}

int call(const plat::DynamicFn& fn) {
  return reinterpret_cast<int (*)()>(fn.getFunction())();
}

TEST(DynamicFn, TriesVersionsInOrderWithoutAnUnversionedLink) {
  ScopedCapture log("DynamicFn", 120);
  plat::DynamicFn fn("dynfixa[3,2,1]", "fixture_answer");
  ASSERT_NE(fn.getFunction(), nullptr);
  EXPECT_NE(fn.getHandle(), nullptr);
  EXPECT_EQ(call(fn), 42);
  EXPECT_TRUE(log.logger.contains(" [DynFnOpen(libdynfixa.so.3) failed]"));
  EXPECT_TRUE(log.logger.contains(" [DynFnOpen(libdynfixa.so.2) failed]"));
  EXPECT_TRUE(log.logger.contains("found 'fixture_answer' in 'libdynfixa.so.1'"));

  // The bare name needs libdynfixa.so, which does not exist.
  plat::DynamicFn bare("dynfixa", "fixture_answer");
  EXPECT_EQ(bare.getFunction(), nullptr);
  EXPECT_EQ(bare.getHandle(), nullptr);
  EXPECT_TRUE(log.logger.contains(" [DynFnOpen(libdynfixa.so) failed]"));
}

TEST(DynamicFn, LibraryLackingTheSymbolIsClosedBeforeTheNextEntry) {
  ScopedCapture log("DynamicFn", 120);
  ASSERT_FALSE(isLoaded("libdynfixb.so.2"));
  {
    plat::DynamicFn fn("dynfixb[2],dynfixa[1]", "fixture_answer");
    ASSERT_NE(fn.getFunction(), nullptr);
    EXPECT_EQ(call(fn), 42);
    EXPECT_TRUE(log.logger.contains("  [DynFnFind(fixture_answer) failed]"));
    EXPECT_FALSE(isLoaded("libdynfixb.so.2"));
    EXPECT_TRUE(isLoaded("libdynfixa.so.1"));
  }
  // The destructor let the library go.
  EXPECT_FALSE(isLoaded("libdynfixa.so.1"));

  plat::DynamicFn none("dynfixb[2]", "fixture_answer");
  EXPECT_EQ(none.getFunction(), nullptr);
  EXPECT_EQ(none.getHandle(), nullptr);
  EXPECT_FALSE(isLoaded("libdynfixb.so.2"));
}

TEST(DynamicFn, SymbolAlternativesBindTheFirstFound) {
  struct Case {
    const char* symbols;
    int result; // 0: nothing bound
  } cases[] = {
      {"fixture_answer,fixture_second", 42},
      {"no_such_symbol,fixture_second", 2},
      {"no_such_symbol,,fixture_answer", 42},
      {"no_such_symbol", 0},
      {"", 0},
  };
  for (const Case& c : cases) {
    plat::DynamicFn fn("dynfixa[1]", c.symbols);
    if (c.result) {
      ASSERT_NE(fn.getFunction(), nullptr) << c.symbols;
      EXPECT_EQ(call(fn), c.result) << c.symbols;
    } else {
      EXPECT_EQ(fn.getFunction(), nullptr) << c.symbols;
      EXPECT_EQ(fn.getHandle(), nullptr) << c.symbols;
    }
  }
}

TEST(DynamicFn, PathsAndLiteralNamesAreOpenedUnchanged) {
  TempDir dir;
  std::string odd = dir.file("lib[odd].so");
  ASSERT_EQ(0, symlink((fixtureDir + "/libdynfixa.so.1").c_str(), odd.c_str()));

  plat::DynamicFn byPath((fixtureDir + "/libdynfixa.so.1").c_str(), "fixture_second");
  ASSERT_NE(byPath.getFunction(), nullptr);
  EXPECT_EQ(call(byPath), 2);

  plat::DynamicFn literal(("/nonexistent/x.so," + odd).c_str(), "fixture_answer", true);
  ASSERT_NE(literal.getFunction(), nullptr);
  EXPECT_EQ(call(literal), 42);

  // Without the flag the brackets are read as versions.
  plat::DynamicFn parsed(odd.c_str(), "fixture_answer");
  EXPECT_EQ(parsed.getFunction(), nullptr);
}

TEST(DynamicFn, MalformedSpecificationsFindNothingQuietly) {
  const char* specs[] = {"",          ",",          "[1]",         "dynfixa[",
                         "dynfixa[]", "dynfixa[,]", ",,dynfixb[2", "dynfixa]1["};
  for (const char* spec : specs) {
    plat::DynamicFn fn(spec, "fixture_answer");
    EXPECT_EQ(fn.getFunction(), nullptr) << spec;
  }
  // An entry without versions may come first, too.
  plat::DynamicFn plainFirst("zavnosuchlib,dynfixa[1]", "fixture_answer");
  EXPECT_NE(plainFirst.getFunction(), nullptr);
  plat::DynamicFn unclosed("dynfixa[2,1", "fixture_answer");
  EXPECT_NE(unclosed.getFunction(), nullptr);
  plat::DynamicFn nulls(nullptr, nullptr);
  EXPECT_EQ(nulls.getFunction(), nullptr);
}

// Real optional libraries of the system, bound the way their users bind them.
TEST(DynamicFn, BindsRealSystemLibraries) {
  struct Case {
    const char* library;
    const char* symbol;
    const char* file;
  } cases[] = {
      {"Xfixes[3,2,1]", "XFixesQueryExtension", "libXfixes.so.3"},
      {"cups[2]", "cupsGetDests", "libcups.so.2"},
      {"pam[0],pam", "pam_start", "libpam.so.0"},
  };
  for (const Case& c : cases) {
    ScopedCapture log("DynamicFn", 100);
    plat::DynamicFn fn(c.library, c.symbol);
    EXPECT_NE(fn.getFunction(), nullptr) << c.library;
    EXPECT_TRUE(log.logger.contains(std::string("found '") + c.symbol + "' in '" + c.file + "'"))
        << c.library;
  }
  // Only major version 2 of the printing library is installed.
  plat::DynamicFn cups3("cups[3]", "cupsGetDests");
  EXPECT_EQ(cups3.getFunction(), nullptr);
  EXPECT_EQ(cups3.getHandle(), nullptr);
  // The unversioned name needs the development link, which only a -dev
  // package installs.
  bool devLink = access("/usr/lib/x86_64-linux-gnu/libpam.so", F_OK) == 0;
  plat::DynamicFn bare("pam", "pam_start");
  EXPECT_EQ(bare.getFunction() != nullptr, devLink);
}

} // namespace
