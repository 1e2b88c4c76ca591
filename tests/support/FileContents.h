// Whole-file reads and writes and file modes for tests.
#pragma once

#include <cstdio>
#include <dirent.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

// The file's bytes, or "<missing>" when it cannot be opened.
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

// The permission bits of the file, or -1 when it does not exist.
inline int fileMode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// Whether path names a file or folder (a link counts as what it points to).
inline bool fileExists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

// The temporary files of replacements of the file left beside it: the names
// in its folder that begin with its own name and ".tmp".
inline std::vector<std::string> tempFilesBeside(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
  std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp";
  std::vector<std::string> found;
  if (DIR* d = opendir(folder.c_str())) {
    while (struct dirent* e = readdir(d))
      if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0)
        found.push_back(e->d_name);
    closedir(d);
  }
  return found;
}

} // namespace testing_support
