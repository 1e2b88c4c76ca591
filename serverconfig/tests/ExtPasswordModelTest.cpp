// The extra users' password files: enabled by a file with content, empty
// files and values logged, removal checked and reported, and the texts.
#include "serverconfig/ExtPasswordModel.h"
#include "serverconfig/PasswordFile.h"

#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"

#include "CaptureLogger.h"
#include "FileContents.h"
#include "TempDir.h"
#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace {

using serverconfig::ExtPasswordModel;
using testing_support::ScopedCapture;
using testing_support::thrownMessage;

class ExtPasswords : public ::testing::Test {
protected:
  testing_support::TempDir dir;
  plat::ParameterSet params{"Xzav"};
  plat::StringParameter admin{"AdminPasswordFile", "", "", false, &params};
  plat::StringParameter viewOnly{"ViewOnlyPasswordFile", "", "", false, &params};
  std::string path = dir.file("admin");
  void SetUp() override { admin.setParam(path.c_str(), 50); }
};

TEST_F(ExtPasswords, EnabledExactlyWithAFileWithContent) {
  EXPECT_FALSE(ExtPasswordModel::hasPassword(params, "AdminPasswordFile"));
  {
    ScopedCapture capture("ExtendedAuth", 100);
    testing_support::writeFile(path, "");
    EXPECT_FALSE(ExtPasswordModel::hasPassword(params, "AdminPasswordFile"));
    EXPECT_TRUE(capture.logger.contains("Unable to read password for AdminPasswordFile"));
    EXPECT_FALSE(ExtPasswordModel::hasPassword(params, "ViewOnlyPasswordFile"));
    EXPECT_TRUE(capture.logger.contains("Unable to get parameter ViewOnlyPasswordFile"));
  }
  serverconfig::PasswordFile(admin).write("secret");
  EXPECT_TRUE(ExtPasswordModel::hasPassword(params, "AdminPasswordFile"));
  ExtPasswordModel::removePassword(params, "AdminPasswordFile");
  EXPECT_FALSE(ExtPasswordModel::hasPassword(params, "AdminPasswordFile"));
}

TEST_F(ExtPasswords, AFailedRemovalIsReported) {
  mkdir(path.c_str(), 0700);
  testing_support::writeFile(path + "/x", "");
  EXPECT_EQ("Removing password file failed: Is a directory (21)",
            thrownMessage([&] { ExtPasswordModel::removePassword(params, "AdminPasswordFile"); }));
}

TEST(ExtPasswordTexts, ByUserKind) {
  EXPECT_EQ("ViewOnlyPasswordFile", ExtPasswordModel::parameterName("ViewOnly"));
  EXPECT_EQ("Zav \"Admin\" Password", ExtPasswordModel::passwordTitle("Admin"));
  EXPECT_EQ("Zav Server Password", ExtPasswordModel::passwordTitle(""));
  EXPECT_EQ("Disabling the \"Admin\" user requires the password file to be deleted\nDo you "
            "wish to remove the password?",
            ExtPasswordModel::removalQuestion("Admin"));
}

} // namespace
