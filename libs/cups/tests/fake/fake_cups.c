/* A tiny stand-in for the printing library, loaded as libcups.so.2 by the
 * fallback tests. See FakeCups.h. */
#include "FakeCups.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

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

/* The PPD records, laid out as the library lays them out (and as
 * libs/cups/CupsTypes.h declares them). */
typedef struct {
  char name[41];
  char spec[41];
  char text[81];
  char* value;
} ppd_attr_t;

typedef struct ppd_file_s {
  int languageLevel, colorDevice, variableSizes, accurateScreens, contoneOnly, landscape,
      modelNumber, manualCopies, throughput, colorspace;
  char* patches;
  int numEmulations;
  void* emulations;
  char *jclBegin, *jclPs, *jclEnd, *langEncoding, *langVersion, *modelname, *ttrasterizer,
      *manufacturer, *product, *nickname, *shortnickname;
  int numGroups;
  void* groups;
  int numSizes;
  void* sizes;
  float customMin[2], customMax[2], customMargins[4];
  int numConsts;
  void* consts;
  int numFonts;
  char** fonts;
  int numProfiles;
  void* profiles;
  int num_filters;
  char** filters;
  int flipDuplex;
  char *protocols, *pcfilename;
  int num_attrs;
  int cur_attr;
  ppd_attr_t** attrs;
  void *sortedAttrs, *options, *coptions, *marked, *cupsUiconsts, *cache;
} ppd_file_t;

/* The reader's status codes; the numbers are the fake's own. */
enum {
  PPD_OK,
  PPD_FILE_OPEN_ERROR,
  PPD_ALLOC_ERROR,
  PPD_MISSING_PPDADOBE4,
  PPD_ILLEGAL_CHARACTER,
  PPD_MISSING_ASTERISK,
  PPD_ILLEGAL_MAIN_KEYWORD,
  PPD_ILLEGAL_OPTION_KEYWORD,
  PPD_ILLEGAL_TRANSLATION,
  PPD_MISSING_VALUE,
  PPD_BAD_VALUE,
  PPD_TOO_LARGE
};

static const char* const ppdErrors[] = {"OK",
                                        "Unable to open PPD file",
                                        "Unable to allocate memory",
                                        "Missing PPD-Adobe-4.x header",
                                        "Illegal control character",
                                        "Missing asterisk in column 1",
                                        "Illegal main keyword string",
                                        "Illegal option keyword string",
                                        "Illegal translation string",
                                        "Missing value string",
                                        "Missing closing quote",
                                        "File too large"};

/* What the reader takes in at most: a larger file, or one with more
 * attributes, is refused rather than read in part. */
#define PPD_MAX_FILE (16 * 1024 * 1024)
#define PPD_MAX_ATTRS 16384

static int ppdError, ppdErrorLine;

void ppdClose(ppd_file_t* ppd) {
  if (!ppd)
    return;
  for (int i = 0; i < ppd->num_attrs; i++) {
    free(ppd->attrs[i]->value);
    free(ppd->attrs[i]);
  }
  free(ppd->attrs);
  for (int i = 0; i < ppd->num_filters; i++)
    free(ppd->filters[i]);
  free(ppd->filters);
  free(ppd);
}

/* The file's bytes, without Ctrl-Z (which the reader drops wherever it
 * stands) and NUL-terminated, or NULL with ppdError set. */
static char* readPpd(const char* path, size_t* length) {
  FILE* f = fopen(path, "rb");
  if (!f) {
    ppdError = PPD_FILE_OPEN_ERROR;
    return NULL;
  }
  size_t size = 0, capacity = 65536;
  char* text = malloc(capacity);
  int c;
  while (text && (c = getc(f)) != EOF) {
    if (c == 0x1a)
      continue;
    if (size + 1 == capacity) {
      char* bigger = capacity >= PPD_MAX_FILE ? NULL : realloc(text, capacity * 2);
      if (!bigger) {
        ppdError = capacity >= PPD_MAX_FILE ? PPD_TOO_LARGE : PPD_ALLOC_ERROR;
        free(text);
        text = NULL;
        break;
      }
      text = bigger;
      capacity *= 2;
    }
    text[size++] = (char)c;
  }
  fclose(f);
  if (!text) {
    if (ppdError == PPD_OK)
      ppdError = PPD_ALLOC_ERROR;
    return NULL;
  }
  text[size] = '\0';
  *length = size;
  return text;
}

static int isLineEnd(char c) {
  return c == '\n' || c == '\r';
}

static int isSpace(char c) {
  return c == ' ' || c == '\t';
}

/* Copies the n bytes at from into a field of size bytes, NUL-terminated; 0
 * when they do not fit. */
static int copyField(char* field, size_t size, const char* from, size_t n) {
  if (n >= size)
    return 0;
  memcpy(field, from, n);
  field[n] = '\0';
  return 1;
}

static char* copyText(const char* from, size_t n) {
  char* copy = malloc(n + 1);
  if (copy) {
    memcpy(copy, from, n);
    copy[n] = '\0';
  }
  return copy;
}

/* Appends to the attribute and the filter lists; 0 when memory runs out. */
static int pushAttr(ppd_file_t* ppd, ppd_attr_t* attr) {
  ppd_attr_t** bigger = realloc(ppd->attrs, sizeof(*bigger) * (size_t)(ppd->num_attrs + 1));
  if (!bigger)
    return 0;
  bigger[ppd->num_attrs++] = attr;
  ppd->attrs = bigger;
  return 1;
}

static int pushFilter(ppd_file_t* ppd, char* filter) {
  char** bigger = realloc(ppd->filters, sizeof(*bigger) * (size_t)(ppd->num_filters + 1));
  if (!bigger)
    return 0;
  bigger[ppd->num_filters++] = filter;
  ppd->filters = bigger;
  return 1;
}

/* A very small reading of a PPD: after the "*PPD-Adobe:" line, each line
 * "*Keyword[ Option[/Text]]: value" becomes an attribute, in the order of
 * the file; a quoted value (which may go on over lines) is kept without its
 * quotes, another without trailing blanks. "*%" comments, "*End" and lines
 * without a value are skipped, blank lines too; any other line must begin
 * with "*". The values of "cupsFilter" lines go to the filter list as well.
 * Nothing else of the record is filled in. */
ppd_file_t* ppdOpenFile(const char* path) {
  ppdError = PPD_OK;
  ppdErrorLine = 0;
  size_t length = 0;
  char* text = path ? readPpd(path, &length) : NULL;
  if (!text) {
    if (ppdError == PPD_OK)
      ppdError = PPD_FILE_OPEN_ERROR;
    return NULL;
  }
  ppd_file_t* ppd = calloc(1, sizeof(ppd_file_t));
  if (!ppd) {
    free(text);
    ppdError = PPD_ALLOC_ERROR;
    return NULL;
  }
  ppd->languageLevel = 2;
  ppd->cur_attr = -1;
  static const char magic[] = "*PPD-Adobe:";
  int line = 1, status = PPD_OK;
  if (length < sizeof(magic) - 1 || memcmp(text, magic, sizeof(magic) - 1) != 0)
    status = PPD_MISSING_PPDADOBE4;
  size_t at = 0;
  /* The header line is not kept as an attribute. */
  while (at < length && !isLineEnd(text[at]))
    at++;
  while (status == PPD_OK && at < length) {
    /* At a line end: past it ("\r\n" is one), to the next line. */
    if (text[at] == '\r' && at + 1 < length && text[at + 1] == '\n')
      at++;
    at++;
    line++;
    size_t start = at, end = at;
    while (end < length && !isLineEnd(text[end]))
      end++;
    at = end;
    for (size_t i = start; i < end; i++) {
      unsigned char c = (unsigned char)text[i];
      if ((c < 0x20 && c != '\t' && c != '\f') || c == 0x7f) {
        status = PPD_ILLEGAL_CHARACTER;
        break;
      }
    }
    if (status != PPD_OK)
      break;
    size_t first = start;
    while (first < end && (isSpace(text[first]) || text[first] == '\f'))
      first++;
    if (first == end)
      continue;
    if (text[start] != '*') {
      status = PPD_MISSING_ASTERISK;
      break;
    }
    if (end - start >= 2 && text[start + 1] == '%')
      continue;
    /* The keyword, up to a blank or ":". */
    size_t key = start + 1, p = key;
    while (p < end && !isSpace(text[p]) && text[p] != ':')
      p++;
    size_t keyEnd = p;
    /* The option and its translation, up to ":". */
    size_t opt = p, optEnd = p, tr = p, trEnd = p;
    while (p < end && isSpace(text[p]))
      p++;
    if (p < end && text[p] != ':') {
      opt = p;
      while (p < end && text[p] != ':' && text[p] != '/')
        p++;
      optEnd = p;
      while (optEnd > opt && isSpace(text[optEnd - 1]))
        optEnd--;
      if (p < end && text[p] == '/') {
        tr = ++p;
        while (p < end && text[p] != ':')
          p++;
        trEnd = p;
      }
    }
    if (p == end)
      continue; /* no value: "*End", "*OpenGroup" without one and the like */
    if (keyEnd == key) {
      status = PPD_ILLEGAL_MAIN_KEYWORD;
      break;
    }
    /* The value: past the ":" and blanks, quoted or to the end of the line. */
    p++;
    while (p < end && isSpace(text[p]))
      p++;
    size_t value = p, valueEnd = end;
    if (p < end && text[p] == '"') {
      value = p + 1;
      const char* close = memchr(text + value, '"', length - value);
      if (!close) {
        status = PPD_BAD_VALUE;
        break;
      }
      valueEnd = (size_t)(close - text);
      for (size_t i = value; i < valueEnd; i++)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == valueEnd || text[i + 1] != '\n')))
          line++;
      /* The rest of the line after the closing quote is not looked at. */
      at = valueEnd + 1;
      while (at < length && !isLineEnd(text[at]))
        at++;
    } else {
      while (valueEnd > value && isSpace(text[valueEnd - 1]))
        valueEnd--;
      if (valueEnd == value) {
        status = PPD_MISSING_VALUE;
        break;
      }
    }
    if (ppd->num_attrs == PPD_MAX_ATTRS) {
      status = PPD_ALLOC_ERROR;
      break;
    }
    ppd_attr_t* attr = calloc(1, sizeof(ppd_attr_t));
    if (!attr) {
      status = PPD_ALLOC_ERROR;
      break;
    }
    int fits = copyField(attr->name, sizeof(attr->name), text + key, keyEnd - key);
    if (!fits)
      status = PPD_ILLEGAL_MAIN_KEYWORD;
    else if (!copyField(attr->spec, sizeof(attr->spec), text + opt, optEnd - opt))
      status = PPD_ILLEGAL_OPTION_KEYWORD;
    else if (!copyField(attr->text, sizeof(attr->text), text + tr, trEnd - tr))
      status = PPD_ILLEGAL_TRANSLATION;
    else if (!(attr->value = copyText(text + value, valueEnd - value)) || !pushAttr(ppd, attr))
      status = PPD_ALLOC_ERROR;
    if (status != PPD_OK) {
      free(attr->value);
      free(attr);
      break;
    }
    if (strcasecmp(attr->name, "cupsFilter") == 0) {
      char* filter = strdup(attr->value);
      if (!filter || !pushFilter(ppd, filter)) {
        free(filter);
        status = PPD_ALLOC_ERROR;
      }
    }
  }
  free(text);
  if (status != PPD_OK) {
    ppdClose(ppd);
    ppdError = status;
    ppdErrorLine = line;
    return NULL;
  }
  return ppd;
}

int ppdLastError(int* line) {
  if (line)
    *line = ppdErrorLine;
  return ppdError;
}

const char* ppdErrorString(int status) {
  if (status < 0 || (size_t)status >= sizeof(ppdErrors) / sizeof(ppdErrors[0]))
    return "Unknown";
  return ppdErrors[status];
}

/* The attribute with that name (and option, any when spec is NULL), compared
 * without case, from the index "from" on; it becomes the current one. */
static ppd_attr_t* findFrom(ppd_file_t* ppd, int from, const char* name, const char* spec) {
  if (!ppd || !name)
    return NULL;
  for (int i = from < 0 ? 0 : from; i < ppd->num_attrs; i++)
    if (strcasecmp(ppd->attrs[i]->name, name) == 0 &&
        (!spec || strcasecmp(ppd->attrs[i]->spec, spec) == 0)) {
      ppd->cur_attr = i;
      return ppd->attrs[i];
    }
  ppd->cur_attr = -1;
  return NULL;
}

ppd_attr_t* ppdFindAttr(ppd_file_t* ppd, const char* name, const char* spec) {
  return findFrom(ppd, 0, name, spec);
}

/* The next one after the current attribute, which must have been found. */
ppd_attr_t* ppdFindNextAttr(ppd_file_t* ppd, const char* name, const char* spec) {
  if (!ppd || ppd->cur_attr < 0)
    return NULL;
  return findFrom(ppd, ppd->cur_attr + 1, name, spec);
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
