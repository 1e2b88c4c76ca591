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
    rdr::FileInStream in(fileName.c_str(), true);
    readKey(key, in);
    return true;
  } catch (plat::Exception& e) {
    throw RsaException("Error getting private key from %s: %s", fileName.c_str(), e.str());
  }
}

void RsaPrivateKeyStoreFile::store(RsaPrivateKey& key) {
  if (fileName.length() == 0)
    throw RsaException("No private key file specified");
  // Messages name the key file, shortened in front when it is long, so that
  // the reason at their end is never cut off.
  std::string shown = shownName(fileName.c_str());
  // A key file reached through symbolic links is replaced where it lies.
  plat::String target;
  try {
    target = plat::fileResolveLinks(fileName.c_str());
  } catch (plat::SystemException& e) {
    throw plat::SystemExceptionFmt("fileOpen(%s)", e.getErrno(), shown.c_str());
  }
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
