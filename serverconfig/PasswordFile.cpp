#include "serverconfig/PasswordFile.h"

#include "plat/ConfigParameter.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/ObfuscatedPassword.h"
#include "plat/ReplacementFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace serverconfig {

namespace {

// The largest file read back: a 255-character password with its tail.
constexpr int maxStoredLength = 256 + 4;

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

} // namespace

PasswordFile::PasswordFile(const plat::ConfigParameter& parameter) {
  plat::String value = parameter.getValueStr();
  if (value.isNull() || !*value.get())
    throw plat::ExceptionFmt("Please specify a file location for the %s parameter.",
                             parameter.getName());
  plat::EnvExpandedString expanded(value.get());
  path_ = expanded.c_str();
}

void PasswordFile::write(const char* password) const {
  std::unique_ptr<plat::ReplacementFile> file;
  try {
    file = std::make_unique<plat::ReplacementFile>(path(), true);
  } catch (const plat::SystemException& e) {
    throw plat::SystemException("Opening password file failed", e.getErrno());
  }
  // A file replaced keeps its old bits otherwise; this one is always private.
  if (fchmod(fileno(file->get()), 0600) != 0)
    throw plat::SystemException("Opening password file failed", errno);

  size_t length = strlen(password);
  plat::PlainPassword plain(static_cast<int>(length));
  memcpy(plain.buf(), password, length);
  plat::ObfuscatedPassword obfuscated(plain);
  if (fwrite(obfuscated.data(), obfuscated.length(), 1, file->get()) != 1)
    throw plat::SystemException("Writing password file failed", errno);
  try {
    file->commit();
  } catch (const plat::SystemException& e) {
    throw plat::SystemException("Writing password file failed", e.getErrno());
  }
}

bool PasswordFile::hasPassword() const {
  struct stat st;
  if (stat(path(), &st) != 0)
    return false;
  FilePtr f(fopen(path(), "r"));
  if (!f)
    throw plat::SystemException("Opening password file failed", errno);
  unsigned char byte;
  return fread(&byte, 1, 1, f.get()) == 1;
}

plat::PlainPassword PasswordFile::read() const {
  FilePtr f(fopen(path(), "rb"));
  if (!f)
    throw plat::SystemException("Opening password file failed", errno);
  plat::ObfuscatedPassword stored(maxStoredLength + 1);
  size_t n = fread(stored.data(), 1, maxStoredLength + 1, f.get());
  if (ferror(f.get()))
    throw plat::SystemException("Reading password file failed", errno);
  if (n > static_cast<size_t>(maxStoredLength))
    throw plat::Exception("bad obfuscated password length");
  plat::ObfuscatedPassword exact(stored.data(), static_cast<int>(n));
  return plat::PlainPassword(exact);
}

void PasswordFile::remove() const {
  if (unlink(path()) != 0 && errno != ENOENT)
    throw plat::SystemException("Removing password file failed", errno);
}

} // namespace serverconfig
