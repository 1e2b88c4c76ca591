#include "x0zavserver/unix/RootCodePAM.h"

#include "plat/DynamicFn.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "plat/unix/Passwd.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/UserGroups.h"
#include "x0zavserver/unix/WriteAll.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

static plat::LogWriter vlog("PAMAuth");

namespace zav {

plat::StringParameter pamApplicationName("PamApplicationName", "PAM application policy to use",
                                         "zavserver", true);

const char* RootCodePAM::libraryName = "pam[0],pam";

namespace {

// The password the conversation hands out; set only around pam_authenticate.
const char* conversationPassword = nullptr;

int supply_password(int count, const struct pam_message** messages, struct pam_response** responses,
                    void*) {
  (void)messages;
  if (count == 1 && conversationPassword) {
    auto* r = static_cast<struct pam_response*>(calloc(1, sizeof(struct pam_response)));
    char* copy = r ? strdup(conversationPassword) : nullptr;
    if (copy) {
      r->resp = copy;
      r->resp_retcode = 0;
      *responses = r;
      return PAM_SUCCESS;
    }
    free(r);
    return PAM_BUF_ERR;
  }
  fprintf(stderr, "Unexpected invocation of supply_password\n");
  return PAM_CONV_ERR;
}

// The service names a file under /etc/pam.d: only a plain name, so that no
// path or hidden name reaches PAM.
bool isPlainServiceName(const char* name) {
  if (!*name || *name == '.')
    return false;
  for (const char* p = name; *p; p++) {
    char c = *p;
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '_' || c == '-';
    if (!ok)
      return false;
  }
  return true;
}

// What the child that ran PAM found: a result code of RootCodeUPV and, for
// a refusal, its message.
struct Outcome {
  int code;
  std::string message;
};

// The message for a pam_acct_mgmt refusal: what the user must know.
std::string accountRefusal(int result, const char* text) {
  switch (result) {
  case PAM_ACCT_EXPIRED:
    return "The account has expired";
  case PAM_NEW_AUTHTOK_REQD:
    return "The password has expired and must be changed";
  default:
    return std::string("The account may not be used: ") + text;
  }
}

// What the child left: its reply and its wait status, and whether it was
// ended for taking too long.
struct ChildEnd {
  std::string reply;
  int status = 0;
  bool tooLong = false;
};

// Reads the child's reply to its end and collects the child. The user may
// stop the child (SIGSTOP cannot be ignored), or a program the PAM stack
// runs as the user, and so hold the co-process in this read for good: a
// child found stopped is killed, which refuses this one check as a killed
// child does, and so is a child that has not answered within the limit.
ChildEnd collect(int fd, pid_t pid) {
  ChildEnd end;
  bool reaped = false;
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(RootCodePAM::timeLimitSeconds);
  char buf[512];
  for (;;) {
    struct pollfd ready = {fd, POLLIN, 0};
    int r = poll(&ready, 1, 200);
    if (r < 0 && errno == EINTR)
      continue;
    if (r == 0) {
      if (reaped)
        break; // the child has gone and nothing more comes
      pid_t w = waitpid(pid, &end.status, WNOHANG | WUNTRACED);
      if (w == pid && WIFSTOPPED(end.status)) {
        vlog.error("The password check was stopped; ending it");
        kill(pid, SIGKILL);
        break;
      }
      reaped = w == pid;
      if (!reaped && std::chrono::steady_clock::now() >= deadline) {
        vlog.error("The password check took longer than %d seconds; ending it",
                   RootCodePAM::timeLimitSeconds);
        kill(pid, SIGKILL);
        end.tooLong = true;
        break;
      }
      continue;
    }
    ssize_t n = r < 0 ? -1 : read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    end.reply.append(buf, static_cast<size_t>(n));
  }
  if (!reaped)
    while (waitpid(pid, &end.status, 0) < 0 && errno == EINTR) {
    }
  return end;
}

using PamStart = int (*)(const char*, const char*, const struct pam_conv*, pam_handle_t**);
using PamCall = int (*)(pam_handle_t*, int);
using PamStrerror = const char* (*)(pam_handle_t*, int);

// The PAM transaction, in the child: start, authenticate, check the account,
// end.
Outcome converse(const char* service, const char* user, const char* password, PamStart pamStart,
                 PamCall pamAuthenticate, PamCall pamAcctMgmt, PamCall pamEnd,
                 PamStrerror pamStrerror) {
  struct pam_conv conversation = {supply_password, nullptr};
  pam_handle_t* handle = nullptr;
  int result = pamStart(service, user, &conversation, &handle);
  auto errorText = [&](int code) {
    const char* text = "<pam_strerror unavailable>";
    if (pamStrerror) {
      text = pamStrerror(handle, code);
      if (!text)
        text = "<null>";
    }
    return std::string(text);
  };
  if (result != PAM_SUCCESS) {
    char text[300];
    snprintf(text, sizeof text, "pam_start failed: %s (%i)", errorText(result).c_str(), result);
    pamEnd(handle, result);
    return {RootCodeUPV::OtherFailure, text};
  }
  conversationPassword = password;
  result = pamAuthenticate(handle, 0);
  conversationPassword = nullptr;
  if (result != PAM_SUCCESS) {
    vlog.debug("pam_authenticate: %i", result);
    pamEnd(handle, result);
    return {RootCodeUPV::AuthFailed, RootCodeUPV::failureText};
  }
  // The password was right; the account itself may still not be usable.
  result = pamAcctMgmt(handle, 0);
  std::string refusal =
      result == PAM_SUCCESS ? std::string() : accountRefusal(result, errorText(result).c_str());
  pamEnd(handle, result);
  if (result != PAM_SUCCESS) {
    vlog.debug("pam_acct_mgmt: %i", result);
    return {RootCodeUPV::AuthFailed, refusal};
  }
  return {RootCodeUPV::Accepted, std::string()};
}

} // namespace

RootCodePAM& RootCodePAM::instance() {
  static RootCodePAM* module = new RootCodePAM;
  return *module;
}

void RootCodePAM::readRequest(plat::PlainPassword& user, plat::PlainPassword& password,
                              rdr::InStream& in) {
  RootCodeUPV::readRequest(user, password, in);
  char service[256];
  int n = in.readU8();
  in.readBytes(service, n);
  service[n] = '\0';
  pamApplicationName.setParam(service, 50);
}

void RootCodePAM::writeRequest(const char* user, const char* password, rdr::OutStream& out) {
  RootCodeUPV::writeRequest(user, password, out);
  plat::String service = pamApplicationName.getValue();
  int n = plat::strLen(service.c_str());
  if (n > 255)
    n = 255;
  out.writeU8(static_cast<std::uint8_t>(n));
  out.writeBytes(service.c_str(), n);
}

void RootCodePAM::verify(const char* user, const char* password) {
  plat::String userName(user);
  if (!*user) {
    // The launching user, not the real user of the co-process (root).
    const struct passwd* pw = getpwuid(os::RootCode::uid);
    if (!pw)
      throw plat::ExceptionFmt("No user name for user id %u",
                               static_cast<unsigned>(os::RootCode::uid));
    userName = pw->pw_name;
  }
  plat::String service = pamApplicationName.getValue();
  if (!isPlainServiceName(service.c_str()))
    throw plat::Exception("Invalid PAM service name");

  plat::DynamicFn strerrorFn(libraryName, "pam_strerror");
  plat::DynamicFn startFn(libraryName, "pam_start");
  plat::DynamicFn authenticateFn(libraryName, "pam_authenticate");
  plat::DynamicFn endFn(libraryName, "pam_end");
  plat::DynamicFn acctMgmtFn(libraryName, "pam_acct_mgmt");
  auto pamStrerror = reinterpret_cast<PamStrerror>(strerrorFn.getFunction());
  auto pamStart = reinterpret_cast<PamStart>(startFn.getFunction());
  auto pamAuthenticate = reinterpret_cast<PamCall>(authenticateFn.getFunction());
  auto pamEnd = reinterpret_cast<PamCall>(endFn.getFunction());
  if (!pamStart || !pamAuthenticate || !pamEnd) {
    char text[48] = "";
    if (!pamStart)
      strncat(text, "pam_start ", sizeof(text) - strlen(text) - 1);
    if (!pamAuthenticate)
      strncat(text, "pam_authenticate ", sizeof(text) - strlen(text) - 1);
    if (!pamEnd)
      strncat(text, "pam_end ", sizeof(text) - strlen(text) - 1);
    strncat(text, "not found.", sizeof(text) - strlen(text) - 1);
    throw NotAvailableException(text);
  }

  auto pamAcctMgmt = reinterpret_cast<PamCall>(acctMgmtFn.getFunction());
  if (!pamAcctMgmt)
    throw NotAvailableException("pam_acct_mgmt not found.");

  // The conversation runs in a child whose real user is the launching user,
  // so that modules which trust a root caller (pam_rootok) do not pass; its
  // effective user stays root to read the shadow database. Its groups are
  // the user's, not root's, so that what the PAM stack runs or writes gets
  // no group rights the user lacks. That user may signal the child, and
  // killing or stopping it refuses this one check; the co-process itself
  // keeps root as its real user, out of the user's reach.
  uid_t launchingUser = os::RootCode::uid;
  bool asUser = geteuid() == 0 && getuid() == 0 && launchingUser != 0;
  gid_t userGid = 0;
  std::vector<gid_t> userGroupList;
  if (asUser) {
    os::Passwd entry(launchingUser);
    if (!entry.isValid())
      throw plat::ExceptionFmt("No user name for user id %u", static_cast<unsigned>(launchingUser));
    userGid = entry.getGid();
    userGroupList = os::userGroups(entry);
  }
  int result[2];
  if (pipe2(result, O_CLOEXEC) != 0)
    throw plat::SystemException("pipe", errno);
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close(result[0]);
    close(result[1]);
    throw plat::SystemException("fork", err);
  }
  if (pid == 0) {
    close(result[0]);
    if (asUser &&
        (setgroups(userGroupList.size(), userGroupList.data()) != 0 ||
         setresgid(userGid, userGid, userGid) != 0 || setresuid(launchingUser, 0, 0) != 0))
      _exit(1);
    Outcome outcome = converse(service.c_str(), userName.c_str(), password, pamStart,
                               pamAuthenticate, pamAcctMgmt, pamEnd, pamStrerror);
    std::string frame(1, static_cast<char>(outcome.code));
    os::writeAll(result[1], frame + outcome.message);
    _exit(0);
  }
  close(result[1]);
  ChildEnd end = collect(result[0], pid);
  close(result[0]);
  const std::string& reply = end.reply;
  int status = end.status;
  if (end.tooLong)
    throw rfb::AuthFailureException("The password check took too long");
  if (WIFSIGNALED(status))
    throw rfb::AuthFailureException("The password check was ended by a signal");
  if (reply.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw plat::Exception("The password check ended without a result");
  std::string message = reply.substr(1);
  switch (reply[0]) {
  case Accepted:
    return;
  case AuthFailed:
    throw rfb::AuthFailureException(message.c_str());
  default:
    throw plat::Exception(message.c_str());
  }
}

} // namespace zav
