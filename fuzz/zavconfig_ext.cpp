// Feeds arbitrary bytes, as a virtual X server could answer, to the reply
// readers of zavconfig's extension client: reply lengths, text lengths,
// counts and packed lists all come from the bytes. The first byte picks the
// call; the rest is the server's side of the connection, 32-byte replies
// and their data. The client is linked against a small fake of the few Xlib
// calls it uses (below) instead of Xlib, so no display is needed. Whatever
// the replies hold, the client must not read past the data a reply carries
// nor crash; every text it hands out must end where it says.
#include "zavconfig/zavext.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

// Last: it defines min and max as macros.
#include <X11/Xlibint.h>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s\n", what);
    abort();
  }
}

// The server's side: the bytes the client reads, in order.
struct Wire {
  const std::uint8_t* data = nullptr;
  size_t size = 0;
  size_t pos = 0;
  size_t left() const { return size - pos; }
} wire;

// Data announced by the last reply that the client has not read yet.
size_t pendingData = 0;

char requestBuffer[16384];
_XDisplay display;
XExtCodes codes = {1, 140, 90, 160};
Bool (*wireToEvent)(Display*, XEvent*, xEvent*) = nullptr;
int (*errorFilter)(Display*, xError*, XExtCodes*, int*) = nullptr;

void resetDisplay(long bigRequestMax) {
  memset(&display, 0, sizeof(display));
  display.buffer = display.bufptr = requestBuffer;
  display.bufmax = requestBuffer + sizeof(requestBuffer);
  display.max_request_size = 65535;
  display.bigreq_size = bigRequestMax;
}

} // namespace

// The fake Xlib. Requests are only counted: the replies come from the wire
// whatever was asked.
extern "C" {

XExtCodes* XInitExtension(Display*, _Xconst char*) {
  return &codes;
}

Bool (*XESetWireToEvent(Display*, int, Bool (*proc)(Display*, XEvent*, xEvent*)))(Display*, XEvent*,
                                                                                  xEvent*) {
  wireToEvent = proc;
  return nullptr;
}

int (*XESetError(Display*, int,
                 int (*proc)(Display*, xError*, XExtCodes*, int*)))(Display*, xError*, XExtCodes*,
                                                                    int*) {
  errorFilter = proc;
  return nullptr;
}

long XMaxRequestSize(Display* dpy) {
  return dpy->max_request_size;
}

long XExtendedMaxRequestSize(Display* dpy) {
  return dpy->bigreq_size;
}

int XFree(void* data) {
  free(data);
  return 1;
}

void* _XGetRequest(Display* dpy, CARD8 type, size_t len) {
  check(len % 4 == 0 && len <= sizeof(requestBuffer), "bad request size");
  if (dpy->bufptr + len > dpy->bufmax)
    dpy->bufptr = dpy->buffer; // written out
  xReq* req = reinterpret_cast<xReq*>(dpy->bufptr);
  req->reqType = type;
  req->length = CARD16(len / 4);
  dpy->bufptr += len;
  dpy->request++;
  return req;
}

void _XSend(Display* dpy, _Xconst char* data, long size) {
  check(size >= 0, "negative send");
  volatile char sink = 0;
  for (long i = 0; i < size; i += 4096)
    sink = sink + data[i]; // the data must be readable
  if (size > 0)
    sink = sink + data[size - 1];
  dpy->bufptr = dpy->buffer;
}

// A reply whose announced data is not all on the wire stands for a server
// that closed the connection: Xlib then reports failure to this caller.
Status _XReply(Display* dpy, xReply* rep, int extra, Bool discard) {
  check(extra == 0, "extra reply words");
  check(pendingData == 0, "the data of an earlier reply was left unread");
  if (wire.left() < 32)
    return 0;
  memcpy(rep, wire.data + wire.pos, 32);
  wire.pos += 32;
  if (rep->generic.type == X_Error) {
    xError err;
    memcpy(&err, rep, sizeof(err));
    err.sequenceNumber = CARD16(dpy->request);
    int ret = 0;
    if (errorFilter)
      errorFilter(dpy, &err, &codes, &ret);
    return 0;
  }
  size_t data = size_t(rep->generic.length) * 4;
  if (data > wire.left())
    return 0;
  if (discard)
    wire.pos += data;
  else
    pendingData = data;
  return 1;
}

int _XRead(Display*, char* data, long size) {
  check(size >= 0 && size_t(size) <= pendingData, "read past the reply's data");
  memcpy(data, wire.data + wire.pos, size_t(size));
  wire.pos += size_t(size);
  pendingData -= size_t(size);
  return 0;
}

void _XEatDataWords(Display*, unsigned long n) {
  check(n * 4 <= pendingData, "skipped past the reply's data");
  wire.pos += n * 4;
  pendingData -= n * 4;
}

unsigned long _XSetLastRequestRead(Display* dpy, xGenericReply*) {
  return dpy->request;
}

} // extern "C"

namespace {

void checkText(const char* text, int length) {
  if (text)
    check(length >= 0 && strlen(text) <= size_t(length), "text longer than said");
}

void checkList(char** list, int count, int perEntry) {
  if (!list) {
    check(count == 0, "count without a list");
    return;
  }
  size_t total = 0;
  for (int i = 0; i < count * perEntry; i++)
    total += strlen(list[i]);
  (void)total;
  zavext::freeList(list);
}

void runCall(int selector, const std::uint8_t* text, size_t textSize) {
  Display* dpy = &display;
  std::string name(reinterpret_cast<const char*>(text), textSize);
  switch (selector % 14) {
  case 0: {
    char* value = nullptr;
    int length = -1;
    bool ok = zavext::getParam(dpy, "Desktop", &value, &length);
    check(ok == (value != nullptr), "getParam result");
    checkText(value, length);
    XFree(value);
    break;
  }
  case 1:
    XFree(zavext::getParamDesc(dpy, "rfbPort"));
    break;
  case 2: {
    int count = -1;
    checkList(zavext::listParams(dpy, &count), count, 1);
    break;
  }
  case 3: {
    char* value = nullptr;
    int length = -1;
    if (zavext::getClientCutText(dpy, &value, &length))
      checkText(value, length);
    XFree(value);
    break;
  }
  case 4: {
    char* first = nullptr;
    char* user = nullptr;
    int timeout = 0;
    unsigned id = 0;
    zavext::getQueryConnect(dpy, &first, &user, &timeout, &id);
    XFree(first);
    XFree(user);
    break;
  }
  case 5: {
    int count = -1;
    checkList(zavext::listConnections(dpy, &count), count, 3);
    break;
  }
  case 6:
  case 7: {
    char** status = zavext::getStatus(dpy, selector % 14 == 6 ? nullptr : "ip_addrs");
    if (status) {
      for (char** p = status; selector % 14 == 6 && *p; p++)
        (void)strlen(*p);
      free(status[0]);
      XFree(status);
    }
    break;
  }
  case 8:
    zavext::getStatusParam(dpy, name.c_str());
    zavext::getStatusParam(dpy, "");
    break;
  case 9:
    XFree(zavext::getParamsXml(dpy));
    break;
  case 10:
    zavext::setParam(dpy, name.c_str());
    zavext::connect(dpy, name.c_str());
    zavext::disconnect(dpy, name.c_str(), "");
    zavext::setAccess(dpy, "", name.c_str(), "fd");
    break;
  case 11:
    zavext::reloadConfig(dpy);
    zavext::requestFileTransferStream(dpy, 5900, 7);
    zavext::requestChatStream(dpy, 5901, 8);
    break;
  case 12:
    zavext::setServerCutText(dpy, name.data(), int(name.size()));
    zavext::selectInput(dpy, 1, 15);
    zavext::approveConnect(dpy, 3, 0x3ff);
    break;
  case 13:
    // The events, each 32 bytes of the wire.
    while (wire.left() >= 32 && wireToEvent) {
      XEvent event;
      xEvent raw;
      memcpy(&raw, wire.data + wire.pos, sizeof(raw));
      wire.pos += 32;
      wireToEvent(dpy, &event, &raw);
    }
    break;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  // The first byte picks the call, the second the size of the text that
  // some calls send; big requests are offered for large texts.
  size_t textSize = data[1] < size - 2 ? data[1] : size - 2;
  resetDisplay(data[0] & 0x80 ? 4194303 : 0);
  wire = {data + 2 + textSize, size - 2 - textSize, 0};
  pendingData = 0;
  int eventBase = 0, errorBase = 0;
  zavext::queryExtension(&display, &eventBase, &errorBase);
  runCall(data[0] & 0x7f, data + 2, textSize);
  check(pendingData == 0, "reply data left unread");
  return 0;
}
