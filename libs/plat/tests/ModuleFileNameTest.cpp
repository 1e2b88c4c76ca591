#include "plat/ModuleFileName.h"

#include "plat/Exception.h"

#include "ScopedEnv.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

class ModuleFileNameTest : public ::testing::Test {
protected:
  void SetUp() override {
    // bin1/prog and bin2/prog run; bin0/prog has no execute bit; bin3/prog
    // is a directory; grp/prog and oth/prog are executable by group or
    // others only.
    makeFile("bin1", 0755);
    makeFile("bin2", 0755);
    makeFile("bin0", 0644);
    mkdir(dir.file("bin3").c_str(), 0755);
    mkdir(dir.file("bin3/prog").c_str(), 0755);
    makeFile("grp", 0610);
    makeFile("oth", 0601);
  }
  void makeFile(const char* sub, mode_t mode) {
    mkdir(dir.file(sub).c_str(), 0755);
    std::string path = dir.file(std::string(sub) + "/prog");
    int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    close(fd);
    chmod(path.c_str(), mode);
  }
  std::string d(const char* sub) { return dir.file(sub); }
  static std::string resolved(const char* name) {
    std::unique_ptr<char[]> r(plat::ModuleFileName::resolve(name));
    return r ? r.get() : "(null)";
  }

  TempDir dir;
};

TEST_F(ModuleFileNameTest, SearchesThePathTable) {
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {d("bin1") + ":" + d("bin2"), d("bin1") + "/prog"},
      {d("bin2") + ":" + d("bin1"), d("bin2") + "/prog"},
      {d("bin0") + ":" + d("bin2"), d("bin2") + "/prog"},
      {d("bin3") + ":" + d("bin1"), d("bin1") + "/prog"},
      {d("missing") + ":" + d("bin0"), "(null)"},
      {":" + d("bin1"), d("bin1") + "/prog"},
      {d("bin0") + "::" + d("bin2") + ":", d("bin2") + "/prog"},
      {d("grp"), d("grp") + "/prog"},
      {d("oth"), d("oth") + "/prog"},
      {"", "(null)"},
  };
  for (const Case& c : cases) {
    ScopedEnv path("PATH", c.path.c_str());
    EXPECT_EQ(resolved("prog"), c.expected) << c.path;
  }
}

TEST_F(ModuleFileNameTest, NamesWithASlashComeBackUnchanged) {
  ScopedEnv path("PATH", d("bin1").c_str());
  EXPECT_EQ(resolved("./no/such/prog"), "./no/such/prog");
  EXPECT_EQ(resolved("/no/such/prog"), "/no/such/prog");
  EXPECT_EQ(resolved("bin1/prog"), "bin1/prog");
  EXPECT_EQ(resolved(nullptr), "(null)");
}

TEST_F(ModuleFileNameTest, UnsetPathFindsNothing) {
  ScopedEnv path("PATH", nullptr);
  EXPECT_EQ(resolved("prog"), "(null)");
  plat::ModuleFileName m("prog");
  EXPECT_EQ(m.get(), nullptr);
}

TEST_F(ModuleFileNameTest, DefaultArgv0StandsForTheProgram) {
  ScopedEnv path("PATH", (d("bin0") + ":" + d("bin2")).c_str());
  // The default is unset in a fresh process; tests run one per process.
  if (!plat::ModuleFileName::getDefaultArgv0()) {
    try {
      plat::ModuleFileName m;
      FAIL() << "no exception";
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), "No program name specified and no default set");
    }
  }
  plat::ModuleFileName::setDefaultArgv0("prog");
  EXPECT_EQ(std::string(plat::ModuleFileName().get()), d("bin2") + "/prog");
  plat::ModuleFileName::setDefaultArgv0("/usr/bin/other");
  EXPECT_STREQ(plat::ModuleFileName().get(), "/usr/bin/other");
  plat::ModuleFileName named("prog");
  EXPECT_EQ(std::string(named.get()), d("bin2") + "/prog");
}

} // namespace
