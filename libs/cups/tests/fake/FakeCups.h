/* The control side of the tiny stand-in printing library that the fallback
 * tests load as libcups.so.2. It lacks ippNewRequest, httpAssembleURI,
 * cupsDoRequest and cupsLastErrorString, so the glue's fallbacks run; it
 * records what it is asked and answers what the test sets up. Its PPD reader
 * fills in only the attributes and the filter list of the library's record. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

void fake_reset(void);
void fake_addDest(const char* name, int isDefault);
void fake_addDestOption(const char* dest, const char* name, const char* value);
/* Every request sent, one line each: "op=%04x id=%d resource=%s file=%s" and
 * " %d/%02x %s=%s" per attribute (group, value tag, name, value). */
const char* fake_requests(void);
/* The lists stored with cupsSetDests, one line each: "name*" for the default,
 * then " option=value" per option. */
const char* fake_saved(void);
/* The jobs printed: "printer file title" and " option=value" per option. */
const char* fake_printed(void);
/* The host and port of the last connection, and how many are still open. */
const char* fake_connectedTo(void);
int fake_openConnections(void);
int fake_openRequests(void);
int fake_passwordCallbacks(void);
void fake_setStatus(int status);
void fake_setNoResponse(int on);
void fake_setConnectFails(int on);
void fake_setJobId(int id);
void fake_setPpd(const char* path);
/* An attribute of the printer group in every later response; values joined
 * by ",". */
void fake_addAnswer(const char* name, int tag, const char* values);

#ifdef __cplusplus
}
#endif
