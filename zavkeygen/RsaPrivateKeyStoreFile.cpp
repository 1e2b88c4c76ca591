#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/crypto/RsaException.h"
#include "zavkeygen/FileInStream.h"
#include "zavkeygen/FileOutStream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace crypto {

static plat::LogWriter vlog("RsaPrivateKeyStoreFile");

namespace {

// A buffer for stdio that outlives the file it serves and is wiped at the end.
struct StdioBuffer {
  char bytes[BUFSIZ];
  ~StdioBuffer() { explicit_bzero(bytes, sizeof(bytes)); }
};

// The longest file name a message shows; with the longest system error text
// and the wrapping of the key store's callers the message stays within what
// an exception holds.
constexpr size_t maxShownName = 150;

std::string shownName(const char* path) {
  size_t length = strlen(path);
  if (length <= maxShownName)
    return path;
  return "..." + std::string(path + length - (maxShownName - 3));
}

// What stands at a path, in words, when it is not a regular file; null for a
// regular file.
const char* nonRegularKind(mode_t mode) {
  if (S_ISREG(mode))
    return nullptr;
  if (S_ISDIR(mode))
    return "a folder";
  if (S_ISCHR(mode))
    return "a character device";
  if (S_ISBLK(mode))
    return "a block device";
  if (S_ISFIFO(mode))
    return "a FIFO";
  if (S_ISSOCK(mode))
    return "a socket";
  return "not a regular file";
}

// Throws when something other than a regular file stands at path (links
// followed): opening a FIFO or a device would hang or read the device, and
// storing would put the key file in its place.
void refuseNonRegular(const char* path, const char* action, const std::string& shown) {
  struct stat st;
  if (stat(path, &st) != 0)
    return;
  if (const char* kind = nonRegularKind(st.st_mode))
    throw RsaException("%s %s: it is %s, not a regular file; it was left untouched", action,
                       shown.c_str(), kind);
}

} // namespace

RsaPrivateKeyStoreFile::RsaPrivateKeyStoreFile(const char* fileName_, Callback* callback,
                                               bool generateIfMissing, bool hex)
    : RsaPrivateKeyStore(callback, generateIfMissing, hex), fileName(fileName_ ? fileName_ : "") {
}

RsaPrivateKeyStoreFile::~RsaPrivateKeyStoreFile() = default;

bool RsaPrivateKeyStoreFile::load(RsaPrivateKey& key) {
  if (fileName.length() == 0)
    throw RsaException("No private key file specified");
  try {
    if (!plat::fileExists(fileName.c_str()))
      return false;
    struct stat st;
    if (stat(fileName.c_str(), &st) == 0 && nonRegularKind(st.st_mode))
      throw plat::ExceptionFmt("it is %s, not a regular file", nonRegularKind(st.st_mode));
    rdr::FileInStream in(fileName.c_str(), true);
    readKey(key, in);
    return true;
  } catch (plat::Exception& e) {
    throw RsaException("Error getting private key from %s: %s", fileName.c_str(), e.str());
  }
}

plat::String RsaPrivateKeyStoreFile::resolvedTarget(const std::string& shown) const {
  try {
    return plat::fileResolveLinks(fileName.c_str());
  } catch (plat::SystemException& e) {
    throw plat::SystemExceptionFmt("fileOpen(%s)", e.getErrno(), shown.c_str());
  }
}

void RsaPrivateKeyStoreFile::checkStorable() {
  if (fileName.length() == 0)
    throw RsaException("Error generating private key: No private key file specified");
  static const char action[] = "Cannot store the private key in";
  std::string shown = shownName(fileName.c_str());
  // Links that cannot be followed (a file where a folder should be) leave
  // the name as it is: making its folder says what is wrong.
  plat::String target(fileName.c_str());
  try {
    target = plat::fileResolveLinks(fileName.c_str());
  } catch (plat::SystemException&) {
  }
  refuseNonRegular(target.c_str(), action, shown);
  plat::DirName dir(target.c_str());
  try {
    plat::mkDirWithParents(dir.c_str(), true, false);
  } catch (plat::SystemException& e) {
    vlog.debug("%s", e.str());
    throw RsaException("%s %s: the folder %s cannot be made: %s", action, shown.c_str(),
                       shownName(dir.c_str()).c_str(), strerror(e.getErrno()));
  }
  // The folder takes the new file, or else the key file is written in place.
  if (access(dir.c_str(), W_OK | X_OK) != 0 &&
      !(plat::fileExists(target.c_str()) && access(target.c_str(), W_OK) == 0))
    throw RsaException("%s %s: the folder %s is not writable", action, shown.c_str(),
                       shownName(dir.c_str()).c_str());
}

void RsaPrivateKeyStoreFile::store(RsaPrivateKey& key) {
  if (fileName.length() == 0)
    throw RsaException("No private key file specified");
  // Messages name the key file, shortened in front when it is long, so that
  // the reason at their end is never cut off.
  std::string shown = shownName(fileName.c_str());
  // A key file reached through symbolic links is replaced where it lies.
  plat::String target = resolvedTarget(shown);
  refuseNonRegular(target.c_str(), "Cannot store the private key in", shown);
  plat::DirName dir(target.c_str());
  plat::mkDirWithParents(dir.c_str(), true, false);

  // mkostemp creates the file with mode 0600 (less the file-creation mask),
  // so no other user can open it at any time. The name is short and of fixed
  // length, so any key file name the system allows leaves room for it.
  StdioBuffer stdioBuffer;
  std::string tempName = std::string(dir.c_str()) + "/.zavkeyXXXXXX";
  bool inPlace = false;
  int fd = mkostemp(&tempName[0], O_CLOEXEC);
  if (fd < 0) {
    int err = errno;
    if ((err != EACCES && err != EPERM) || !plat::fileExists(target.c_str()))
      throw plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str());
    // The directory takes no new file, but the key file itself may be
    // writable: writing it in place is the only way left, at the price that
    // a failure part-way leaves it incomplete.
    fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, shown.c_str());
    vlog.notice("cannot create a new file in %s (%s): writing %s in place", dir.c_str(),
                strerror(err), fileName.c_str());
    inPlace = true;
    struct stat st;
    if (fstat(fd, &st) != 0 || fchmod(fd, st.st_mode & ~static_cast<mode_t>(077)) != 0 ||
        ftruncate(fd, 0) != 0) {
      err = errno;
      close(fd);
      throw plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str());
    }
  }
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    int err = errno;
    close(fd);
    if (!inPlace)
      unlink(tempName.c_str());
    throw plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str());
  }
  // stdio holds the key text in this buffer, which is wiped after the file
  // is closed.
  setvbuf(file, stdioBuffer.bytes, _IOFBF, sizeof(stdioBuffer.bytes));
  try {
    rdr::FileOutStream out(file, true);
    writeKey(key, out);
    out.sync();
    out.close();
    if (!inPlace && rename(tempName.c_str(), target.c_str()) != 0)
      throw plat::SystemExceptionFmt("rename(%s)", errno, shown.c_str());
  } catch (...) {
    if (!inPlace)
      unlink(tempName.c_str());
    throw;
  }
  if (inPlace)
    return;

  // The rename itself reaches the disk with the directory.
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    if (fsync(dirFd) != 0)
      vlog.error("fsync(%s): %s", dir.c_str(), strerror(errno));
    close(dirFd);
  }
}

} // namespace crypto
