#include "zavkeygen/KeyFolder.h"

#include "plat/DirName.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace crypto {

static plat::LogWriter vlog("KeyFolder");

namespace {

// Links followed on one walk before it is taken for a loop, as the system
// counts them.
constexpr int maxLinks = 40;
// Folders made on one walk; more means something removes them as fast.
constexpr int maxMade = 256;
// How much of a path a message shows, so that the reason after it is never
// cut off.
constexpr size_t maxShownPath = 64;

std::string shown(const std::string& path) {
  if (path.size() <= maxShownPath)
    return path;
  return "..." + path.substr(path.size() - (maxShownPath - 3));
}

std::string userName(uid_t uid) {
  struct passwd* pw = getpwuid(uid);
  if (pw && pw->pw_name)
    return std::string("user ") + pw->pw_name;
  return "user " + std::to_string(uid);
}

std::deque<std::string> split(const std::string& path) {
  std::deque<std::string> parts;
  size_t at = 0;
  while (at <= path.size()) {
    size_t slash = path.find('/', at);
    if (slash == std::string::npos)
      slash = path.size();
    if (slash > at)
      parts.push_back(path.substr(at, slash - at));
    at = slash + 1;
  }
  return parts;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (name == ".")
    return folder;
  if (name == "..") {
    size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
  }
  return folder == "/" ? "/" + name : folder + "/" + name;
}

struct stat statOf(int fd, const std::string& path) {
  struct stat st;
  if (fstat(fd, &st) != 0)
    throw plat::ExceptionFmt("the folder %s cannot be examined: %s", shown(path).c_str(),
                             strerror(errno));
  return st;
}

} // namespace

bool KeyFolder::checkedForRoot() {
  return geteuid() == 0;
}

KeyFolder::KeyFolder(const char* keyPath, Reach reach) {
  std::string path(keyPath);
  size_t slash = path.rfind('/');
  name_ = slash == std::string::npos ? path : path.substr(slash + 1);
  if (reach == Reach::Plain) {
    plat::DirName dir(keyPath);
    fd_.reset(open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (fd_.get() < 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, keyPath);
    return;
  }
  std::string folderPart;
  if (slash == 0)
    folderPart = "/";
  else if (slash != std::string::npos)
    folderPart = path.substr(0, slash);
  walk(folderPart, reach == Reach::CheckedMaking);
}

bool KeyFolder::nameIsFolder() const {
  return name_.empty() || name_ == "." || name_ == "..";
}

void KeyFolder::walk(const std::string& folderPart, bool making) {
  bool absolute = !folderPart.empty() && folderPart[0] == '/';
  std::string here = "/";
  if (!absolute) {
    char cwd[PATH_MAX];
    here = getcwd(cwd, sizeof(cwd)) ? cwd : ".";
  }
  fd_.reset(open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (fd_.get() < 0)
    throw plat::ExceptionFmt("the folder %s cannot be opened: %s", shown(here).c_str(),
                             strerror(errno));
  record(here, statOf(fd_.get(), here));

  std::deque<std::string> pending = split(folderPart);
  int links = 0, made = 0;
  // Once a folder has been made, the owner of the key's folder is settled as
  // the owner of the deepest one that existed, and what is still to come
  // must be folders this process made (or a run beside it, as the same
  // user): the owner of the folder a new one was made in could otherwise put
  // a link in its place between the making and the opening, and lead the
  // rest of the walk anywhere the settled owner passes, such as root's own
  // folders.
  bool makingStarted = false;
  while (!pending.empty()) {
    std::string name = pending.front();
    pending.pop_front();
    if (name == ".")
      continue;
    std::string next = joined(here, name);
    // O_PATH with O_NOFOLLOW opens a link itself, so that it can be looked
    // at and read; nothing is followed behind the walk's back.
    os::OwnedFd entry(openat(fd_.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (entry.get() < 0) {
      int err = errno;
      if (err != ENOENT)
        throw plat::ExceptionFmt("the folder %s cannot be opened: %s", shown(next).c_str(),
                                 strerror(err));
      if (!making) {
        missing_ = true;
        return;
      }
      // What exists has to pass before root puts anything in it.
      settle();
      makingStarted = true;
      if (++made > maxMade)
        throw plat::ExceptionFmt("the folder %s keeps disappearing", shown(next).c_str());
      if (mkdirat(fd_.get(), name.c_str(), 0700) != 0 && errno != EEXIST)
        throw plat::ExceptionFmt("the folder %s cannot be made: %s", shown(next).c_str(),
                                 strerror(errno));
      vlog.debug("made the folder %s", next.c_str());
      // Opened and checked in the next round like any other entry.
      pending.push_front(name);
      continue;
    }
    struct stat st = statOf(entry.get(), next);
    if (makingStarted && name == "..")
      throw plat::ExceptionFmt("the path goes back out of the folder %s, which zavkeygen made",
                               shown(here).c_str());
    if (makingStarted && (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()))
      throw plat::ExceptionFmt("the folder %s was replaced by someone else while it was made",
                               shown(next).c_str());
    if (S_ISLNK(st.st_mode)) {
      record(next, st);
      if (++links > maxLinks)
        throw plat::ExceptionFmt("the path to the key file goes through too many links, at %s",
                                 shown(next).c_str());
      std::string target(PATH_MAX, '\0');
      ssize_t n = readlinkat(entry.get(), "", &target[0], target.size());
      if (n < 0 || static_cast<size_t>(n) >= target.size())
        throw plat::ExceptionFmt("the link %s cannot be read: %s", shown(next).c_str(),
                                 strerror(n < 0 ? errno : ENAMETOOLONG));
      target.resize(static_cast<size_t>(n));
      std::deque<std::string> parts = split(target);
      pending.insert(pending.begin(), parts.begin(), parts.end());
      if (!target.empty() && target[0] == '/') {
        here = "/";
        fd_.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (fd_.get() < 0)
          throw plat::ExceptionFmt("the folder / cannot be opened: %s", strerror(errno));
        record(here, statOf(fd_.get(), here));
      }
      continue;
    }
    if (!S_ISDIR(st.st_mode)) {
      // Said as where the folder is made without root.
      if (making)
        throw plat::ExceptionFmt("the folder %s cannot be made: %s", shown(next).c_str(),
                                 strerror(EEXIST));
      throw plat::ExceptionFmt("%s is not a folder", shown(next).c_str());
    }
    record(next, st);
    fd_.reset(entry.release());
    here = next;
  }
  settle();
}

void KeyFolder::settle() {
  if (settled_)
    return;
  settled_ = true;
  struct stat st;
  if (fstat(fd_.get(), &st) != 0)
    throw plat::ExceptionFmt("the key's folder cannot be examined: %s", strerror(errno));
  owner_ = st.st_uid;
  for (const Entry& e : entries_)
    check(e);
}

void KeyFolder::record(const std::string& path, const struct stat& st) {
  entries_.push_back(Entry{path, st.st_uid, st.st_mode});
  if (settled_)
    check(entries_.back());
}

void KeyFolder::check(const Entry& e) const {
  bool link = S_ISLNK(e.mode);
  if (e.owner != 0 && e.owner != owner_)
    throw plat::ExceptionFmt("the %s %s belongs to %s, who could redirect the key file",
                             link ? "link" : "folder", shown(e.path).c_str(),
                             userName(e.owner).c_str());
  // A link's own permissions mean nothing; who may change it is its folder's
  // business, checked as a folder on the way.
  if (!link && (e.mode & (S_IWGRP | S_IWOTH)) && !(e.mode & S_ISVTX))
    throw plat::ExceptionFmt("the folder %s can be changed by users other than its owner",
                             shown(e.path).c_str());
}

} // namespace crypto
