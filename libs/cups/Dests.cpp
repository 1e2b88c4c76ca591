#include "cups/Dests.h"

#include "cups/CupsApi.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

static plat::LogWriter& vlog = cups::apiLog();

namespace cups {

Dests::Dests() {
  count_ = cupsGetDests(&dests_);
  if (count_ < 0)
    count_ = 0;
}

Dests::~Dests() {
  try {
    if (dests_)
      cupsFreeDests(count_, dests_);
  } catch (plat::Exception& e) {
    // The library that gave the list is bound: freeing cannot fail to bind.
    vlog.error("%s", e.str());
  }
}

cups_dest_t* Dests::find(const char* name) const {
  return cupsGetDest(name, nullptr, count_, dests_);
}

const char* Dests::defaultDestName() const {
  cups_dest_t* dest = cupsGetDest(nullptr, nullptr, count_, dests_);
  return dest ? dest->name : nullptr;
}

const char* Dests::defaultName() const {
  const char* name = defaultDestName();
  if (!name && count_ > 0)
    name = dests_[0].name;
  return name;
}

void Dests::setDefault(cups_dest_t* dest) {
  vlog.debug("trying to set default printer to %p", static_cast<void*>(dest));
  if (!dest)
    return;
  vlog.debug("Printer name = %s", dest->name);
  for (int i = 0; i < count_; i++) {
    cups_dest_t* d = &dests_[i];
    vlog.debug("Testing %p (%s) is_default = %s", static_cast<void*>(d), d->name,
               d->is_default ? "true" : "false");
    d->is_default = d == dest;
  }
  save();
}

namespace {

void logSystemError(const char* call, int err) {
  vlog.error("%s", plat::SystemException(call, err).str());
}

} // namespace

void Dests::save() {
  uid_t effective = geteuid();
  if (getuid() == effective) {
    cupsSetDests(count_, dests_);
    return;
  }
  pid_t pid = fork();
  if (pid < 0) {
    logSystemError("fork", errno);
    return;
  }
  if (pid == 0) {
    if (seteuid(getuid()) != 0) {
      logSystemError("seteuid", errno);
      _exit(0);
    }
    if (setuid(effective) != 0) {
      logSystemError("setuid", errno);
      _exit(0);
    }
    // Nothing may leave the child but through _exit.
    try {
      cupsSetDests(count_, dests_);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
    _exit(0);
  }
  int status;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

} // namespace cups
