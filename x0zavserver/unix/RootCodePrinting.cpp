#include "x0zavserver/unix/RootCodePrinting.h"

#include "cups/CupsApi.h"
#include "cups/Dests.h"
#include "cups/LoadFailed.h"
#include "cups/Printers.h"
#include "net/io/UnixIo.h"
#include "plat/Assert.h"
#include "plat/DString.h"
#include "plat/EnvExpandedString.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/unix/Passwd.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"
#include "x0zavserver/unix/PpdCheck.h"
#include "x0zavserver/unix/UserGroups.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <iterator>
#include <memory>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

static plat::LogWriter vlog("RootCodePrinting");

namespace print {

RootCodePrinting* RootCodePrinting::instance_ = nullptr;
const char* const RootCodePrinting::sessionSocketPattern = "$HOME/.zav/.print.$ID";
const char* const RootCodePrinting::deviceUriPrefix = "zav:/";

namespace {

// A request string: its length is checked against the field's maximum
// before anything is allocated (a longer one ends the co-process).
std::string readField(rdr::InStream& in, int maxLength) {
  std::unique_ptr<char[]> text(in.readString(maxLength));
  return std::string(text.get());
}

// Whether the text would go out whole in a field of that maximum.
bool fits(const char* text, int maxLength) {
  return plat::strLen(text) <= maxLength;
}

// The longest path a Unix socket address holds, with its terminator.
constexpr size_t maxSocketPath = sizeof(sockaddr_un::sun_path) - 1;

// Whether a session still listens on its socket.
bool sessionAlive(const char* path) {
  try {
    io::UnixIo connection(path);
    return true;
  } catch (plat::SystemException&) {
    return false;
  }
}

// A file opened with the rights of a user, not root's: the co-process takes
// its effective ids and groups for the open and then returns to root. The
// descriptor is owned by the object.
class UserFile {
public:
  UserFile(const char* path, uid_t uid) {
    int err = 0;
    if (geteuid() != 0 || uid == 0) {
      fd_ = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      err = errno;
    } else {
      os::Passwd user(uid);
      if (!user.isValid())
        throw plat::SystemException("getpwuid", ENOENT);
      std::vector<gid_t> groups = os::userGroups(user);
      std::vector<gid_t> ownGroups(NGROUPS_MAX);
      int ownCount = getgroups(static_cast<int>(ownGroups.size()), ownGroups.data());
      if (ownCount < 0)
        throw plat::SystemException("getgroups", errno);
      gid_t ownGid = getegid();
      if (setgroups(groups.size(), groups.data()) != 0)
        throw plat::SystemException("setgroups", errno);
      if (setegid(user.getGid()) == 0 && seteuid(uid) == 0) {
        fd_ = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        err = errno;
      } else {
        err = errno;
      }
      // Going on with a user's ids would be worse than ending.
      if (seteuid(0) != 0 || setegid(ownGid) != 0 || setgroups(ownCount, ownGroups.data()) != 0)
        plat::fatalError("cannot return to root after opening a file as the user");
    }
    if (fd_ < 0)
      throw plat::SystemExceptionFmt("open(%s)", err, path);
    struct stat st;
    // Only a regular file is a PPD: nothing that blocks or never ends.
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd_);
      fd_ = -1;
      throw plat::ExceptionFmt("%s is not a regular file", path);
    }
  }
  ~UserFile() {
    if (fd_ >= 0)
      close(fd_);
  }
  UserFile(const UserFile&) = delete;
  UserFile& operator=(const UserFile&) = delete;

  // The content, or an exception when there is more than limit bytes.
  std::string read(std::size_t limit) const {
    std::string content;
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        throw plat::SystemException("read", errno);
      if (n == 0)
        return content;
      if (content.size() + static_cast<size_t>(n) > limit)
        throw TooLarge();
      content.append(buf, static_cast<size_t>(n));
    }
  }
  struct TooLarge {};

private:
  int fd_ = -1;
};

// Why a request that the wire would carry is refused: to the log, and to
// standard error, where whoever started the launcher reads it (the reply
// carries only an error code).
__attribute__((format(printf, 1, 2))) void tellRefusal(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  vlog.error("%s", text);
  fprintf(stderr, "%s\n", text);
}

// Whether the text holds a control character: one of the C0 set, DEL, or one
// of the C1 set as UTF-8 writes it. The print server keeps such a character
// in the configuration it writes and reads back as root on its next start,
// where a line break (LF or CR) begins a line of the sender's choosing.
bool hasControl(const std::string& text) {
  for (size_t i = 0; i < text.size(); i++) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f)
      return true;
    if (c == 0xc2 && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80)
      return true;
  }
  return false;
}

// Whether the device id is one path segment of the device URI, written as it
// is: letters, digits and the marks a segment holds without escapes. No "/",
// "?", "#", "%" or dot segment, so the id can neither leave the format's
// directory nor spell other bytes through escapes.
bool plainSegment(const std::string& id) {
  static const char marks[] = "-._~!$&'()*+,;=:@";
  for (char c : id)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
          (c != '\0' && strchr(marks, c))))
      return false;
  return id != "." && id != "..";
}

// A private copy of a checked PPD, which the user can no longer change: an
// anonymous file of the co-process, sealed against writes.
class PpdCopy {
public:
  explicit PpdCopy(const std::string& content) {
    fd_ = memfd_create("ppd", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd_ < 0)
      throw plat::SystemException("memfd_create", errno);
    size_t done = 0;
    while (done < content.size()) {
      ssize_t n = write(fd_, content.data() + done, content.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        int err = errno;
        close(fd_);
        throw plat::SystemException("write", err);
      }
      done += static_cast<size_t>(n);
    }
    // Unsealed, the copy could still be changed between the check and the
    // print server's read: no copy at all is better.
    if (fcntl(fd_, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
      int err = errno;
      close(fd_);
      throw plat::SystemException("fcntl(F_ADD_SEALS)", err);
    }
  }
  ~PpdCopy() { close(fd_); }
  PpdCopy(const PpdCopy&) = delete;
  PpdCopy& operator=(const PpdCopy&) = delete;

  // A name by which root's printing library reads the copy.
  std::string procPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

private:
  int fd_;
};

} // namespace

RootCodePrinting::RootCodePrinting() {
  PLAT_CHECK(!instance_);
  instance_ = this;
}

RootCodePrinting::~RootCodePrinting() {
  for (const std::string& name : printers_) {
    try {
      if (!cups::deletePrinter(name.c_str()))
        vlog.error("could not remove printer %s", plat::strLoggable(name.c_str()).c_str());
    } catch (plat::Exception& e) {
      vlog.error("removing printer %s: %s", plat::strLoggable(name.c_str()).c_str(), e.str());
    }
  }
  printers_.clear();
  instance_ = nullptr;
}

RootCodePrinting& RootCodePrinting::instance() {
  PLAT_CHECK(instance_);
  return *instance_;
}

bool RootCodePrinting::added(const char* name) const {
  // The printing system compares queue names without regard to case.
  for (const std::string& p : printers_)
    if (strcasecmp(p.c_str(), name) == 0)
      return true;
  return false;
}

bool RootCodePrinting::addPrinterHere(const char* name, const char* description,
                                      const char* ppdPath, const char* deviceId, uid_t uid,
                                      int format) {
  bool ok = cups::addPrinter(name, description, ppdPath, deviceId, uid, format);
  // One entry per queue: the printing system takes "P1" for "p1".
  if (ok && !added(name))
    printers_.insert(name);
  lastError_ = static_cast<std::uint16_t>(cups::cupsLastError());
  return ok;
}

bool RootCodePrinting::removePrinterHere(const char* name) {
  for (auto it = printers_.begin(); it != printers_.end();)
    it = strcasecmp(it->c_str(), name) == 0 ? printers_.erase(it) : std::next(it);
  bool ok = cups::deletePrinter(name);
  lastError_ = static_cast<std::uint16_t>(cups::cupsLastError());
  return ok;
}

// The core is not trusted with what root does for it: it may change only the
// queues that this co-process added for it (and remove besides only those
// left behind for its user), the queue is always for the user who started
// the launcher, and the PPD is read with that user's rights, never root's.
bool RootCodePrinting::addPrinterForCore(const char* name, const char* description,
                                         const char* ppdPath, const char* deviceId, int format) {
  // What the print server stores as root is checked before anything goes to
  // it: the name, the description and the device id.
  const char* fault = nullptr;
  if (hasControl(name))
    fault = "its name holds a control character";
  else if (hasControl(description))
    fault = "its description holds a control character";
  else if (!plainSegment(deviceId))
    fault = "its device id is not one plain segment of the device URI";
  if (fault) {
    tellRefusal("Printer %s refused: %s", plat::strLoggable(name).c_str(), fault);
    lastError_ = cups::IPP_STATUS_ERROR_BAD_REQUEST;
    return false;
  }
  if (!added(name)) {
    cups::Dests dests;
    if (dests.find(name)) {
      vlog.error("refusing to change printer %s, which this session did not add",
                 plat::strLoggable(name).c_str());
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
  }
  if (!added(name) && printers_.size() >= static_cast<size_t>(maxQueues)) {
    tellRefusal("Printer %s refused: this session has %d queues already, the most it may have",
                plat::strLoggable(name).c_str(), maxQueues);
    lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
    return false;
  }
  std::unique_ptr<PpdCopy> ppd;
  if (*ppdPath) {
    // Read once, with the user's rights, checked, and handed over as a copy
    // that nobody but root can change.
    std::string content;
    try {
      UserFile file(ppdPath, os::RootCode::uid);
      content = file.read(maxPpdSize);
    } catch (UserFile::TooLarge&) {
      tellRefusal("PPD file %s refused: larger than %zu bytes", plat::strLoggable(ppdPath).c_str(),
                  maxPpdSize);
      lastError_ = tooLarge;
      return false;
    } catch (plat::SystemException& e) {
      vlog.error("PPD file: %s", e.str());
      lastError_ = e.getErrno() == ENOENT ? cups::IPP_STATUS_ERROR_NOT_FOUND
                                          : cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    } catch (plat::Exception& e) {
      vlog.error("PPD file: %s", e.str());
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
    std::string refusal = ppdRefusal(content.data(), content.size());
    if (!refusal.empty()) {
      tellRefusal("PPD file %s refused: %s", plat::strLoggable(ppdPath).c_str(), refusal.c_str());
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
    try {
      ppd.reset(new PpdCopy(content));
    } catch (plat::Exception& e) {
      tellRefusal("PPD file %s refused: no private copy of it could be made (%s)",
                  plat::strLoggable(ppdPath).c_str(), e.str());
      lastError_ = cups::IPP_STATUS_ERROR_INTERNAL;
      return false;
    }
    // What the print server runs is decided by its own reader: the sealed
    // copy, the very bytes it will get, is judged as that reader sees it,
    // read with the user's rights and in bounds, never as root.
    os::Passwd user(os::RootCode::uid);
    if (!user.isValid()) {
      vlog.error("PPD file: no user %u", static_cast<unsigned>(os::RootCode::uid));
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
    refusal = ppdReaderRefusalAsUser(ppd->procPath().c_str(), os::RootCode::uid, user.getGid());
    if (!refusal.empty()) {
      tellRefusal("PPD file %s refused: %s", plat::strLoggable(ppdPath).c_str(), refusal.c_str());
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
  }
  std::string path = ppd ? ppd->procPath() : std::string();
  return addPrinterHere(name, description, ppd ? path.c_str() : nullptr, deviceId,
                        os::RootCode::uid, format);
}

// A queue that a co-process of the launching user added and could not
// remove, because it was killed: the printing system must say that the
// queue prints to the product's backend and only for that user, who is the
// one the clean-up of sessions that have gone works for.
bool RootCodePrinting::leftBehindForUser(const char* name) const {
  cups::QueueAccess access;
  if (!cups::getQueueAccess(name, access))
    return false;
  std::string user;
  try {
    os::Passwd pw(os::RootCode::uid);
    if (!pw.isValid())
      return false;
    user = pw.getName();
  } catch (plat::SystemException& e) {
    vlog.error("user %u: %s", static_cast<unsigned>(os::RootCode::uid), e.str());
    return false;
  }
  return access.deviceUri.compare(0, strlen(deviceUriPrefix), deviceUriPrefix) == 0 &&
         access.allowedUsers.size() == 1 && access.allowedUsers[0] == user;
}

bool RootCodePrinting::removePrinterForCore(const char* name) {
  // The print server holds no queue of such a name; the name goes to the log.
  if (hasControl(name)) {
    tellRefusal("Removing printer %s refused: its name holds a control character",
                plat::strLoggable(name).c_str());
    lastError_ = cups::IPP_STATUS_ERROR_BAD_REQUEST;
    return false;
  }
  if (!added(name)) {
    if (!leftBehindForUser(name)) {
      vlog.error("refusing to remove printer %s, which this session did not add",
                 plat::strLoggable(name).c_str());
      lastError_ = cups::IPP_STATUS_ERROR_FORBIDDEN;
      return false;
    }
    vlog.status("removing printer %s, left behind for this user", plat::strLoggable(name).c_str());
  }
  return removePrinterHere(name);
}

void RootCodePrinting::handle(rdr::InStream& in, rdr::OutStream& out) {
  int kind = in.readU8();
  // Every field is read before any work, so that the next request starts at
  // its module name whatever happens here.
  std::string name, description, ppdPath, deviceId;
  int format = 0;
  if (kind == AddPrinter) {
    name = readField(in, maxName);
    description = readField(in, maxDescription);
    ppdPath = readField(in, maxPpdPath);
    deviceId = readField(in, maxDeviceId);
    std::uint32_t uid = in.readU32();
    format = in.readU8();
    if (uid != os::RootCode::uid)
      vlog.debug("printer %s asked for uid %u, made for uid %u", name.c_str(), uid,
                 static_cast<unsigned>(os::RootCode::uid));
  } else if (kind == RemovePrinter) {
    name = readField(in, maxName);
  }
  bool ok = false;
  try {
    if (!initialised_) {
      cups::initialise();
      initialised_ = true;
    }
    if (kind == AddPrinter)
      ok = addPrinterForCore(name.c_str(), description.c_str(), ppdPath.c_str(), deviceId.c_str(),
                             format);
    else if (kind == RemovePrinter)
      ok = removePrinterForCore(name.c_str());
    else
      lastError_ = 0;
  } catch (cups::LoadFailed& e) {
    cups::logNotFound(vlog, e.str());
    ok = false;
    lastError_ = libraryMissing;
  }
  out.writeU8(ok ? 1 : 0);
  out.writeU16(lastError_);
}

bool RootCodePrinting::readReply(rdr::InStream& in) {
  bool ok = in.readU8() != 0;
  lastError_ = in.readU16();
  in.checkpoint();
  return ok;
}

bool RootCodePrinting::addPrinter(const char* name, const char* description, const char* ppdPath,
                                  const char* deviceId, uid_t uid, int format) {
  // A field longer than the co-process takes would end it: refused here.
  if (!fits(name, maxName) || !fits(description, maxDescription) || !fits(ppdPath, maxPpdPath) ||
      !fits(deviceId, maxDeviceId)) {
    vlog.error("printer %s: a field is too long", plat::strLoggable(name).c_str());
    lastError_ = cups::IPP_STATUS_ERROR_BAD_REQUEST;
    return false;
  }
  Channel ch = channel();
  if (!ch.in || !ch.out)
    return addPrinterHere(name, description, ppdPath, deviceId, uid, format);
  ch.out->writeU8(AddPrinter);
  ch.out->writeString(name);
  ch.out->writeString(description);
  ch.out->writeString(ppdPath);
  ch.out->writeString(deviceId);
  ch.out->writeU32(static_cast<std::uint32_t>(uid));
  ch.out->writeU8(static_cast<std::uint8_t>(format));
  ch.out->flush();
  return readReply(*ch.in);
}

bool RootCodePrinting::removePrinter(const char* name) {
  if (!fits(name, maxName)) {
    lastError_ = cups::IPP_STATUS_ERROR_BAD_REQUEST;
    return false;
  }
  Channel ch = channel();
  if (!ch.in || !ch.out)
    return removePrinterHere(name);
  ch.out->writeU8(RemovePrinter);
  ch.out->writeString(name);
  ch.out->flush();
  return readReply(*ch.in);
}

namespace {

// The session socket for a home directory and a session id; empty when the
// id could lead elsewhere or the path does not fit a socket address.
std::string sessionSocket(const char* home, const char* id) {
  if (strchr(id, '/')) {
    vlog.error("session id '%s' is not a file name", plat::strLoggable(id).c_str());
    return std::string();
  }
  plat::EnvExpandedString::Variables vars = {{"HOME", home}, {"ID", id}};
  plat::EnvExpandedString path(RootCodePrinting::sessionSocketPattern, &vars);
  if (strlen(path.c_str()) > maxSocketPath) {
    vlog.error("session socket %s does not fit a socket address",
               plat::strLoggable(path.c_str()).c_str());
    return std::string();
  }
  return path.c_str();
}

} // namespace

void RootCodePrinting::cleanUpPrinters() {
  try {
    cups::Dests dests;
    std::vector<std::pair<std::string, std::string>> stale;
    for (int i = 0; i < dests.count(); i++) {
      cups::cups_dest_t* dest = dests.at(i);
      const char* id = cups::cupsGetOption("zav-id", dest->num_options, dest->options);
      const char* user = cups::cupsGetOption("zav-user", dest->num_options, dest->options);
      if (!id || !user)
        continue;
      std::string home;
      try {
        os::Passwd pw(user);
        if (!pw.isValid())
          continue;
        home = pw.getHomeDir();
      } catch (plat::SystemException&) {
        continue;
      }
      std::string path = sessionSocket(home.c_str(), id);
      if (path.empty())
        continue;
      if (plat::fileExists(path.c_str()) && sessionAlive(path.c_str()))
        continue;
      stale.emplace_back(dest->name, path);
    }
    for (const auto& s : stale) {
      vlog.status("removing printer %s of a session that has gone",
                  plat::strLoggable(s.first.c_str()).c_str());
      removePrinter(s.first.c_str());
      unlink(s.second.c_str());
    }
  } catch (cups::LoadFailed& e) {
    vlog.debug("%s", e.str());
  } catch (plat::Exception& e) {
    vlog.error("cleaning up printers: %s", e.str());
  }

  // Session sockets of this user that nobody listens on any more.
  try {
    os::Passwd me(getuid());
    if (!me.isValid())
      return;
    plat::EnvExpandedString::Variables vars = {{"HOME", me.getHomeDir()}, {"ID", ""}};
    plat::EnvExpandedString prefix(sessionSocketPattern, &vars);
    std::string pattern = prefix.c_str();
    std::string dir = pattern.substr(0, pattern.rfind('/'));
    DIR* d = opendir(dir.c_str());
    if (!d)
      return;
    std::vector<std::string> gone;
    while (struct dirent* e = readdir(d)) {
      if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
        continue;
      std::string path = dir + "/" + e->d_name;
      if (path.compare(0, pattern.size(), pattern) != 0 || path.size() > maxSocketPath)
        continue;
      if (!sessionAlive(path.c_str()))
        gone.push_back(path);
    }
    closedir(d);
    for (const std::string& path : gone)
      unlink(path.c_str());
  } catch (plat::Exception& e) {
    vlog.error("cleaning up session sockets: %s", e.str());
  }
}

} // namespace print
