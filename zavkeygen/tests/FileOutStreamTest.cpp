#include "zavkeygen/FileOutStream.h"

#include "CaptureLogger.h"
#include "TempDir.h"
#include "plat/Exception.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

using testing_support::TempDir;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(FileOutStream, WritesCreatesAppends) {
  TempDir dir;
  std::string path = dir / "out";
  {
    rdr::FileOutStream out(path.c_str(), true, false);
    out.writeU32(0x41424344);
    out.writeBytes("efg", 3);
    out.sync();
    out.close();
  }
  EXPECT_EQ(readFile(path), "ABCDefg");
  {
    rdr::FileOutStream out(path.c_str(), true, true);
    out.writeU8('h');
  } // the destructor flushes and closes
  EXPECT_EQ(readFile(path), "ABCDefgh");
  {
    rdr::FileOutStream out(path.c_str(), true, false);
    out.writeU8('i');
  }
  EXPECT_EQ(readFile(path), "i");
}

TEST(FileOutStream, FullDeviceIsReportedBySyncAndClose) {
  struct Case {
    bool sync;
    const char* message;
  } cases[] = {
      {true, "writing to file failed: No space left on device (28)"},
      {false, "closing file failed: No space left on device (28)"},
  };
  for (const Case& c : cases) {
    rdr::FileOutStream out("/dev/full", true, false);
    out.writeBytes("key", 3);
    try {
      if (c.sync)
        out.sync();
      else
        out.close();
      ADD_FAILURE() << "the write to /dev/full succeeded";
    } catch (plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.message);
    }
  }
}

TEST(FileOutStream, FailedWriteIsReportedOnceNotAgainByTheDestructor) {
  testing_support::ScopedCapture capture("FileOutStream", 100);
  ASSERT_TRUE(capture.found());
  {
    // Without a stdio buffer the write itself meets the full device.
    FILE* file = fopen("/dev/full", "wb");
    ASSERT_NE(file, nullptr);
    setvbuf(file, nullptr, _IONBF, 0);
    rdr::FileOutStream out(file, true);
    out.writeBytes("key", 3);
    try {
      out.flush();
      ADD_FAILURE() << "the write to /dev/full succeeded";
    } catch (plat::Exception& e) {
      EXPECT_STREQ(e.str(), "writing to file failed: No space left on device (28)");
    }
  }
  EXPECT_TRUE(capture.logger.lines.empty()) << capture.logger.lines[0].text;
}

TEST(FileOutStream, OpenFailure) {
  TempDir dir;
  std::string path = dir / "no/such/dir";
  try {
    rdr::FileOutStream out(path.c_str(), true, false);
    FAIL() << "opened " << path;
  } catch (plat::Exception& e) {
    EXPECT_EQ(std::string(e.str()), "fileOpen(" + path + "): No such file or directory (2)");
  }
}

} // namespace
