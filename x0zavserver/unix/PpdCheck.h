// What the co-process accepts as a user's PPD before it hands a copy to the
// print server, which runs as its own user and trusts what a PPD tells it:
// a PPD may name programs for it to run (filters, pre-filters, port
// monitors, driver command lines) or other files to read in. A user's PPD
// may do none of that; a filter line that passes the data on unchanged ("-")
// is the one such line it may hold. A PPD is judged twice, and handed over
// only when both accept it: its text line by line, and what the print
// server's own reader (the printing library's) makes of it, since only that
// reading decides what the print server runs.
#pragma once

#include "cups/CupsTypes.h"

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace print {

// The largest PPD the co-process copies for a user; real drivers' PPDs stay
// far below it.
constexpr std::size_t maxPpdSize = 4 * 1024 * 1024;

// Why the content is refused, or empty when it may be handed over. The
// content must be the PPD as it will be sent (no compression: the text must
// begin with "*PPD-Adobe:"); every line, whether or not the print server
// would take it as a keyword line, is looked at.
std::string ppdRefusal(const char* data, std::size_t length);

// Why the PPD the printing library's reader opened is refused, or empty: a
// filter ("cupsFilter", "cupsFilter2", or in the reader's filter list) whose
// program, split as the print server splits it, is anything but "-", or any
// keyword that names a program or file for the print server.
std::string ppdReaderRefusal(cups::ppd_file_t* ppd);

// The same for the file at path, opened with the printing library's reader;
// a file the reader cannot read is refused too. Throws cups::LoadFailed when
// the library cannot be bound.
std::string ppdReaderRefusal(const char* path);

// Why the installed printing library's PPD records cannot be read here, or
// empty: a small PPD of known content is opened, and its filter list and
// attributes must be where ppd_file_t and ppd_attr_t say and agree with the
// library's own look-ups. Throws cups::LoadFailed.
std::string ppdLayoutRefusal();

// The CPU time and the address space the reader may take in its process,
// and how long that process may take in all. Real drivers' PPDs are read
// within a fraction of the CPU time.
constexpr unsigned ppdReaderCpuSeconds = 5;
constexpr unsigned long ppdReaderMemory = 1024ul * 1024 * 1024;
constexpr unsigned ppdReaderWaitSeconds = 30;

// ppdLayoutRefusal and then ppdReaderRefusal(path), run for the co-process
// in a process of their own with the ids of the user who gave the PPD (uid,
// gid, no other groups, never root again, not open to tracing) and within
// the bounds above: the reader is a large parser of a file the user wrote,
// so it never runs as root, and a PPD that keeps it busy or makes it grow is
// refused rather than holding root's co-process. A process that fails,
// crashes or passes a bound is a refusal too, said in words. path must stay
// readable in the new process (a /proc/self/fd path of a descriptor that
// does not close on fork is). Throws cups::LoadFailed when the library
// cannot be bound.
std::string ppdReaderRefusalAsUser(const char* path, uid_t uid, gid_t gid);

} // namespace print
