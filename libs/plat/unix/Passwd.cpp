#include "plat/unix/Passwd.h"

#include "plat/Assert.h"
#include "plat/Exception.h"

#include <cerrno>
#include <cstring>

namespace os {

namespace {

constexpr size_t initialBufferSize = 1024;
// A database that keeps answering ERANGE must not make the buffer grow
// without end.
constexpr size_t maxBufferSize = 1 << 24;

bool missingThrows = false;

} // namespace

Passwd::Passwd() : buffer(initialBufferSize, 0) {
  memset(&entry, 0, sizeof entry);
}

Passwd::Passwd(uid_t uid) : Passwd() {
  lookupUid(uid);
}

Passwd::Passwd(const char* name) : Passwd() {
  lookupName(name);
}

Passwd::~Passwd() {
  valid = false;
}

void Passwd::setMissingEntryThrows(bool on) {
  missingThrows = on;
}

bool Passwd::missingEntryThrows() {
  return missingThrows;
}

void Passwd::lookupName(const char* name) {
  PLAT_CHECK(name != 0);
  lookup(name, 0);
}

void Passwd::lookupUid(uid_t uid) {
  lookup(nullptr, uid);
}

void Passwd::lookup(const char* name, uid_t uid) {
  valid = false;
  for (;;) {
    struct passwd* result = nullptr;
    int rc = name ? getpwnam_r(name, &entry, buffer.data(), buffer.size(), &result)
                  : getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result);
    if (result) {
      valid = true;
      return;
    }
    if (rc == ERANGE && buffer.size() < maxBufferSize) {
      buffer.resize(buffer.size() * 2, 0);
      continue;
    }
    // The calls report a user they do not know with 0 (or, from some
    // sources, ENOENT and kin).
    bool missing = rc == 0 || rc == ENOENT || rc == ESRCH || rc == EBADF || rc == EPERM;
    if (missing && !missingThrows)
      return;
    throw plat::SystemException(name ? "getpwnam" : "getpwuid", rc);
  }
}

const char* Passwd::getName() const {
  PLAT_CHECK(valid);
  return entry.pw_name;
}

const char* Passwd::getPasswd() const {
  PLAT_CHECK(valid);
  return entry.pw_passwd;
}

uid_t Passwd::getUid() const {
  PLAT_CHECK(valid);
  return entry.pw_uid;
}

gid_t Passwd::getGid() const {
  PLAT_CHECK(valid);
  return entry.pw_gid;
}

const char* Passwd::getHomeDir() const {
  PLAT_CHECK(valid);
  return entry.pw_dir;
}

const char* Passwd::getShell() const {
  PLAT_CHECK(valid);
  return entry.pw_shell;
}

} // namespace os
