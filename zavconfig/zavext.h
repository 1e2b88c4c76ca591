// Client side of the X extension "ZAV-EXTENSION" that the virtual X server offers
// on its display: parameters, clipboard, connection queries, connections, status
// values and the loopback stream requests, plus the four events it reports.
// Plain functions over an Xlib display. Texts and lists returned are allocated with
// malloc and belong to the caller (XFree, or freeList for the packed lists).
#pragma once

#include <X11/Xlib.h>

namespace zavext {

// Events, laid out as XAnyEvent followed by the event's own fields.
struct CutTextEvent {
  int type;
  unsigned long serial;
  Bool send_event;
  Display* display;
  Window window;
  Time time;
};

struct SelectionChangeEvent {
  int type;
  unsigned long serial;
  Bool send_event;
  Display* display;
  Window window;
  Atom selection;
};

struct QueryConnectEvent {
  int type;
  unsigned long serial;
  Bool send_event;
  Display* display;
  Window window;
};

struct StatusChangeEvent {
  int type;
  unsigned long serial;
  Bool send_event;
  Display* display;
  Window window;
};

// Event numbers relative to the extension's first event, and their mask bits
// for selectInput.
enum {
  CutTextNotify = 0,
  SelectionChangeNotify = 1,
  QueryConnectNotify = 2,
  StatusChangeNotify = 3
};
enum {
  CutTextMask = 1 << 0,
  SelectionChangeMask = 1 << 1,
  QueryConnectMask = 1 << 2,
  StatusChangeMask = 1 << 3
};

// True with the first event and first error codes when the display has the
// extension.
bool queryExtension(Display* dpy, int* eventBase, int* errorBase);

// The longest text a request carries.
const size_t maxTextLength = 255;

// The reply's success byte. Texts over maxTextLength bytes fail without a
// request.
bool setParam(Display* dpy, const char* nameAndValue);
// value and length are set to null and 0 first; on success the value is a
// NUL-terminated copy, freed with XFree.
bool getParam(Display* dpy, const char* name, char** value, int* length);
// The description (freed with XFree), or null.
char* getParamDesc(Display* dpy, const char* name);
// The parameter names, freed with freeList; null and count 0 on failure.
char** listParams(Display* dpy, int* count);
// Releases a list from listParams or listConnections; null is ignored.
void freeList(char** list);

// Sends the text as the server's clipboard. A text longer than the server can
// take in one request is cut to what fits. True once sent.
bool setServerCutText(Display* dpy, const char* text, int length);
// A viewer's clipboard text: a NUL-terminated copy freed with XFree.
bool getClientCutText(Display* dpy, char** text, int* length);
bool selectInput(Display* dpy, Window window, int mask);

// Connects the server to a listening viewer; the empty text disconnects every
// viewer. The reply's success byte.
bool connect(Display* dpy, const char* hostAndPort);
// The pending query: texts freed with XFree; a time-out of 0 means none pending.
bool getQueryConnect(Display* dpy, char** firstText, char** user, int* timeout, unsigned* id);
bool approveConnect(Display* dpy, unsigned id, unsigned short rights);

// count is the number of connections; the list holds three texts for each
// (user, address+suffix, rights in decimal) and is freed with freeList.
char** listConnections(Display* dpy, int* count);
bool disconnect(Display* dpy, const char* user, const char* addressAndSuffix);
bool setAccess(Display* dpy, const char* user, const char* addressAndSuffix, const char* rights);

// With a name: an array of one entry holding a copy of that status value, or
// null. Without: the name=value texts, ended by a null entry. Either way the
// caller frees entry 0 and then the array with XFree.
char** getStatus(Display* dpy, const char* name);
// The value of one status entry, valid until the next call, or null.
const char* getStatusParam(Display* dpy, const char* name);

bool requestFileTransferStream(Display* dpy, unsigned short port, unsigned cookie);
bool requestChatStream(Display* dpy, unsigned short port, unsigned cookie);

// The server's parameters as XML (freed with XFree), or null.
char* getParamsXml(Display* dpy);
// Asks the server to reload its configuration; false when the server rejected
// the request.
bool reloadConfig(Display* dpy);

} // namespace zavext
