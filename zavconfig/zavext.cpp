#include "zavconfig/zavext.h"

#include "plat/LogWriter.h"

#include <X11/Xlibint.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

static plat::LogWriter vlog("ZavExt");

namespace zavext {
namespace {

const char extensionName[] = "ZAV-EXTENSION";
const size_t maxText = maxTextLength;

enum Minor {
  SetParam = 0,
  GetParam = 1,
  GetParamDesc = 2,
  ListParams = 3,
  SetServerCutText = 4,
  GetClientCutText = 5,
  SelectInput = 6,
  Connect = 7,
  GetQueryConnect = 8,
  ApproveConnect = 9,
  ListConnections = 10,
  Disconnect = 11,
  SetAccess = 12,
  GetStatus = 14,
  RequestFileTransferStream = 15,
  RequestChatStream = 16,
  GetParamsXml = 17,
  ReloadConfig = 18,
};

// Wire layouts of the requests; multi-byte fields in the client's byte order.
struct EmptyReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
};
// One to three texts: their lengths in bytes 4-6 (the rest zero), the texts
// back to back after the fixed part.
struct TextsReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
  CARD8 textLengths[4];
};
struct CutTextReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
  CARD32 textLength;
};
struct SelectInputReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
  CARD32 window;
  CARD32 mask;
};
struct ApproveConnectReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
  CARD16 rights;
  CARD16 pad;
  CARD32 id;
};
struct StreamReq {
  CARD8 reqType;
  CARD8 zavReqType;
  CARD16 length;
  CARD16 port;
  CARD16 pad;
  CARD32 cookie;
};
static_assert(sizeof(EmptyReq) == 4 && sizeof(TextsReq) == 8 && sizeof(CutTextReq) == 8 &&
                  sizeof(SelectInputReq) == 12 && sizeof(ApproveConnectReq) == 12 &&
                  sizeof(StreamReq) == 12,
              "request layouts");

// The 32-byte event as it arrives: code, sequence number, fields A and B.
struct WireEvent {
  CARD8 type;
  CARD8 pad;
  CARD16 sequenceNumber;
  CARD32 fieldA;
  CARD32 fieldB;
};

bool initialised = false;
XExtCodes* codes = nullptr;

// Cache of getStatusParam: the last list and its value text.
char** statusCacheList = nullptr;
char* statusCacheValue = nullptr;

// Sequence number of the last request whose BadRequest the error filter took.
bool rejectedSeen = false;
unsigned rejectedSequence = 0;

Bool wireToEvent(Display* dpy, XEvent* event, xEvent* wire) {
  WireEvent w;
  memcpy(&w, wire, sizeof(w));
  XAnyEvent* any = &event->xany;
  any->type = w.type & 0x7f;
  any->serial = _XSetLastRequestRead(dpy, reinterpret_cast<xGenericReply*>(wire));
  any->send_event = (w.type & 0x80) != 0;
  any->display = dpy;
  switch (any->type - codes->first_event) {
  case CutTextNotify: {
    CutTextEvent* e = reinterpret_cast<CutTextEvent*>(event);
    e->window = w.fieldA;
    e->time = w.fieldB;
    break;
  }
  case SelectionChangeNotify: {
    SelectionChangeEvent* e = reinterpret_cast<SelectionChangeEvent*>(event);
    e->window = w.fieldA;
    e->selection = w.fieldB;
    break;
  }
  default:
    any->window = w.fieldA;
    break;
  }
  return True;
}

int errorFilter(Display*, xError* err, XExtCodes* extCodes, int* retCode) {
  if (err->errorCode != BadRequest || err->majorCode != extCodes->major_opcode)
    return False;
  rejectedSeen = true;
  rejectedSequence = err->sequenceNumber;
  *retCode = 0;
  return True;
}

bool init(Display* dpy) {
  if (!initialised) {
    initialised = true;
    codes = XInitExtension(dpy, extensionName);
    if (codes) {
      for (int i = 0; i < 4; i++)
        XESetWireToEvent(dpy, codes->first_event + i, wireToEvent);
      XESetError(dpy, codes->extension, errorFilter);
    } else {
      vlog.debug("display has no %s", extensionName);
    }
  }
  return codes != nullptr;
}

// Reserves the fixed part of a request in the output buffer and fills its
// header; the caller holds the display lock.
template <class Req> Req* startRequest(Display* dpy, Minor minor) {
  Req* req = static_cast<Req*>(_XGetRequest(dpy, codes->major_opcode, sizeof(Req)));
  memset(reinterpret_cast<char*>(req) + sizeof(xReq), 0, sizeof(Req) - sizeof(xReq));
  req->zavReqType = minor;
  return req;
}

// Request length in 4-byte units for a fixed part of 8 bytes and n bytes of data.
CARD16 textRequestLength(size_t n) {
  return 2 + (n + 3) / 4;
}

// Appends variable data padded with zeros to 4 bytes: into the output buffer
// when it fits, else sent on its own (_XSend pads with zeros too).
void sendData(Display* dpy, const char* data, size_t length) {
  if (length == 0)
    return;
  size_t padded = (length + 3) & ~size_t(3);
  if (dpy->bufptr + padded <= dpy->bufmax) {
    memcpy(dpy->bufptr, data, length);
    memset(dpy->bufptr + length, 0, padded - length);
    dpy->bufptr += padded;
  } else {
    _XSend(dpy, data, length);
  }
}

uint32_t replyU32(const xGenericReply& rep, int offset) {
  uint32_t v;
  memcpy(&v, reinterpret_cast<const char*>(&rep) + offset, 4);
  return v;
}

uint16_t replyU16(const xGenericReply& rep, int offset) {
  uint16_t v;
  memcpy(&v, reinterpret_cast<const char*>(&rep) + offset, 2);
  return v;
}

// Waits for the reply to the last request. With discard, extra data is
// skipped; otherwise the caller must consume all of it (readExtra does).
bool waitReply(Display* dpy, xGenericReply* rep, bool discard) {
  return _XReply(dpy, reinterpret_cast<xReply*>(rep), 0, discard ? xTrue : xFalse) != 0;
}

// Reads the whole extra data of the reply into a new buffer one byte longer,
// ending in NUL, and gives its length. The data is always consumed, so the
// next reply starts where it should; on allocation failure it is skipped and
// null returned.
char* readExtra(Display* dpy, const xGenericReply& rep, size_t* length) {
  size_t n = size_t(rep.length) * 4;
  *length = n;
  char* buf = static_cast<char*>(malloc(n + 1));
  if (!buf) {
    _XEatDataWords(dpy, rep.length);
    return nullptr;
  }
  if (n)
    _XRead(dpy, buf, long(n));
  buf[n] = '\0';
  return buf;
}

void finish(Display* dpy) {
  UnlockDisplay(dpy);
  SyncHandle();
}

// Joins texts of at most 255 bytes each into one buffer (owned by the caller);
// null when one is too long.
char* joinTexts(const char* const* texts, size_t* lengths, int count, size_t* total) {
  *total = 0;
  for (int i = 0; i < count; i++) {
    lengths[i] = strlen(texts[i]);
    if (lengths[i] > maxText)
      return nullptr;
    *total += lengths[i];
  }
  char* joined = static_cast<char*>(malloc(*total + 1));
  if (!joined)
    return nullptr;
  size_t pos = 0;
  for (int i = 0; i < count; i++) {
    memcpy(joined + pos, texts[i], lengths[i]);
    pos += lengths[i];
  }
  return joined;
}

// Locks the display and sends a request of count (1 to 3) texts. False,
// with nothing sent and the display not locked, when a text is longer than
// 255 bytes.
bool sendTextRequest(Display* dpy, Minor minor, const char* const* texts, int count) {
  size_t lengths[3];
  size_t total;
  char* joined = joinTexts(texts, lengths, count, &total);
  if (!joined)
    return false;
  LockDisplay(dpy);
  TextsReq* req = startRequest<TextsReq>(dpy, minor);
  for (int i = 0; i < count; i++)
    req->textLengths[i] = CARD8(lengths[i]);
  req->length = textRequestLength(total);
  sendData(dpy, joined, total);
  free(joined);
  return true;
}

// A request made of count texts whose reply carries only the success byte.
bool textRequestWithStatus(Display* dpy, Minor minor, const char* const* texts, int count) {
  if (!init(dpy) || !sendTextRequest(dpy, minor, texts, count))
    return false;
  xGenericReply rep;
  bool ok = waitReply(dpy, &rep, true) && rep.data1 != 0;
  finish(dpy);
  return ok;
}

// Waits for a reply that carries the success byte and a text (its length in
// bytes 8-11) and reads it whole. The text is a NUL-terminated buffer for
// XFree; null on failure (with ignoreStatus the success byte is not looked
// at). A text longer than an int can count fails rather than giving the
// caller a negative length. The display is unlocked afterwards.
char* readTextReply(Display* dpy, bool ignoreStatus, int* textLength) {
  char* result = nullptr;
  xGenericReply rep;
  if (waitReply(dpy, &rep, false)) {
    size_t extra;
    char* buf = readExtra(dpy, rep, &extra);
    uint32_t length = replyU32(rep, 8);
    if (buf && (ignoreStatus || rep.data1 != 0) && length <= extra && length <= uint32_t(INT_MAX)) {
      buf[length] = '\0';
      result = buf;
      if (textLength)
        *textLength = int(length);
    } else {
      free(buf);
    }
  }
  finish(dpy);
  return result;
}

// A request made of one text of at most 255 bytes whose reply carries the
// success byte and a text.
char* textRequestWithText(Display* dpy, Minor minor, const char* text, int* textLength) {
  if (!init(dpy) || !sendTextRequest(dpy, minor, &text, 1))
    return nullptr;
  return readTextReply(dpy, false, textLength);
}

// A request without fields whose reply carries the success byte and a text;
// with ignoreStatus the success byte is not looked at.
char* emptyRequestWithText(Display* dpy, Minor minor, bool ignoreStatus, int* textLength) {
  if (!init(dpy))
    return nullptr;
  LockDisplay(dpy);
  startRequest<EmptyReq>(dpy, minor);
  return readTextReply(dpy, ignoreStatus, textLength);
}

// Reads a reply of packed texts (a length byte, then the bytes) into a
// list of `entries` texts that all share one buffer, which starts one byte
// before entry 0; each text ends in place where the next length byte was. Every walk is bounded by
// the data really present; a reply whose texts run past its data fails. Null on failure.
char** readPackedList(Display* dpy, const xGenericReply& rep, size_t entries) {
  size_t n = size_t(rep.length) * 4;
  char** list = static_cast<char**>(malloc((entries ? entries : 1) * sizeof(char*)));
  char* buf = static_cast<char*>(malloc(n + 1));
  if (!list || !buf) {
    free(list);
    free(buf);
    _XEatDataWords(dpy, rep.length);
    return nullptr;
  }
  if (n)
    _XRead(dpy, buf, long(n));
  buf[n] = '\0';
  list[0] = buf + 1;
  size_t pos = 0;
  for (size_t i = 0; i < entries; i++) {
    if (pos >= n || pos + 1 + size_t(static_cast<unsigned char>(buf[pos])) > n) {
      vlog.status("list reply of %zu bytes is too short for %zu texts", n, entries);
      free(buf);
      free(list);
      return nullptr;
    }
    // The length byte, once read, becomes the end of the previous text.
    size_t length = static_cast<unsigned char>(buf[pos]);
    buf[pos] = '\0';
    list[i] = buf + pos + 1;
    pos += 1 + length;
  }
  buf[pos] = '\0';
  return list;
}

char** packedListRequest(Display* dpy, Minor minor, int perEntry, int* count) {
  *count = 0;
  if (!init(dpy))
    return nullptr;
  LockDisplay(dpy);
  startRequest<EmptyReq>(dpy, minor);
  char** list = nullptr;
  xGenericReply rep;
  if (waitReply(dpy, &rep, false)) {
    uint16_t number = replyU16(rep, 8);
    list = readPackedList(dpy, rep, size_t(number) * perEntry);
    if (list)
      *count = number;
  }
  finish(dpy);
  return list;
}

bool streamRequest(Display* dpy, Minor minor, unsigned short port, unsigned cookie) {
  if (!init(dpy))
    return false;
  LockDisplay(dpy);
  StreamReq* req = startRequest<StreamReq>(dpy, minor);
  req->port = port;
  req->cookie = cookie;
  xGenericReply rep;
  bool ok = waitReply(dpy, &rep, true) && rep.data1 != 0;
  finish(dpy);
  return ok;
}

} // namespace

bool queryExtension(Display* dpy, int* eventBase, int* errorBase) {
  if (!init(dpy))
    return false;
  *eventBase = codes->first_event;
  *errorBase = codes->first_error;
  return true;
}

bool setParam(Display* dpy, const char* nameAndValue) {
  return textRequestWithStatus(dpy, SetParam, &nameAndValue, 1);
}

bool getParam(Display* dpy, const char* name, char** value, int* length) {
  *value = nullptr;
  *length = 0;
  *value = textRequestWithText(dpy, GetParam, name, length);
  return *value != nullptr;
}

char* getParamDesc(Display* dpy, const char* name) {
  return textRequestWithText(dpy, GetParamDesc, name, nullptr);
}

char** listParams(Display* dpy, int* count) {
  return packedListRequest(dpy, ListParams, 1, count);
}

void freeList(char** list) {
  if (!list)
    return;
  free(list[0] - 1);
  free(list);
}

bool setServerCutText(Display* dpy, const char* text, int length) {
  if (!init(dpy))
    return false;
  size_t n = length > 0 ? size_t(length) : 0;
  // The request length must count every byte sent, so the text is cut to
  // what one request can carry: with BIG-REQUESTS the 32-bit length field
  // (one extra header word), else the 16-bit one.
  long bigMax = XExtendedMaxRequestSize(dpy);
  size_t maxWords = bigMax > 0 ? size_t(bigMax) - 3 : size_t(XMaxRequestSize(dpy)) - 2;
  if (n > maxWords * 4) {
    vlog.status("clipboard text of %zu bytes cut to %zu", n, maxWords * 4);
    n = maxWords * 4;
  }
  size_t words = (n + 3) / 4;
  LockDisplay(dpy);
  if (2 + words > 65535) {
    // Big-request form: a zero length, the 32-bit length, then the fields.
    CARD32* req = static_cast<CARD32*>(_XGetRequest(dpy, codes->major_opcode, 12));
    reinterpret_cast<EmptyReq*>(req)->zavReqType = SetServerCutText;
    reinterpret_cast<EmptyReq*>(req)->length = 0;
    req[1] = CARD32(3 + words);
    req[2] = CARD32(n);
  } else {
    CutTextReq* req = startRequest<CutTextReq>(dpy, SetServerCutText);
    req->textLength = CARD32(n);
    req->length = CARD16(2 + words);
  }
  sendData(dpy, text, n);
  finish(dpy);
  return true;
}

bool getClientCutText(Display* dpy, char** text, int* length) {
  *text = emptyRequestWithText(dpy, GetClientCutText, true, length);
  return *text != nullptr;
}

bool selectInput(Display* dpy, Window window, int mask) {
  if (!init(dpy))
    return false;
  LockDisplay(dpy);
  SelectInputReq* req = startRequest<SelectInputReq>(dpy, SelectInput);
  req->window = CARD32(window);
  req->mask = CARD32(mask);
  finish(dpy);
  return true;
}

bool connect(Display* dpy, const char* hostAndPort) {
  return textRequestWithStatus(dpy, Connect, &hostAndPort, 1);
}

bool getQueryConnect(Display* dpy, char** firstText, char** user, int* timeout, unsigned* id) {
  *firstText = nullptr;
  *user = nullptr;
  if (!init(dpy))
    return false;
  LockDisplay(dpy);
  startRequest<EmptyReq>(dpy, GetQueryConnect);
  bool ok = false;
  xGenericReply rep;
  if (waitReply(dpy, &rep, false)) {
    size_t extra;
    char* buf = readExtra(dpy, rep, &extra);
    uint64_t firstLength = replyU32(rep, 8);
    uint64_t userLength = replyU32(rep, 12);
    uint64_t userOffset = (firstLength + 3) & ~uint64_t(3);
    if (buf && userOffset + userLength <= extra) {
      char* first = static_cast<char*>(malloc(firstLength + 1));
      char* name = static_cast<char*>(malloc(userLength + 1));
      if (first && name) {
        memcpy(first, buf, firstLength);
        first[firstLength] = '\0';
        memcpy(name, buf + userOffset, userLength);
        name[userLength] = '\0';
        *firstText = first;
        *user = name;
        // The count-down counts whole seconds in an int.
        uint32_t seconds = replyU32(rep, 16);
        *timeout = seconds > uint32_t(INT_MAX) ? INT_MAX : int(seconds);
        *id = replyU32(rep, 20);
        ok = true;
      } else {
        free(first);
        free(name);
      }
    }
    free(buf);
  }
  finish(dpy);
  return ok;
}

bool approveConnect(Display* dpy, unsigned id, unsigned short rights) {
  if (!init(dpy))
    return false;
  LockDisplay(dpy);
  ApproveConnectReq* req = startRequest<ApproveConnectReq>(dpy, ApproveConnect);
  req->rights = rights;
  req->id = id;
  finish(dpy);
  return true;
}

char** listConnections(Display* dpy, int* count) {
  return packedListRequest(dpy, ListConnections, 3, count);
}

bool disconnect(Display* dpy, const char* user, const char* addressAndSuffix) {
  const char* texts[] = {user, addressAndSuffix};
  return textRequestWithStatus(dpy, Disconnect, texts, 2);
}

bool setAccess(Display* dpy, const char* user, const char* addressAndSuffix, const char* rights) {
  const char* texts[] = {user, addressAndSuffix, rights};
  return textRequestWithStatus(dpy, SetAccess, texts, 3);
}

char** getStatus(Display* dpy, const char* name) {
  if (!init(dpy))
    return nullptr;
  LockDisplay(dpy);
  startRequest<EmptyReq>(dpy, GetStatus);
  char* buf = nullptr;
  size_t extra = 0;
  xGenericReply rep;
  if (waitReply(dpy, &rep, false)) {
    buf = readExtra(dpy, rep, &extra);
    if (buf && rep.data1 == 0) {
      free(buf);
      buf = nullptr;
    }
  }
  finish(dpy);
  if (!buf)
    return nullptr;

  // The walk stops at the number of texts, at the bytes in use and at the
  // data really present; buf[extra] is NUL, so no text runs past the buffer.
  size_t texts = replyU16(rep, 10);
  size_t used = replyU16(rep, 8);
  size_t end = used < extra ? used : extra;
  if (name) {
    size_t nameLength = strlen(name);
    char** result = nullptr;
    size_t pos = 0;
    for (size_t i = 0; i < texts && pos < end; i++) {
      const char* text = buf + pos;
      size_t length = strlen(text);
      if (strncmp(text, name, nameLength) == 0 && text[nameLength] == '=') {
        result = static_cast<char**>(malloc(sizeof(char*)));
        char* value = strdup(text + nameLength + 1);
        if (result && value) {
          result[0] = value;
        } else {
          free(result);
          free(value);
          result = nullptr;
        }
        break;
      }
      pos += length + 1;
    }
    free(buf);
    return result;
  }
  char** list = static_cast<char**>(malloc((texts + 1) * sizeof(char*)));
  if (!list) {
    free(buf);
    return nullptr;
  }
  size_t filled = 0;
  size_t pos = 0;
  while (filled < texts && pos < end) {
    list[filled++] = buf + pos;
    pos += strlen(buf + pos) + 1;
  }
  list[filled] = nullptr;
  // Entry 0 is the buffer start; with no entry the buffer has no owner left.
  if (filled == 0)
    free(buf);
  return list;
}

const char* getStatusParam(Display* dpy, const char* name) {
  if (statusCacheList) {
    free(statusCacheValue);
    free(statusCacheList);
    statusCacheList = nullptr;
    statusCacheValue = nullptr;
  }
  statusCacheList = getStatus(dpy, name);
  if (statusCacheList)
    statusCacheValue = statusCacheList[0];
  return statusCacheValue;
}

bool requestFileTransferStream(Display* dpy, unsigned short port, unsigned cookie) {
  return streamRequest(dpy, RequestFileTransferStream, port, cookie);
}

bool requestChatStream(Display* dpy, unsigned short port, unsigned cookie) {
  return streamRequest(dpy, RequestChatStream, port, cookie);
}

char* getParamsXml(Display* dpy) {
  return emptyRequestWithText(dpy, GetParamsXml, false, nullptr);
}

bool reloadConfig(Display* dpy) {
  if (!init(dpy))
    return false;
  LockDisplay(dpy);
  startRequest<EmptyReq>(dpy, ReloadConfig);
  unsigned sequence = unsigned(dpy->request) & 0xffff;
  rejectedSeen = false;
  // The request has no reply: a round trip makes sure it left and brings
  // back the error when the server rejected it.
  _XGetRequest(dpy, X_GetInputFocus, sizeof(xReq));
  xGetInputFocusReply rep;
  _XReply(dpy, reinterpret_cast<xReply*>(&rep), 0, xTrue);
  bool rejected = rejectedSeen && rejectedSequence == sequence;
  finish(dpy);
  return !rejected;
}

} // namespace zavext
