#include "zavkeygen/FileInStream.h"

#include "TempDir.h"
#include "rdr/Exception.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

using testing_support::TempDir;

namespace {

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(FileInStream, ReadsTheFileThenEnds) {
  TempDir dir;
  std::string content(40000, 'x');
  content[39999] = 'y';
  writeFile(dir / "data", content);
  rdr::FileInStream in((dir / "data").c_str(), true);
  std::string got(40000, '\0');
  in.readBytes(&got[0], 40000);
  EXPECT_EQ(got, content);
  EXPECT_THROW(in.readU8(), rdr::EndOfStream);
}

TEST(FileInStream, Failures) {
  TempDir dir;
  writeFile(dir / "empty", "");
  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {dir / "empty", "End of stream"},
      {dir / "missing", "fileOpen(" + (dir / "missing") + "): No such file or directory (2)"},
      {dir.path(), "reading from file failed: Is a directory (21)"},
  };
  for (const Case& c : cases) {
    try {
      rdr::FileInStream in(c.path.c_str(), true);
      in.readU8();
      ADD_FAILURE() << c.path << " was read";
    } catch (plat::Exception& e) {
      EXPECT_EQ(e.str(), c.message) << c.path;
    }
  }
}

TEST(FileInStream, AttachedFileIsClosedOnlyWhenOwned) {
  TempDir dir;
  writeFile(dir / "data", "ab");
  FILE* f = fopen((dir / "data").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  {
    rdr::FileInStream in(f, false);
    EXPECT_EQ(in.readU8(), 'a');
  }
  // Still open: the stream's buffer took both bytes, so the file is at its end.
  EXPECT_EQ(fgetc(f), EOF);
  EXPECT_EQ(fclose(f), 0);
}

} // namespace
