#include "plat/FileOps.h"

#include "plat/Assert.h"
#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/File.h"
#include "plat/LogWriter.h"
#include "plat/ParentDirectory.h"
#include "plat/ReplacementFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static plat::LogWriter vlog("file");

namespace plat {

// Single operations

bool isDirectory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileExists(const char* path) {
  struct stat st;
  if (stat(path, &st) == 0)
    return true;
  if (errno == ENOENT)
    return false;
  throw SystemExceptionFmt("fileExists(%s)", errno, path);
}

bool fileTryRemove(const char* path) {
  return remove(path) == 0;
}

void fileRemove(const char* path) {
  if (remove(path) != 0)
    throw SystemExceptionFmt("fileRemove(%s)", errno, path);
}

bool fileTryRename(const char* oldPath, const char* newPath) {
  return rename(oldPath, newPath) == 0;
}

void rmDir(const char* path) {
  if (rmdir(path) != 0)
    throw SystemExceptionFmt("rmDir(%s)", errno, path);
}

String fileResolveLinks(const char* path) {
  std::string current = path;
  for (int hops = 0;; hops++) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0) {
      if (errno == ENOENT)
        return current.c_str();
      throw SystemExceptionFmt("fileOpen(%s)", errno, path);
    }
    if (!S_ISLNK(st.st_mode))
      return current.c_str();
    if (hops == 40)
      throw SystemExceptionFmt("fileOpen(%s)", ELOOP, path);
    std::string text(PATH_MAX, '\0');
    ssize_t n = readlink(current.c_str(), &text[0], text.size());
    if (n < 0)
      throw SystemExceptionFmt("fileOpen(%s)", errno, path);
    if (static_cast<size_t>(n) >= text.size())
      throw SystemExceptionFmt("fileOpen(%s)", ENAMETOOLONG, path);
    text.resize(n);
    if (text[0] == '/') {
      current = text;
    } else {
      size_t slash = current.rfind('/');
      current = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + text;
    }
  }
}

// fopen with the descriptor marked close-on-exec ("e"), so that programs
// launched while the file is open do not inherit it.
static FILE* fopenCloseOnExec(const char* path, const char* mode) {
  return fopen(path, (std::string(mode) + "e").c_str());
}

FILE* fileOpen(const char* path, const char* mode) {
  FILE* f = fopenCloseOnExec(path, mode);
  if (!f)
    throw SystemExceptionFmt("fileOpen(%s)", errno, path);
  return f;
}

long fileSize(FILE* stream) {
  long pos = ftell(stream);
  fseek(stream, 0, SEEK_END);
  long size = ftell(stream);
  fseek(stream, pos, SEEK_SET);
  return size;
}

void fileTruncate(FILE* stream, long length) {
  if (ftruncate(fileno(stream), length) != 0)
    throw SystemException("fileTruncate(ftruncate)", errno);
}

bool fileLock(FILE* stream, bool wait) {
  struct flock lock;
  memset(&lock, 0, sizeof(lock));
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = 0;
  lock.l_len = 0;
  if (fcntl(fileno(stream), wait ? F_SETLKW : F_SETLK, &lock) == 0)
    return true;
  if (errno == EAGAIN || errno == EACCES)
    return false;
  throw SystemException("fileLock", errno);
}

void fileUnlock(FILE* stream) {
  struct flock lock;
  memset(&lock, 0, sizeof(lock));
  lock.l_type = F_UNLCK;
  lock.l_whence = SEEK_SET;
  if (fcntl(fileno(stream), F_SETLK, &lock) != 0)
    throw SystemException("fileUnlock", errno);
}

namespace {

// Writes all of data at the offset; the bytes written so far in *done.
bool writeAllAt(int fd, const char* data, size_t length, off_t offset, size_t* done) {
  *done = 0;
  while (*done < length) {
    ssize_t n = pwrite(fd, data + *done, length - *done, offset + static_cast<off_t>(*done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      if (n == 0)
        errno = ENOSPC;
      return false;
    }
    *done += static_cast<size_t>(n);
  }
  return true;
}

} // namespace

void fileRewriteInPlace(int fd, const void* data, size_t length, const char* path) {
  struct stat st;
  if (fstat(fd, &st) != 0)
    throw SystemExceptionFmt("fileRewrite(%s)", errno, path);
  // The old bytes that the new ones will cover, to put back on failure.
  size_t covered = std::min(length, static_cast<size_t>(st.st_size));
  std::string old(covered, '\0');
  for (size_t got = 0; got < covered;) {
    ssize_t n = pread(fd, &old[got], covered - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      covered = got;
      old.resize(got);
      break;
    }
    got += static_cast<size_t>(n);
  }
  size_t written = 0;
  if (!writeAllAt(fd, static_cast<const char*>(data), length, 0, &written)) {
    int err = errno;
    size_t restored = 0;
    if (!writeAllAt(fd, old.data(), std::min(written, covered), 0, &restored) ||
        ftruncate(fd, st.st_size) != 0)
      vlog.error("putting back the old content after a failed write: %s", strerror(errno));
    throw SystemExceptionFmt("fileRewrite(%s)", err, path);
  }
  if (ftruncate(fd, static_cast<off_t>(length)) != 0)
    throw SystemExceptionFmt("fileRewrite(%s)", errno, path);
  if (fsync(fd) != 0)
    throw SystemExceptionFmt("fileRewrite(%s)", errno, path);
}

void fileMakePrivate(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0)
    throw SystemExceptionFmt("fileMakePrivate/stat(%s)", errno, path);
  if ((st.st_mode & 077) && chmod(path, st.st_mode & 07700) != 0)
    throw SystemExceptionFmt("fileMakePrivate/chmod(%s)", errno, path);
}

// Root makes a directory private only when it is one itself: the user who
// owns a per-user directory could have put a link there, and root would
// change whatever it leads to (a system folder, made 0700).
static void makeDirectoryPrivateAsRoot(const char* path) {
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENOTDIR)
      return;
    throw SystemExceptionFmt("fileMakePrivate/open(%s)", errno, path);
  }
  struct stat st;
  int err = 0;
  if (fstat(fd, &st) != 0 || ((st.st_mode & 077) && fchmod(fd, st.st_mode & 07700) != 0))
    err = errno;
  close(fd);
  if (err)
    throw SystemExceptionFmt("fileMakePrivate/chmod(%s)", err, path);
}

bool mkDir(const char* path, bool priv, bool makePrivateIfExists) {
  if (mkdir(path, priv ? 0700 : 0777) == 0)
    return true;
  int err = errno;
  if (err == EEXIST && isDirectory(path)) {
    if (priv && makePrivateIfExists) {
      if (geteuid() == 0)
        makeDirectoryPrivateAsRoot(path);
      else
        fileMakePrivate(path);
    }
    return false;
  }
  throw SystemExceptionFmt("mkDir(%s)", err, path);
}

bool mkDirWithParents(const char* path, bool priv, bool makePrivateIfExists) {
  try {
    return mkDir(path, priv, makePrivateIfExists);
  } catch (const SystemException& e) {
    if (e.getErrno() != ENOENT)
      throw;
  }
  ParentDirectory parent(path);
  if (!parent.isRoot())
    mkDirWithParents(parent.c_str(), priv, false);
  return mkDir(path, priv, makePrivateIfExists);
}

// Paths

DirName::DirName(const char* path) {
  size_t end = strlen(path);
  if (end > 1 && path[end - 1] == '/')
    end--;
  size_t slash = std::string(path, end).rfind('/');
  if (slash == std::string::npos)
    dir_ = ".";
  else if (slash == 0)
    dir_ = "/";
  else
    dir_ = String(path, static_cast<int>(slash));
}

ParentDirectory::ParentDirectory(const char* path) {
  PLAT_CHECK(path != 0);
  if (strcmp(path, "/") == 0)
    throw PathIsRoot(path);
  long i = static_cast<long>(strlen(path)) - 1;
  if (i >= 0 && path[i] == '/')
    i--;
  while (i >= 0 && path[i] != '/')
    i--;
  if (i < 0)
    throw NotAPath(path);
  parent_ = String(path, static_cast<int>(i + 1));
  isRoot_ = strcmp(parent_.c_str(), "/") == 0;
}

// File

File::File(FILE* stream, bool owned) : stream_(stream), owned_(owned) {
}

File::File(const char* path, int mode, bool binary) {
  open(path, mode, binary);
}

File::~File() {
  reset();
}

void File::reset(FILE* stream, bool owned) {
  if (stream_ && owned_)
    fclose(stream_);
  stream_ = stream;
  owned_ = owned;
}

FILE* File::release() {
  FILE* f = stream_;
  stream_ = nullptr;
  owned_ = false;
  return f;
}

void File::open(const char* path, int mode, bool binary) {
  static const char* const modes[] = {"r", "w", "a", "a+", "r+", "r+", "w+"};
  if (mode < modeRead || mode > modeReadWrite)
    throw ExceptionFmt("Invalid file mode %d", mode);
  if (strcmp(path, "-") == 0) {
    if (mode == modeRead)
      reset(stdin, false);
    else if (mode == modeWrite || mode == modeAppend)
      reset(stdout, false);
    else
      throw Exception("Invalid mode for filename \"-\"");
    return;
  }
  std::string m = modes[mode];
  if (binary)
    m += 'b';
  if (mode != modeUpdateOrCreate) {
    reset(fileOpen(path, m.c_str()), true);
    return;
  }
  // Open the existing file or create it in one call: trying "r+" and then
  // "w+" would truncate a file that another process created in between.
  int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0)
    throw SystemExceptionFmt("fileOpen(%s)", errno, path);
  FILE* f = fdopen(fd, m.c_str());
  if (!f) {
    int err = errno;
    ::close(fd);
    throw SystemExceptionFmt("fileOpen(%s)", err, path);
  }
  reset(f, true);
}

bool File::readLine(DString& line) {
  std::string text;
  bool any = false;
  for (;;) {
    int c = getc(stream_);
    if (c == EOF) {
      if (ferror(stream_))
        throw SystemException("Error reading from file", errno);
      break;
    }
    any = true;
    if (c == '\n')
      break;
    text += static_cast<char>(c);
  }
  // The line's text ends at its first NUL: returned, it would silently lose
  // the rest of the line (and a file rewritten from it would too).
  if (text.find('\0') != std::string::npos)
    throw Exception("NUL character in line");
  line = DString(64);
  line.append(text.data(), static_cast<int>(text.size()));
  return any;
}

void File::write(const void* data, size_t length) {
  if (length == 0)
    return;
  if (fwrite(data, 1, length, stream_) != length)
    throw SystemException("Error writing to file", errno);
}

void File::writeText(const char* text) {
  write(text, strlen(text));
}

// ReplacementFile

namespace {

// A name beside the target that no other file has at the moment: the
// target's name, ".tmp-" and random letters. Created exclusively by the
// caller, so two saves of the same target never share one.
const char tempLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const char tempInfix[] = ".tmp-";
const size_t tempLetterCount = 8;

std::string tempNameFor(const std::string& target) {
  static std::mt19937_64 random(std::random_device{}() ^
                                (static_cast<std::uint64_t>(getpid()) << 32));
  std::string name = target + tempInfix;
  for (size_t i = 0; i < tempLetterCount; i++)
    name += tempLetters[random() % (sizeof(tempLetters) - 1)];
  return name;
}

// True when name is one that tempNameFor() gives for a target called base.
bool isTempNameOf(const char* name, const std::string& base) {
  size_t prefix = base.size() + strlen(tempInfix);
  if (strlen(name) != prefix + tempLetterCount || strncmp(name, base.c_str(), base.size()) != 0 ||
      strncmp(name + base.size(), tempInfix, strlen(tempInfix)) != 0)
    return false;
  for (const char* c = name + prefix; *c; c++)
    if (!strchr(tempLetters, *c))
      return false;
  return true;
}

// A save that is killed between creating its temporary file and renaming it
// leaves the file behind. Every save writes and renames within moments, so a
// temporary file of ours that has not changed for this long belongs to no
// save still running; should that save wake up after all, its rename finds
// its file gone and fails rather than installing anything.
const time_t staleTempSeconds = 60 * 60;

// Removes such left-over temporary files of the target from its folder, open
// as dfd (closed here): only regular files of this process's user with one
// link, looked at and removed through the descriptor so that nothing else is
// reached.
void removeStaleTempsOf(const char* target, int dfd, const char* dir) {
  const char* slash = strrchr(target, '/');
  std::string base = slash ? slash + 1 : target;
  DIR* d = fdopendir(dfd);
  if (!d) {
    ::close(dfd);
    return;
  }
  time_t now = time(nullptr);
  while (struct dirent* e = readdir(d)) {
    if (!isTempNameOf(e->d_name, base))
      continue;
    struct stat st;
    if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != geteuid() || st.st_nlink != 1 || now - st.st_mtime < staleTempSeconds)
      continue;
    if (unlinkat(dfd, e->d_name, 0) == 0)
      vlog.status("removed %s/%s, left by a save that did not finish", dir, e->d_name);
  }
  closedir(d);
}

// After the target was renamed into place: syncs its folder, so that the
// rename lasts through a power failure (a file system that cannot sync a
// folder is told in the log only, the file being in place), then tidies the
// folder of the target's stale temporary files.
void settleFolderOf(const char* target) {
  DirName dir(target);
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || (fsync(fd) != 0 && errno != EINVAL))
    vlog.error("syncing the folder %s: %s", dir.c_str(), strerror(errno));
  if (fd >= 0)
    removeStaleTempsOf(target, fd, dir.c_str());
}

} // namespace

// A target reached through symbolic links is replaced where it lies, so that
// the links stay and whatever reads the file sees the new content.
ReplacementFile::ReplacementFile(const char* target_, bool binary)
    : targetName_(fileResolveLinks(target_)) {
  const char* target = targetName_.c_str();
  // Keep the target's permission bits; a new file gets the usual 0666 less
  // the umask.
  struct stat st;
  bool replacing = stat(target, &st) == 0;
  mode_t mode = replacing ? (st.st_mode & 0777) : 0666;
  // A temporary file of our own, created exclusively: whatever else lies
  // beside the target (another save's temporary file, a link) is left alone.
  int fd = -1;
  for (int tries = 0; fd < 0; tries++) {
    tempName_ = tempNameFor(target).c_str();
    fd = ::open(tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && (errno != EEXIST || tries == 100))
      throw SystemExceptionFmt("fileOpen(%s)", errno, tempName_.c_str());
  }
  if (replacing && fchmod(fd, mode) != 0) {
    int err = errno;
    ::close(fd);
    fileTryRemove(tempName_.c_str());
    throw SystemExceptionFmt("fileOpen(%s)", err, tempName_.c_str());
  }
  struct stat own;
  FILE* f = fstat(fd, &own) == 0 ? fdopen(fd, binary ? "wb" : "w") : nullptr;
  if (!f) {
    int err = errno;
    ::close(fd);
    fileTryRemove(tempName_.c_str());
    throw SystemExceptionFmt("fileOpen(%s)", err, tempName_.c_str());
  }
  tempDev_ = own.st_dev;
  tempIno_ = own.st_ino;
  reset(f, true);
}

ReplacementFile::~ReplacementFile() {
  if (!done_) {
    reset();
    removeOwnTemp();
  }
}

bool ReplacementFile::holdsTempName() const {
  struct stat st;
  return lstat(tempName_.c_str(), &st) == 0 && st.st_dev == tempDev_ && st.st_ino == tempIno_;
}

void ReplacementFile::removeOwnTemp() {
  // Something else put in place of our temporary file is not ours to remove.
  if (holdsTempName())
    fileTryRemove(tempName_.c_str());
}

void ReplacementFile::abandon(const char* format, int err) {
  reset();
  removeOwnTemp();
  done_ = true;
  throw SystemExceptionFmt(format, err, tempName_.c_str(), targetName_.c_str());
}

void ReplacementFile::commit() {
  PLAT_CHECK(!done_ && isOpen());
  FILE* f = get();
  if (fflush(f) != 0)
    abandon("fileFlush(%s)", errno);
  if (ferror(f))
    abandon("fileFlush(%s)", EIO);
  if (fsync(fileno(f)) != 0)
    abandon("fileSync(%s)", errno);
  if (fclose(release()) != 0)
    abandon("fileClose(%s)", errno);
  // Renaming a file that something else put in place of ours would install
  // content that is not ours.
  if (!holdsTempName())
    abandon("fileRename(%s,%s)", EBUSY);
  if (rename(tempName_.c_str(), targetName_.c_str()) != 0)
    abandon("fileRename(%s,%s)", errno);
  done_ = true;
  vlog.debug("replaced %s", targetName_.c_str());
  settleFolderOf(targetName_.c_str());
}

} // namespace plat
