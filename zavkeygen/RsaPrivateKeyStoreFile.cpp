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
  plat::DirName dir(fileName.c_str());
  plat::mkDirWithParents(dir.c_str(), true, false);

  // mkostemp creates the file with mode 0600 (less the file-creation mask),
  // so no other user can open it at any time.
  StdioBuffer stdioBuffer;
  std::string tempName = std::string(fileName.c_str()) + ".XXXXXX";
  int fd = mkostemp(&tempName[0], O_CLOEXEC);
  if (fd < 0)
    throw plat::SystemExceptionFmt("fileOpen(%s)", errno, tempName.c_str());
  FILE* file = fdopen(fd, "wb");
  if (!file) {
    int err = errno;
    close(fd);
    unlink(tempName.c_str());
    throw plat::SystemExceptionFmt("fileOpen(%s)", err, tempName.c_str());
  }
  // stdio holds the key text in this buffer, which is wiped after the file
  // is closed.
  setvbuf(file, stdioBuffer.bytes, _IOFBF, sizeof(stdioBuffer.bytes));
  try {
    rdr::FileOutStream out(file, true);
    writeKey(key, out);
    out.sync();
    out.close();
    if (rename(tempName.c_str(), fileName.c_str()) != 0)
      throw plat::SystemExceptionFmt("rename(%s)", errno, fileName.c_str());
  } catch (...) {
    unlink(tempName.c_str());
    throw;
  }

  // The rename itself reaches the disk with the directory.
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    if (fsync(dirFd) != 0)
      vlog.error("fsync(%s): %s", dir.c_str(), strerror(errno));
    close(dirFd);
  }
}

} // namespace crypto
