#include "cups/CupsApi.h"

#include "cups/LoadFailed.h"
#include "plat/DString.h"
#include "plat/DynamicFn.h"
#include "plat/LogWriter.h"

#include <cstring>
#include <sys/stat.h>

namespace cups {

plat::LogWriter& apiLog() {
  static plat::LogWriter* log = new plat::LogWriter("CupsApi");
  return *log;
}

bool version1_1 = false;
const char* const backendPath = "/usr/lib/cups/backend/zav";

namespace {

const char* const librarySpec = "cups[2]";

// One function of the library. A binding that finds nothing throws from its
// constructor, which closes the library again; made as a function-local
// static, it is then tried afresh on the next call. A binding that succeeds
// keeps its own handle on the library until the process ends. It is never
// closed before: the library keeps caches (languages, server settings) in
// its own data, and unloading it in the exit handlers would cut them loose
// while other exit handlers may still use the library.
template <typename Fn> class BoundFunction {
public:
  explicit BoundFunction(const char* name) : library_(librarySpec, name) {
    if (!library_.getFunction())
      throw LoadFailed(name);
    function_ = reinterpret_cast<Fn>(library_.getFunction());
  }
  Fn get() const { return function_; }

private:
  plat::DynamicFn library_;
  Fn function_ = nullptr;
};

// The bound function of the wrapper it is used in, which has the library
// function's name and type.
#define CUPS_BOUND(name)                                                                           \
  static BoundFunction<decltype(&cups::name)>& binding =                                           \
      *new BoundFunction<decltype(&cups::name)>(#name);                                            \
  auto fn = binding.get()

bool initialiseNeeded = true;

} // namespace

ppd_file_t* ppdOpenFile(const char* filename) {
  CUPS_BOUND(ppdOpenFile);
  return fn(filename);
}

void ppdClose(ppd_file_t* ppd) {
  CUPS_BOUND(ppdClose);
  fn(ppd);
}

float ppdPageWidth(ppd_file_t* ppd, const char* name) {
  CUPS_BOUND(ppdPageWidth);
  return fn(ppd, name);
}

float ppdPageLength(ppd_file_t* ppd, const char* name) {
  CUPS_BOUND(ppdPageLength);
  return fn(ppd, name);
}

ppd_attr_t* ppdFindAttr(ppd_file_t* ppd, const char* name, const char* spec) {
  CUPS_BOUND(ppdFindAttr);
  return fn(ppd, name, spec);
}

ppd_attr_t* ppdFindNextAttr(ppd_file_t* ppd, const char* name, const char* spec) {
  CUPS_BOUND(ppdFindNextAttr);
  return fn(ppd, name, spec);
}

ppd_status_t ppdLastError(int* line) {
  CUPS_BOUND(ppdLastError);
  return fn(line);
}

const char* ppdErrorString(ppd_status_t status) {
  CUPS_BOUND(ppdErrorString);
  return fn(status);
}

ipp_t* ippNew() {
  CUPS_BOUND(ippNew);
  return fn();
}

void ippDelete(ipp_t* ipp) {
  CUPS_BOUND(ippDelete);
  fn(ipp);
}

ipp_attribute_t* ippAddString(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                              const char* language, const char* value) {
  CUPS_BOUND(ippAddString);
  return fn(ipp, group, valueTag, name, language, value);
}

ipp_attribute_t* ippAddInteger(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                               int value) {
  CUPS_BOUND(ippAddInteger);
  return fn(ipp, group, valueTag, name, value);
}

ipp_attribute_t* ippAddStrings(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                               int count, const char* language, const char* const* values) {
  CUPS_BOUND(ippAddStrings);
  return fn(ipp, group, valueTag, name, count, language, values);
}

ipp_attribute_t* ippAddBoolean(ipp_t* ipp, ipp_tag_t group, const char* name, char value) {
  CUPS_BOUND(ippAddBoolean);
  return fn(ipp, group, name, value);
}

ipp_attribute_t* ippFindAttribute(ipp_t* ipp, const char* name, ipp_tag_t valueTag) {
  CUPS_BOUND(ippFindAttribute);
  return fn(ipp, name, valueTag);
}

int ippGetCount(ipp_attribute_t* attr) {
  CUPS_BOUND(ippGetCount);
  return fn(attr);
}

const char* ippGetString(ipp_attribute_t* attr, int element, const char** language) {
  CUPS_BOUND(ippGetString);
  return fn(attr, element, language);
}

const char* ippErrorString(ipp_status_t error) {
  CUPS_BOUND(ippErrorString);
  return fn(error);
}

int ippPort() {
  CUPS_BOUND(ippPort);
  return fn();
}

ipp_t* ippNewRequest(ipp_op_t op) {
  try {
    CUPS_BOUND(ippNewRequest);
    return fn(op);
  } catch (LoadFailed&) {
    // An older library: the request is put together from a plain message.
  }
  cups_lang_t* language = cupsLangGet(nullptr);
  ipp_t* request = ippNew();
  if (!request)
    return nullptr;
  try {
    IppHeader* header = reinterpret_cast<IppHeader*>(request);
    header->operationId = op;
    header->requestId = 1;
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_CHARSET, "attributes-charset", nullptr,
                 cupsLangEncoding(language));
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_LANGUAGE, "attributes-natural-language",
                 nullptr, language ? language->language : "C");
  } catch (...) {
    ippDelete(request);
    throw;
  }
  return request;
}

http_t* httpConnect(const char* host, int port) {
  CUPS_BOUND(httpConnect);
  return fn(host, port);
}

void httpClose(http_t* http) {
  CUPS_BOUND(httpClose);
  fn(http);
}

http_uri_status_t httpAssembleURI(http_uri_coding_t encoding, char* uri, int length,
                                  const char* scheme, const char* username, const char* host,
                                  int port, const char* resource) {
  try {
    CUPS_BOUND(httpAssembleURI);
    return fn(encoding, uri, length, scheme, username, host, port, resource);
  } catch (LoadFailed&) {
    // Formatted here instead; the user name and the encoding are not used.
  }
  // The library's codes for bad arguments and for a URI that does not fit.
  const http_uri_status_t badArguments = -7, overflow = -8;
  if (!uri || length <= 0)
    return badArguments;
  plat::DString text;
  if (port != 0)
    text.appendFormat("%s://%s:%d%s", scheme ? scheme : "", host ? host : "", port,
                      resource ? resource : "");
  else
    text.appendFormat("%s://%s%s", scheme ? scheme : "", host ? host : "",
                      resource ? resource : "");
  // strncpy leaves the text unterminated when it fills the buffer: the last
  // byte is always the terminator, and a cut URI is reported.
  strncpy(uri, text.c_str(), static_cast<size_t>(length));
  uri[length - 1] = '\0';
  if (static_cast<int>(strlen(text.c_str())) >= length)
    return overflow;
  return 0;
}

const char* cupsServer() {
  CUPS_BOUND(cupsServer);
  return fn();
}

void cupsSetPasswordCB(cups_password_cb_t cb) {
  CUPS_BOUND(cupsSetPasswordCB);
  fn(cb);
}

int cupsGetDests(cups_dest_t** dests) {
  CUPS_BOUND(cupsGetDests);
  return fn(dests);
}

cups_dest_t* cupsGetDest(const char* name, const char* instance, int count, cups_dest_t* dests) {
  CUPS_BOUND(cupsGetDest);
  return fn(name, instance, count, dests);
}

void cupsSetDests(int count, cups_dest_t* dests) {
  CUPS_BOUND(cupsSetDests);
  fn(count, dests);
}

void cupsFreeDests(int count, cups_dest_t* dests) {
  CUPS_BOUND(cupsFreeDests);
  fn(count, dests);
}

int cupsAddOption(const char* name, const char* value, int count, cups_option_t** options) {
  CUPS_BOUND(cupsAddOption);
  return fn(name, value, count, options);
}

const char* cupsGetOption(const char* name, int count, cups_option_t* options) {
  CUPS_BOUND(cupsGetOption);
  return fn(name, count, options);
}

void cupsFreeOptions(int count, cups_option_t* options) {
  CUPS_BOUND(cupsFreeOptions);
  fn(count, options);
}

int cupsPrintFile(const char* printer, const char* filename, const char* title, int count,
                  cups_option_t* options) {
  CUPS_BOUND(cupsPrintFile);
  return fn(printer, filename, title, count, options);
}

const char* cupsGetPPD(const char* printer) {
  CUPS_BOUND(cupsGetPPD);
  return fn(printer);
}

ipp_t* cupsDoFileRequest(http_t* http, ipp_t* request, const char* resource, const char* filename) {
  CUPS_BOUND(cupsDoFileRequest);
  return fn(http, request, resource, filename);
}

ipp_t* cupsDoRequest(http_t* http, ipp_t* request, const char* resource) {
  try {
    CUPS_BOUND(cupsDoRequest);
    return fn(http, request, resource);
  } catch (LoadFailed&) {
  }
  return cupsDoFileRequest(http, request, resource, nullptr);
}

ipp_status_t cupsLastError() {
  CUPS_BOUND(cupsLastError);
  return fn();
}

// Bound under the library's own name, which the wrapper does not carry.
static const char* cupsLastErrorString() {
  CUPS_BOUND(cupsLastErrorString);
  return fn();
}

const char* lastErrorString() {
  try {
    return cupsLastErrorString();
  } catch (LoadFailed&) {
  }
  return ippErrorString(cupsLastError());
}

cups_lang_t* cupsLangGet(const char* language) {
  CUPS_BOUND(cupsLangGet);
  return fn(language);
}

const char* cupsLangEncoding(cups_lang_t* lang) {
  CUPS_BOUND(cupsLangEncoding);
  return fn(lang);
}

void checkVersion1_1() {
  try {
    // A binding of its own: the wrapper's binding may have been made, or
    // have failed, independently of this one.
    static BoundFunction<decltype(&cups::ippNewRequest)>& binding =
        *new BoundFunction<decltype(&cups::ippNewRequest)>("ippNewRequest");
    version1_1 = binding.get() != nullptr;
  } catch (LoadFailed&) {
    version1_1 = false;
  }
}

void initialise() {
  if (!initialiseNeeded)
    return;
  cupsSetPasswordCB(getPassword);
  checkVersion1_1();
  initialiseNeeded = false;
}

bool isAvailable() {
  try {
    cupsServer();
    return true;
  } catch (LoadFailed&) {
    return false;
  }
}

const char* getPassword(const char*) {
  return "";
}

void logNotFound(plat::LogWriter& log, const char* reason) {
  log.debug("%s", reason);
  log.status("CUPS not found - print functionality will be disabled");
}

bool backendInstalled() {
  return backendInstalled(backendPath);
}

bool backendInstalled(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0)
    return false;
  return S_ISREG(st.st_mode) && st.st_uid == 0 && (st.st_mode & 0100) && !(st.st_mode & 0011);
}

} // namespace cups
