#include "net/io/AddressRecord.h"

#include "net/Endpoint.h"
#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

static plat::LogWriter vlog("AddressRecord");

namespace io {

namespace {
plat::String bracketed(const char* text) {
  if (strchr(text, ':') && text[0] != '[') {
    plat::DString s;
    s.appendFormat("[%s]", text);
    return s.str();
  }
  return plat::String(text);
}
} // namespace

AddressRecord AddressRecord::fromSocket(int fd, bool peer, const char* hostName) {
  struct sockaddr_storage sa;
  socklen_t len = sizeof sa;
  int r = peer ? getpeername(fd, reinterpret_cast<struct sockaddr*>(&sa), &len)
               : getsockname(fd, reinterpret_cast<struct sockaddr*>(&sa), &len);
  if (r < 0)
    throw plat::SystemException(peer ? "getpeername" : "getsockname", errno);
  AddressRecord rec;
  if (hostName)
    rec.name = bracketed(hostName);
  char host[1025], service[32];
  int err = getnameinfo(reinterpret_cast<struct sockaddr*>(&sa), len, host, sizeof host, service,
                        sizeof service, NI_NUMERICHOST | NI_NUMERICSERV);
  if (err != 0)
    throw plat::SystemException("getnameinfo", err == EAI_SYSTEM ? errno : EINVAL);
  rec.address = bracketed(host);
  if (rec.address == "[::]" || rec.address == "0.0.0.0")
    rec.address = "";
  rec.port = atoi(service);
  rec.family = sa.ss_family;
  rec.endpoint = net::formatEndpoint(rec.name.isNull() ? rec.address.c_str() : rec.name.c_str(),
                                     rec.port, -1, -1);
  return rec;
}

} // namespace io
