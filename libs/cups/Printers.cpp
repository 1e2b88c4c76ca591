#include "cups/Printers.h"

#include "cups/CupsApi.h"
#include "cups/Dests.h"
#include "cups/Options.h"
#include "cups/PrintFailed.h"
#include "plat/DString.h"
#include "plat/LogWriter.h"
#include "plat/String.h"
#include "plat/unix/Passwd.h"

#include <cerrno>

static plat::LogWriter& vlog = cups::apiLog();

namespace cups {

namespace {

// The login name of uid, or absent (logged with message) when the user
// database has no such user or the lookup fails.
plat::String loginName(uid_t uid, const char* message) {
  try {
    os::Passwd pw(uid);
    if (pw.isValid())
      return plat::String(pw.getName());
  } catch (plat::SystemException&) {
  }
  vlog.error(message, static_cast<int>(uid));
  return plat::String();
}

// Closes the connection however the operation ends.
class Connection {
public:
  Connection() {
    const char* server = cupsServer();
    http_ = httpConnect(server, ippPort());
  }
  ~Connection() {
    if (http_)
      httpClose(http_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  http_t* get() const { return http_; }

private:
  http_t* http_ = nullptr;
};

void addPrinterUri(ipp_t* request, const char* name) {
  plat::DString resource;
  resource.appendFormat("/printers/%s", name);
  char uri[1024];
  httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
                  resource.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
}

// A response of the printing system, freed however the operation ends.
class Response {
public:
  explicit Response(ipp_t* response) : response_(response) {}
  ~Response() {
    if (response_)
      ippDelete(response_);
  }
  Response(const Response&) = delete;
  Response& operator=(const Response&) = delete;
  ipp_t* get() const { return response_; }

private:
  ipp_t* response_;
};

// True when the printing system did what the last request asked: a
// response can carry a refusal.
bool lastRequestAccepted() {
  if (cupsLastError() <= IPP_STATUS_OK_LAST)
    return true;
  vlog.debug("request refused: %s", lastErrorString());
  return false;
}

// Sends the request (which the library consumes) and tells whether the
// printing system did what was asked.
bool send(http_t* http, ipp_t* request, const char* ppdPath) {
  Response response(ppdPath ? cupsDoFileRequest(http, request, "/admin/", ppdPath)
                            : cupsDoRequest(http, request, "/admin/"));
  return response.get() && lastRequestAccepted();
}

} // namespace

const char* formatName(int format) {
  switch (format) {
  case 0:
    return "PS";
  case 1:
    return "PDF";
  default:
    return "ZRLE";
  }
}

bool addPrinter(const char* name, const char* info, const char* ppdPath, const char* deviceId,
                uid_t uid, int format) {
  plat::String user = loginName(uid, "passwd lookup failed for uid %d");
  if (user.isNull())
    return false;
  Connection http;
  if (!http.get())
    return false;
  plat::DString deviceUri;
  deviceUri.appendFormat("zav:/%s/%s", formatName(format), deviceId);
  ipp_t* request = ippNewRequest(CUPS_ADD_MODIFY_PRINTER);
  if (!request)
    return false;
  try {
    addPrinterUri(request, name);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, deviceUri.c_str());
    ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
    ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PRINTER_IDLE);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, info);
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "printer-error-policy", nullptr,
                 "abort-job");
    ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_NAME, "requesting-user-name-allowed", nullptr,
                 user.c_str());
  } catch (...) {
    ippDelete(request);
    throw;
  }
  return send(http.get(), request, ppdPath);
}

bool deletePrinter(const char* name) {
  Connection http;
  if (!http.get())
    return false;
  ipp_t* request = ippNewRequest(CUPS_DELETE_PRINTER);
  if (!request)
    return false;
  try {
    addPrinterUri(request, name);
  } catch (...) {
    ippDelete(request);
    throw;
  }
  return send(http.get(), request, nullptr);
}

bool getQueueAccess(const char* name, QueueAccess& access) {
  access = QueueAccess();
  Connection http;
  if (!http.get())
    return false;
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  if (!request)
    return false;
  try {
    addPrinterUri(request, name);
    static const char* const wanted[] = {"device-uri", "requesting-user-name-allowed"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
  } catch (...) {
    ippDelete(request);
    throw;
  }
  Response response(cupsDoRequest(http.get(), request, "/"));
  if (!response.get() || !lastRequestAccepted())
    return false;
  ipp_attribute_t* device = ippFindAttribute(response.get(), "device-uri", IPP_TAG_ZERO);
  const char* uri = device ? ippGetString(device, 0, nullptr) : nullptr;
  if (uri)
    access.deviceUri = uri;
  ipp_attribute_t* users =
      ippFindAttribute(response.get(), "requesting-user-name-allowed", IPP_TAG_ZERO);
  int count = users ? ippGetCount(users) : 0;
  for (int i = 0; i < count; i++) {
    // A value that is no text stands for no user name.
    const char* user = ippGetString(users, i, nullptr);
    access.allowedUsers.push_back(user ? user : "");
  }
  return true;
}

void printPS(const char* printer, const char* path, const char* title, bool fitToPage) {
  Dests dests;
  cups_dest_t* dest = dests.find(printer);
  if (!dest) {
    vlog.error("printPS: unknown printer '%s'", printer);
    throw PrintFailed("Failed to print '%s' to unknown printer '%s'", title, printer);
  }
  Options options;
  options.addDestOptions(dest);
  options.add("document-format", "application/postscript");
  if (fitToPage)
    options.add("fitplot", "true");
  if (cupsPrintFile(printer, path, title, options.count(), options.options()) == 0)
    throw PrintFailed("Failed to print '%s' to printer '%s': %s", title, printer,
                      lastErrorString());
}

void setZavOptions(Dests& dests, cups_dest_t* dest, const char* id, uid_t uid) {
  if (!dest)
    return;
  plat::String user = loginName(uid, "setZavOptions() passwd lookup failed for uid %d");
  if (user.isNull())
    throw plat::SystemException("getpwuid", ENOENT);
  dest->num_options = cupsAddOption("zav-id", id, dest->num_options, &dest->options);
  dest->num_options = cupsAddOption("zav-user", user.c_str(), dest->num_options, &dest->options);
  dests.save();
}

} // namespace cups
