// A private temporary directory for one test, removed with everything in it
// when the test ends.
#pragma once

#include <ftw.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

class TestDir {
public:
  TestDir() {
    char templ[] = "/tmp/zavtest.XXXXXX";
    if (!mkdtemp(templ))
      throw std::runtime_error("mkdtemp failed");
    path_ = templ;
  }
  ~TestDir() {
    nftw(
        path_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) {
          chmod(p, 0700);
          return remove(p);
        },
        16, FTW_DEPTH | FTW_PHYS);
  }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

// Helpers for whole-file contents.
inline std::string readFile(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return "<missing>";
  std::string text;
  int c;
  while ((c = getc(f)) != EOF)
    text += static_cast<char>(c);
  fclose(f);
  return text;
}

inline void writeFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    throw std::runtime_error("cannot write " + path);
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

inline int fileMode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}
