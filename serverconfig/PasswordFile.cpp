#include "serverconfig/PasswordFile.h"

#include "plat/ConfigParameter.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/ObfuscatedPassword.h"
#include "plat/ReplacementFile.h"
#include "plat/unix/OwnedFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace serverconfig {

static plat::LogWriter vlog("PasswordFile");

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
  size_t length = strlen(password);
  plat::PlainPassword plain(static_cast<int>(length));
  memcpy(plain.buf(), password, length);
  plat::ObfuscatedPassword obfuscated(plain);

  std::unique_ptr<plat::ReplacementFile> file;
  try {
    file = std::make_unique<plat::ReplacementFile>(path(), true);
  } catch (const plat::SystemException& e) {
    // A folder the user may not write to refuses the temporary file, while
    // the file itself may still be theirs to rewrite.
    if (e.getErrno() != EACCES && e.getErrno() != EPERM)
      throw plat::SystemException("Opening password file failed", e.getErrno());
    rewriteInPlace(obfuscated);
    return;
  }
  // A file replaced keeps its old bits otherwise; this one is always private.
  if (fchmod(fileno(file->get()), 0600) != 0)
    throw plat::SystemException("Opening password file failed", errno);
  if (fwrite(obfuscated.data(), obfuscated.length(), 1, file->get()) != 1)
    throw plat::SystemException("Writing password file failed", errno);
  try {
    file->commit();
  } catch (const plat::SystemException& e) {
    throw plat::SystemException("Writing password file failed", e.getErrno());
  }
}

void PasswordFile::rewriteInPlace(const plat::ObfuscatedPassword& obfuscated) const {
  // Nothing is cut before the file is known to be writable and private as
  // far as the user can make it: a file set up by someone else for the user
  // to write (through its group) keeps its owner's bits, which only that
  // owner may change.
  os::OwnedFd fd(open(path(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (fd.get() < 0)
    throw plat::SystemException("Opening password file failed", errno);
  struct stat st;
  if (fstat(fd.get(), &st) != 0)
    throw plat::SystemException("Opening password file failed", errno);
  if (st.st_uid == geteuid() && fchmod(fd.get(), 0600) != 0)
    throw plat::SystemException("Opening password file failed", errno);
  // The new bytes go over the old before the file is cut to their length:
  // at no moment is it empty, and a failed write leaves the old password.
  try {
    plat::fileRewriteInPlace(fd.get(), obfuscated.data(), size_t(obfuscated.length()), path());
  } catch (const plat::SystemException& e) {
    throw plat::SystemException("Writing password file failed", e.getErrno());
  }
  if (close(fd.release()) != 0)
    throw plat::SystemException("Writing password file failed", errno);
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
