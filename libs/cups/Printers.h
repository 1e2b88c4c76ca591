// The printer operations of the printing glue: adding and removing the print
// queues of remote viewers' printers, tagging a destination with the
// product's options, and printing PostScript. Every operation goes through
// the bound library, so a missing library throws cups::LoadFailed.
#pragma once

#include "cups/CupsTypes.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace cups {

class Dests;

// The name of a print data format: 0 "PS", 1 "PDF", any other "ZRLE".
const char* formatName(int format);

// Adds the queue, or modifies it when it exists: device "zav:/<format>/<id>",
// idle and accepting jobs, usable only by the user with uid, with the PPD at
// ppdPath (which the printing library reads). True when the printing system
// accepted the request; cupsLastError() then tells why not.
bool addPrinter(const char* name, const char* info, const char* ppdPath, const char* deviceId,
                uid_t uid, int format);
// Removes the queue. True when the printing system accepted the request.
bool deletePrinter(const char* name);

// Whom a queue serves, as the printing system tells it.
struct QueueAccess {
  std::string deviceUri;
  // The users allowed to print on it; empty when nobody is singled out.
  std::vector<std::string> allowedUsers;
};
// Asks the printing system for the queue's device URI and allowed users.
// False when there is no connection or response, or the printing system
// refuses (no such queue); cupsLastError() then tells why.
bool getQueueAccess(const char* name, QueueAccess& access);

// Prints the PostScript file with the printer's own options; throws
// cups::PrintFailed when the printer is unknown or the job is refused.
void printPS(const char* printer, const char* path, const char* title, bool fitToPage);

// Sets the options "zav-id" and "zav-user" (the login name of uid) on dest
// (a record of dests; null does nothing) and saves dests. Throws
// plat::SystemException when uid has no user.
void setZavOptions(Dests& dests, cups_dest_t* dest, const char* id, uid_t uid);

} // namespace cups
