// The printing system library (libcups, "cups[2]"), bound at run time one
// function at a time. Each wrapper binds its function on first use, keeps the
// binding until the process ends, and throws cups::LoadFailed "failed to load
// %s" while the function cannot be found (a later call tries again). A few
// wrappers fall back on other functions of the library where older libraries
// lack theirs. Results are the library's and owned as the library says.
#pragma once

#include "cups/CupsTypes.h"

namespace plat {
class LogWriter;
}

namespace cups {

// PPD files.
ppd_file_t* ppdOpenFile(const char* filename);
void ppdClose(ppd_file_t* ppd);
float ppdPageWidth(ppd_file_t* ppd, const char* name);
float ppdPageLength(ppd_file_t* ppd, const char* name);
// The first and the next attribute of that keyword (compared without case)
// and option (any when null), or null; owned by the PPD.
ppd_attr_t* ppdFindAttr(ppd_file_t* ppd, const char* name, const char* spec);
ppd_attr_t* ppdFindNextAttr(ppd_file_t* ppd, const char* name, const char* spec);
// Why the last ppdOpenFile of this thread failed, and on which line.
ppd_status_t ppdLastError(int* line);
const char* ppdErrorString(ppd_status_t status);

// IPP messages.
ipp_t* ippNew();
void ippDelete(ipp_t* ipp);
ipp_attribute_t* ippAddString(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                              const char* language, const char* value);
ipp_attribute_t* ippAddInteger(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                               int value);
ipp_attribute_t* ippAddStrings(ipp_t* ipp, ipp_tag_t group, ipp_tag_t valueTag, const char* name,
                               int count, const char* language, const char* const* values);
ipp_attribute_t* ippAddBoolean(ipp_t* ipp, ipp_tag_t group, const char* name, char value);
// The first attribute of that name (and value tag, unless IPP_TAG_ZERO), or
// null; owned by the message.
ipp_attribute_t* ippFindAttribute(ipp_t* ipp, const char* name, ipp_tag_t valueTag);
int ippGetCount(ipp_attribute_t* attr);
// A value of a text-like attribute, owned by the message; null for other
// kinds or an element out of range.
const char* ippGetString(ipp_attribute_t* attr, int element, const char** language);
const char* ippErrorString(ipp_status_t error);
int ippPort();
// Falls back on a message built with ippNew.
ipp_t* ippNewRequest(ipp_op_t op);

// HTTP connections and URIs.
http_t* httpConnect(const char* host, int port);
void httpClose(http_t* http);
// Falls back on formatting the URI here; the result is always terminated.
http_uri_status_t httpAssembleURI(http_uri_coding_t encoding, char* uri, int length,
                                  const char* scheme, const char* username, const char* host,
                                  int port, const char* resource);

// Server and password.
const char* cupsServer();
void cupsSetPasswordCB(cups_password_cb_t cb);

// Destinations and options.
int cupsGetDests(cups_dest_t** dests);
cups_dest_t* cupsGetDest(const char* name, const char* instance, int count, cups_dest_t* dests);
void cupsSetDests(int count, cups_dest_t* dests);
void cupsFreeDests(int count, cups_dest_t* dests);
int cupsAddOption(const char* name, const char* value, int count, cups_option_t** options);
const char* cupsGetOption(const char* name, int count, cups_option_t* options);
void cupsFreeOptions(int count, cups_option_t* options);

// Jobs, PPDs and requests.
int cupsPrintFile(const char* printer, const char* filename, const char* title, int count,
                  cups_option_t* options);
const char* cupsGetPPD(const char* printer);
ipp_t* cupsDoFileRequest(http_t* http, ipp_t* request, const char* resource, const char* filename);
// Falls back on cupsDoFileRequest without a file.
ipp_t* cupsDoRequest(http_t* http, ipp_t* request, const char* resource);

// Errors and language.
ipp_status_t cupsLastError();
// cupsLastErrorString, falling back on ippErrorString of cupsLastError.
const char* lastErrorString();
cups_lang_t* cupsLangGet(const char* language);
const char* cupsLangEncoding(cups_lang_t* lang);

// True once ippNewRequest has been found in the library.
extern bool version1_1;
void checkVersion1_1();

// Prepares the library for the printing operations: hands it the password
// callback and checks its version, once; a failure leaves it to be done again.
void initialise();

// Whether the printing system library can be used; other failures than a
// missing library pass to the caller.
bool isAvailable();

// The password callback: no password is ever given.
const char* getPassword(const char* prompt);

// Reports on log that printing is switched off, and why.
void logNotFound(plat::LogWriter& log, const char* reason);

// Whether the product's printer backend is installed as it must be: a
// regular file owned by root, executable by its owner only. Never throws.
bool backendInstalled();
bool backendInstalled(const char* path);
extern const char* const backendPath;

// The log writer "CupsApi" of the printing glue.
plat::LogWriter& apiLog();

} // namespace cups
