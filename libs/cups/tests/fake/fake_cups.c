/* A tiny stand-in for the printing library, loaded as libcups.so.2 by the
 * fallback tests. See FakeCups.h. */
#include "FakeCups.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

typedef struct {
  char* name;
  char* value;
} cups_option_t;

typedef struct {
  char* name;
  char* instance;
  int is_default;
  int num_options;
  cups_option_t* options;
} cups_dest_t;

typedef struct cups_lang_s {
  struct cups_lang_s* next;
  int used;
  int encoding;
  char language[16];
} cups_lang_t;

/* An attribute's values are kept joined by ",". */
typedef struct {
  int group, tag, count;
  char name[64];
  char value[512];
  char element[512];
} attr_t;

typedef struct _ipp_s {
  int state;
  unsigned char version[2];
  int operation;
  int requestId;
  int count;
  attr_t attrs[32];
} ipp_t;

typedef const char* (*password_cb)(const char*);

static char requests[16384], saved[4096], printed[4096], connectedTo[256], ppdPath[512];
static attr_t answer[8];
static int answerCount;
static cups_dest_t* dests;
static int destCount, status, noResponse, connectFails, jobId = 5, openConnections, openRequests,
                                                        passwordCallbacks, dummy;
static cups_lang_t lang = {NULL, 1, 0, "de_DE"};

static void append(char* log, size_t size, const char* format, ...) {
  size_t used = strlen(log);
  va_list ap;
  va_start(ap, format);
  vsnprintf(log + used, size - used, format, ap);
  va_end(ap);
}

int cupsAddOption(const char* name, const char* value, int count, cups_option_t** options) {
  for (int i = 0; i < count; i++)
    if (strcasecmp((*options)[i].name, name) == 0) {
      free((*options)[i].value);
      (*options)[i].value = strdup(value);
      return count;
    }
  *options = realloc(*options, sizeof(cups_option_t) * (count + 1));
  (*options)[count].name = strdup(name);
  (*options)[count].value = strdup(value);
  return count + 1;
}

const char* cupsGetOption(const char* name, int count, cups_option_t* options) {
  for (int i = 0; i < count; i++)
    if (strcasecmp(options[i].name, name) == 0)
      return options[i].value;
  return NULL;
}

void cupsFreeOptions(int count, cups_option_t* options) {
  for (int i = 0; i < count; i++) {
    free(options[i].name);
    free(options[i].value);
  }
  free(options);
}

void cupsFreeDests(int count, cups_dest_t* list) {
  for (int i = 0; i < count; i++) {
    free(list[i].name);
    cupsFreeOptions(list[i].num_options, list[i].options);
  }
  free(list);
}

void fake_reset(void) {
  requests[0] = saved[0] = printed[0] = connectedTo[0] = ppdPath[0] = '\0';
  cupsFreeDests(destCount, dests);
  dests = NULL;
  destCount = status = noResponse = connectFails = passwordCallbacks = answerCount = 0;
  jobId = 5;
}

void fake_addDest(const char* name, int isDefault) {
  dests = realloc(dests, sizeof(cups_dest_t) * (destCount + 1));
  memset(&dests[destCount], 0, sizeof(cups_dest_t));
  dests[destCount].name = strdup(name);
  dests[destCount].is_default = isDefault;
  destCount++;
}

void fake_addDestOption(const char* dest, const char* name, const char* value) {
  for (int i = 0; i < destCount; i++)
    if (strcmp(dests[i].name, dest) == 0)
      dests[i].num_options = cupsAddOption(name, value, dests[i].num_options, &dests[i].options);
}

const char* fake_requests(void) {
  return requests;
}
const char* fake_saved(void) {
  return saved;
}
const char* fake_printed(void) {
  return printed;
}
const char* fake_connectedTo(void) {
  return connectedTo;
}
int fake_openConnections(void) {
  return openConnections;
}
int fake_openRequests(void) {
  return openRequests;
}
int fake_passwordCallbacks(void) {
  return passwordCallbacks;
}
void fake_setStatus(int s) {
  status = s;
}
void fake_setNoResponse(int on) {
  noResponse = on;
}
void fake_setConnectFails(int on) {
  connectFails = on;
}
void fake_setJobId(int id) {
  jobId = id;
}
void fake_addAnswer(const char* name, int tag, const char* values) {
  if (answerCount == 8)
    return;
  attr_t* a = &answer[answerCount++];
  memset(a, 0, sizeof(*a));
  a->group = 4;
  a->tag = tag;
  a->count = 1;
  snprintf(a->name, sizeof(a->name), "%s", name);
  snprintf(a->value, sizeof(a->value), "%s", values);
  for (const char* c = values; *c; c++)
    a->count += *c == ',';
}
void fake_setPpd(const char* path) {
  snprintf(ppdPath, sizeof(ppdPath), "%s", path ? path : "");
}

/* The library's own functions. */

ipp_t* ippNew(void) {
  openRequests++;
  ipp_t* ipp = calloc(1, sizeof(ipp_t));
  ipp->version[0] = 1;
  ipp->version[1] = 1;
  return ipp;
}

void ippDelete(ipp_t* ipp) {
  if (ipp)
    openRequests--;
  free(ipp);
}

static attr_t* add(ipp_t* ipp, int group, int tag, const char* name) {
  if (ipp->count == 32)
    return NULL;
  attr_t* a = &ipp->attrs[ipp->count++];
  a->group = group;
  a->tag = tag;
  a->count = 1;
  snprintf(a->name, sizeof(a->name), "%s", name);
  return a;
}

void* ippAddString(ipp_t* ipp, int group, int tag, const char* name, const char* language,
                   const char* value) {
  (void)language;
  attr_t* a = add(ipp, group, tag, name);
  if (a)
    snprintf(a->value, sizeof(a->value), "%s", value ? value : "(null)");
  return a;
}

void* ippAddStrings(ipp_t* ipp, int group, int tag, const char* name, int count,
                    const char* language, const char* const* values) {
  (void)language;
  attr_t* a = add(ipp, group, tag, name);
  if (!a)
    return NULL;
  a->count = count;
  for (int i = 0; i < count; i++)
    append(a->value, sizeof(a->value), "%s%s", i ? "," : "", values[i]);
  return a;
}

void* ippFindAttribute(ipp_t* ipp, const char* name, int tag) {
  for (int i = 0; i < ipp->count; i++)
    if (strcmp(ipp->attrs[i].name, name) == 0 && (tag == 0 || ipp->attrs[i].tag == tag))
      return &ipp->attrs[i];
  return NULL;
}

int ippGetCount(attr_t* a) {
  return a ? a->count : 0;
}

/* Only the text-like tags carry strings; the integer tags (0x21-0x23)
 * carry none. */
const char* ippGetString(attr_t* a, int element, const char** language) {
  if (language)
    *language = NULL;
  if (!a || element < 0 || element >= a->count || (a->tag >= 0x21 && a->tag <= 0x23))
    return NULL;
  const char* start = a->value;
  for (int i = 0; i < element; i++)
    start = strchr(start, ',') + 1;
  size_t n = strcspn(start, ",");
  snprintf(a->element, sizeof(a->element), "%.*s", (int)n, start);
  return a->element;
}

void* ippAddInteger(ipp_t* ipp, int group, int tag, const char* name, int value) {
  attr_t* a = add(ipp, group, tag, name);
  if (a)
    snprintf(a->value, sizeof(a->value), "%d", value);
  return a;
}

void* ippAddBoolean(ipp_t* ipp, int group, const char* name, char value) {
  attr_t* a = add(ipp, group, 0x22, name);
  if (a)
    snprintf(a->value, sizeof(a->value), "%s", value ? "true" : "false");
  return a;
}

const char* ippErrorString(int error) {
  static char text[32];
  snprintf(text, sizeof(text), "fake-error-%04x", error);
  return text;
}

int ippPort(void) {
  return 631;
}

void* httpConnect(const char* host, int port) {
  snprintf(connectedTo, sizeof(connectedTo), "%s:%d", host, port);
  if (connectFails)
    return NULL;
  openConnections++;
  return &dummy;
}

void httpClose(void* http) {
  if (http)
    openConnections--;
}

const char* cupsServer(void) {
  return "/fake/cups.sock";
}

void cupsSetPasswordCB(password_cb cb) {
  (void)cb;
  passwordCallbacks++;
}

int cupsGetDests(cups_dest_t** list) {
  *list = calloc(destCount ? destCount : 1, sizeof(cups_dest_t));
  for (int i = 0; i < destCount; i++) {
    (*list)[i].name = strdup(dests[i].name);
    (*list)[i].is_default = dests[i].is_default;
    for (int j = 0; j < dests[i].num_options; j++)
      (*list)[i].num_options = cupsAddOption(dests[i].options[j].name, dests[i].options[j].value,
                                             (*list)[i].num_options, &(*list)[i].options);
  }
  return destCount;
}

cups_dest_t* cupsGetDest(const char* name, const char* instance, int count, cups_dest_t* list) {
  (void)instance;
  for (int i = 0; i < count; i++)
    if (name ? strcasecmp(list[i].name, name) == 0 : list[i].is_default)
      return &list[i];
  return NULL;
}

void cupsSetDests(int count, cups_dest_t* list) {
  for (int i = 0; i < count; i++) {
    append(saved, sizeof(saved), "%s%s", list[i].name, list[i].is_default ? "*" : "");
    for (int j = 0; j < list[i].num_options; j++)
      append(saved, sizeof(saved), " %s=%s", list[i].options[j].name, list[i].options[j].value);
    append(saved, sizeof(saved), "\n");
  }
}

int cupsPrintFile(const char* printer, const char* file, const char* title, int count,
                  cups_option_t* options) {
  append(printed, sizeof(printed), "%s %s %s", printer, file, title);
  for (int i = 0; i < count; i++)
    append(printed, sizeof(printed), " %s=%s", options[i].name, options[i].value);
  append(printed, sizeof(printed), "\n");
  return jobId;
}

const char* cupsGetPPD(const char* printer) {
  (void)printer;
  return ppdPath[0] ? ppdPath : NULL;
}

ipp_t* cupsDoFileRequest(void* http, ipp_t* request, const char* resource, const char* file) {
  (void)http;
  append(requests, sizeof(requests), "op=%04x id=%d resource=%s file=%s", request->operation,
         request->requestId, resource, file ? file : "(none)");
  for (int i = 0; i < request->count; i++)
    append(requests, sizeof(requests), " %d/%02x %s=%s", request->attrs[i].group,
           request->attrs[i].tag, request->attrs[i].name, request->attrs[i].value);
  append(requests, sizeof(requests), "\n");
  ippDelete(request);
  if (noResponse)
    return NULL;
  ipp_t* response = ippNew();
  response->requestId = status;
  memcpy(response->attrs, answer, sizeof(attr_t) * answerCount);
  response->count = answerCount;
  return response;
}

int cupsLastError(void) {
  return status;
}

cups_lang_t* cupsLangGet(const char* language) {
  (void)language;
  return &lang;
}

const char* cupsLangEncoding(cups_lang_t* l) {
  return l ? "utf-8" : "us-ascii";
}

/* As large as the library's record and all zero: a PPD without filters or
 * attributes. */
typedef struct ppd_file_s {
  char record[368];
} ppd_file_t;

static int ppdError;

ppd_file_t* ppdOpenFile(const char* path) {
  if (access(path, R_OK) != 0) {
    ppdError = 1; /* PPD_FILE_OPEN_ERROR */
    return NULL;
  }
  ppdError = 0;
  return calloc(1, sizeof(ppd_file_t));
}

int ppdLastError(int* line) {
  if (line)
    *line = 0;
  return ppdError;
}

const char* ppdErrorString(int status) {
  return status ? "Unable to open PPD file" : "OK";
}

void ppdClose(ppd_file_t* ppd) {
  free(ppd);
}
float ppdPageWidth(ppd_file_t* ppd, const char* name) {
  (void)ppd;
  (void)name;
  return 595;
}
float ppdPageLength(ppd_file_t* ppd, const char* name) {
  (void)ppd;
  (void)name;
  return 842;
}
