#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/crypto/RsaException.h"
#include "plat/unix/OwnedFd.h"
#include "zavkeygen/FileInStream.h"
#include "zavkeygen/FileOutStream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

std::string shownName(const char* path, size_t maxLength = maxShownName) {
  size_t length = strlen(path);
  if (length <= maxLength)
    return path;
  return "..." + std::string(path + length - (maxLength - 3));
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

// Run by root, a message names the key file and the entry at fault, both
// shortened, so that the reason at its end is never cut off.
constexpr size_t maxShownNameWithEntry = 60;

// Temporary files are ".zavkey" and six letters or digits.
const char temporaryPrefix[] = ".zavkey";
constexpr size_t temporaryRandomLength = 6;
const char temporaryLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool isTemporaryName(const char* name) {
  size_t prefix = sizeof(temporaryPrefix) - 1;
  if (strncmp(name, temporaryPrefix, prefix) != 0 || strlen(name) != prefix + temporaryRandomLength)
    return false;
  return strspn(name + prefix, temporaryLetters) == temporaryRandomLength;
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Creates a new private temporary file in the folder and locks it for as
// long as it is open: a temporary file that nobody holds locked was left by a
// run that was killed. Returns the descriptor, or -1 with errno set.
int createTemporary(int folder, std::string& name) {
  for (int attempt = 0; attempt < 100; attempt++) {
    unsigned char random[temporaryRandomLength];
    if (getrandom(random, sizeof(random), 0) != static_cast<ssize_t>(sizeof(random)))
      for (unsigned char& r : random)
        r = static_cast<unsigned char>(rand());
    name = temporaryPrefix;
    for (unsigned char r : random)
      name += temporaryLetters[r % (sizeof(temporaryLetters) - 1)];
    int fd =
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST)
        continue;
      return -1;
    }
    // Another run may have taken the file for a leftover in the instant
    // before it was locked and removed it: then it is no longer ours.
    struct stat mine, named;
    if (flock(fd, LOCK_EX) == 0 && fstat(fd, &mine) == 0 &&
        fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(mine, named))
      return fd;
    close(fd);
  }
  errno = EEXIST;
  return -1;
}

// Removes the temporary files that runs killed while storing a key left in
// the folder; those of runs still going are locked and stay. Only files that
// are this process's user's, or the folder owner's in a folder that is not
// sticky, are taken for leftovers: in a sticky folder such as /tmp, another
// user's file of such a name is theirs, and root would remove it otherwise.
void removeLeftTemporaries(int folder) {
  struct stat folderSt;
  if (fstat(folder, &folderSt) != 0)
    return;
  const bool sticky = (folderSt.st_mode & S_ISVTX) != 0;
  int listFd = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listFd < 0)
    return;
  DIR* dir = fdopendir(listFd);
  if (!dir) {
    close(listFd);
    return;
  }
  std::vector<std::string> names;
  while (struct dirent* e = readdir(dir))
    if (isTemporaryName(e->d_name))
      names.push_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    os::OwnedFd fd(
        openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened, named;
    if (fd.get() < 0 || fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        (opened.st_uid != geteuid() && (sticky || opened.st_uid != folderSt.st_uid)) ||
        flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
      continue;
    if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(opened, named))
      continue;
    if (unlinkat(folder, name.c_str(), 0) == 0)
      vlog.notice("removed %s, left by an earlier run", name.c_str());
  }
}

// What stands at the key file's name in a folder reached for root, when it
// may not be read or replaced; empty when the name is free or a regular file.
std::string refusalAtKeyName(const crypto::KeyFolder& folder) {
  if (folder.nameIsFolder())
    return "it is a folder, not a regular file";
  struct stat st;
  if (fstatat(folder.fd(), folder.name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return std::string();
  if (S_ISLNK(st.st_mode))
    return "it is a symbolic link, which zavkeygen run as root does not follow";
  if (const char* kind = nonRegularKind(st.st_mode))
    return std::string("it is ") + kind + ", not a regular file";
  return std::string();
}

// A write that failed for want of room (a full disk, a used-up quota, the
// file size limit) is told in words; any other failure passes on as it is.
[[noreturn]] void throwWriteFailure(const plat::SystemException& e, const std::string& shown) {
  if (e.getErrno() == ENOSPC)
    throw plat::ExceptionFmt("the key file %s could not be written because the disk is full",
                             shown.c_str());
  if (e.getErrno() == EDQUOT)
    throw plat::ExceptionFmt(
        "the key file %s could not be written because the disk quota is used up", shown.c_str());
  if (e.getErrno() == EFBIG)
    throw plat::ExceptionFmt(
        "the key file %s could not be written because it would pass the file size limit",
        shown.c_str());
  throw e;
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
    // The file opened is the one looked at: nothing can be swapped in
    // between. O_NONBLOCK keeps a FIFO from hanging the program.
    const int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    os::OwnedFd fd;
    if (KeyFolder::checkedForRoot()) {
      KeyFolder folder(fileName.c_str(), KeyFolder::Reach::Checked);
      if (!folder.exists())
        return false;
      std::string refusal = refusalAtKeyName(folder);
      if (!refusal.empty())
        throw plat::Exception(refusal.c_str());
      fd.reset(openat(folder.fd(), folder.name().c_str(), flags | O_NOFOLLOW));
    } else {
      fd.reset(open(fileName.c_str(), flags));
    }
    if (fd.get() < 0) {
      if (errno == ENOENT)
        return false;
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, fileName.c_str());
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, fileName.c_str());
    if (const char* kind = nonRegularKind(st.st_mode))
      throw plat::ExceptionFmt("it is %s, not a regular file", kind);
    FILE* file = fdopen(fd.get(), "rb");
    if (!file)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, fileName.c_str());
    fd.release();
    // The stream buffers already; without a second buffer inside stdio no
    // copy of the key is left where it cannot be wiped.
    setvbuf(file, nullptr, _IONBF, 0);
    rdr::FileInStream in(file, true);
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

std::unique_ptr<KeyFolder> RsaPrivateKeyStoreFile::folderForRoot() const {
  static const char action[] = "Cannot store the private key in";
  std::unique_ptr<KeyFolder> folder;
  try {
    folder = std::make_unique<KeyFolder>(fileName.c_str(), KeyFolder::Reach::CheckedMaking);
  } catch (plat::Exception& e) {
    throw RsaException("%s %s: %s", action,
                       shownName(fileName.c_str(), maxShownNameWithEntry).c_str(), e.str());
  }
  std::string refusal = refusalAtKeyName(*folder);
  if (!refusal.empty())
    throw RsaException("%s %s: %s; it was left untouched", action,
                       shownName(fileName.c_str()).c_str(), refusal.c_str());
  return folder;
}

void RsaPrivateKeyStoreFile::checkStorable() {
  if (fileName.length() == 0)
    throw RsaException("Error generating private key: No private key file specified");
  if (KeyFolder::checkedForRoot()) {
    folderForRoot();
    return;
  }
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
  const bool asRoot = KeyFolder::checkedForRoot();
  std::unique_ptr<KeyFolder> folder;
  if (asRoot) {
    folder = folderForRoot();
  } else {
    // A key file reached through symbolic links is replaced where it lies.
    plat::String target = resolvedTarget(shown);
    refuseNonRegular(target.c_str(), "Cannot store the private key in", shown);
    plat::mkDirWithParents(plat::DirName(target.c_str()).c_str(), true, false);
    folder = std::make_unique<KeyFolder>(target.c_str(), KeyFolder::Reach::Plain);
  }
  const int dirFd = folder->fd();
  const char* name = folder->name().c_str();
  struct stat old;
  const bool replacing =
      fstatat(dirFd, name, &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode);
  removeLeftTemporaries(dirFd);

  // The temporary file is created with mode 0600 (less the file-creation
  // mask), so no other user can open it at any time. The name is short and
  // of fixed length, so any key file name the system allows leaves room for
  // it.
  StdioBuffer stdioBuffer;
  std::string tempName;
  bool inPlace = false;
  int fd = createTemporary(dirFd, tempName);
  if (fd < 0) {
    int err = errno;
    if ((err != EACCES && err != EPERM) || !replacing)
      throwWriteFailure(plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str()), shown);
    // The directory takes no new file, but the key file itself may be
    // writable: writing it in place is the only way left, at the price that
    // a failure part-way leaves it incomplete.
    // O_NONBLOCK: something swapped in since the look (a FIFO) must not hang
    // the program; what was opened is checked below.
    fd = openat(dirFd, name, O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, shown.c_str());
    struct stat st;
    if (fstat(fd, &st) != 0) {
      err = errno;
      close(fd);
      throw plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str());
    }
    // Written in place, a file with other names (hard links) changes under
    // all of them: the user who owns the folder could have linked any file
    // of the same disk there, and root would overwrite it. Replacing the key
    // file by a rename only ever changes its own name.
    const char* refusal = nullptr;
    if (!S_ISREG(st.st_mode))
      refusal = "it is no longer a regular file";
    else if (asRoot && st.st_nlink != 1)
      refusal = "its folder takes no new file, and root does not write a file with hard links "
                "in place";
    if (refusal) {
      close(fd);
      throw RsaException("Cannot store the private key in %s: %s; it was left untouched",
                         shownName(fileName.c_str(), maxShownNameWithEntry).c_str(), refusal);
    }
    vlog.notice("cannot create a new file beside %s (%s): writing it in place", fileName.c_str(),
                strerror(err));
    inPlace = true;
    if (fchmod(fd, st.st_mode & ~static_cast<mode_t>(077)) != 0 || ftruncate(fd, 0) != 0 ||
        fcntl(fd, F_SETFL, 0) != 0) {
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
      unlinkat(dirFd, tempName.c_str(), 0);
    throw plat::SystemExceptionFmt("fileOpen(%s)", err, shown.c_str());
  }
  // stdio holds the key text in this buffer, which is wiped after the file
  // is closed.
  setvbuf(file, stdioBuffer.bytes, _IOFBF, sizeof(stdioBuffer.bytes));
  try {
    rdr::FileOutStream out(file, true);
    // Root replacing another user's key file leaves it theirs, or their
    // server could no longer read its key.
    if (asRoot && replacing && !inPlace && (old.st_uid != geteuid() || old.st_gid != getegid()) &&
        fchown(fd, old.st_uid, old.st_gid) != 0)
      throw plat::SystemExceptionFmt("chown(%s)", errno, shown.c_str());
    writeKey(key, out);
    out.sync();
    out.close();
    if (!inPlace && renameat(dirFd, tempName.c_str(), dirFd, name) != 0)
      throw plat::SystemExceptionFmt("rename(%s)", errno, shown.c_str());
  } catch (plat::SystemException& e) {
    if (!inPlace)
      unlinkat(dirFd, tempName.c_str(), 0);
    throwWriteFailure(e, shown);
  } catch (...) {
    if (!inPlace)
      unlinkat(dirFd, tempName.c_str(), 0);
    throw;
  }
  if (inPlace)
    return;

  // The rename itself reaches the disk with the directory.
  os::OwnedFd syncFd(openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (syncFd.get() >= 0 && fsync(syncFd.get()) != 0)
    vlog.error("fsync of the folder of %s: %s", fileName.c_str(), strerror(errno));
}

} // namespace crypto
