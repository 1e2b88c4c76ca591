#include "x0zavserver/unix/GssApi.h"

#include "CaptureLogger.h"
#include "GssStandIn.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::thrownMessage;

class GssApiTest : public ::testing::Test {
protected:
  void TearDown() override { gssapi::GssApi::dllPath.setParam("", 50); }
  void use(const std::string& paths) { gssapi::GssApi::dllPath.setParam(paths.c_str(), 50); }

  testing_support::GssStandIn standIn;
  testing_support::ScopedCapture capture{"GssApi", 100};
};

TEST_F(GssApiTest, MissingPathThenWorkingLibrary) {
  use(standIn.dir.file("lib/missing.so") + "," + standIn.library);
  gssapi::GssApi api;
  EXPECT_NE(api.gss_accept_sec_context, nullptr);
  EXPECT_TRUE(capture.logger.contains("missing.so")) << "the first path's failure is logged";
}

TEST_F(GssApiTest, LibraryWithoutAFunctionIsSkipped) {
  use(standIn.withoutStatus + "," + standIn.library);
  gssapi::GssApi api;
  EXPECT_TRUE(capture.logger.contains("GSS library error: "));
  EXPECT_TRUE(capture.logger.contains("gss_display_status"));
}

TEST_F(GssApiTest, NothingUsable) {
  std::string text = standIn.dir.file("lib/text.so");
  std::ofstream(text) << "not a library\n";
  for (std::string paths : {std::string(), std::string(","), standIn.withoutStatus,
                            text + "," + standIn.dir.file("lib/missing.so")}) {
    use(paths);
    EXPECT_EQ(thrownMessage([] { gssapi::GssApi api; }), "GSS-API DLL not found") << paths;
  }
}

TEST_F(GssApiTest, RefusedPathEndsTheLoading) {
  if (getuid() != 0)
    GTEST_SKIP() << "the checks apply only to root";
  ASSERT_EQ(chmod(standIn.withoutStatus.c_str(), 0777), 0);
  use(standIn.withoutStatus + "," + standIn.library);
  EXPECT_EQ(thrownMessage([] { gssapi::GssApi api; }),
            standIn.resolvedDir +
                "/lib/libgss_nostatus.so: permissions are not restrictive enough");
  use("lib/libgss_standin.so," + standIn.library);
  EXPECT_EQ(thrownMessage([] { gssapi::GssApi api; }),
            "lib/libgss_standin.so: not an absolute path");
}

TEST_F(GssApiTest, RelativePathLoadsWhenNotRoot) {
  // Checks are root's: a core without a co-process loads what it is told.
  if (getuid() == 0) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool loaded = false;
      if (chdir(standIn.dir.path().c_str()) == 0 && setresuid(65534, 65534, 65534) == 0) {
        use("lib/libgss_standin.so");
        try {
          gssapi::GssApi api;
          loaded = true;
        } catch (plat::Exception&) {
        }
      }
      _exit(loaded ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  } else {
    ASSERT_EQ(chdir(standIn.dir.path().c_str()), 0);
    use("lib/libgss_standin.so");
    EXPECT_NO_THROW(gssapi::GssApi api);
  }
}

TEST_F(GssApiTest, StatusTexts) {
  use(standIn.library);
  gssapi::GssApi api;
  EXPECT_STREQ(api.statusText(0x10000, gssapi::GSS_C_GSS_CODE).c_str(), "gss-10000");
  EXPECT_STREQ(api.statusText(0x10000, gssapi::GSS_C_MECH_CODE).c_str(), "mech-10000");
  EXPECT_STREQ(api.statusText(0xbad, gssapi::GSS_C_GSS_CODE).c_str(), "<unknown>");
  EXPECT_NO_THROW(api.check("op", 1, 5));
  EXPECT_EQ(thrownMessage([&] { api.check("op", 0x20000, 0); }),
            "op: gss-20000 (00020000:00000000)");
  EXPECT_EQ(thrownMessage([&] { api.check("op", 0x02000001, 0xbad); }),
            "op: gss-2000001: <unknown> (02000001:00000bad)");
}

} // namespace
