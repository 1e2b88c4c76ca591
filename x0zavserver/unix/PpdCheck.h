// What the co-process accepts as a user's PPD before it hands a copy to the
// print server, which runs as its own user and trusts what a PPD tells it:
// a PPD may name programs for it to run (filters, pre-filters, port
// monitors, driver command lines) or other files to read in. A user's PPD
// may do none of that; a filter line that passes the data on unchanged ("-")
// is the one such line it may hold.
#pragma once

#include <cstddef>
#include <string>

namespace print {

// The largest PPD the co-process copies for a user; real drivers' PPDs stay
// far below it.
constexpr std::size_t maxPpdSize = 4 * 1024 * 1024;

// Why the content is refused, or empty when it may be handed over. The
// content must be the PPD as it will be sent (no compression: the text must
// begin with "*PPD-Adobe:"); every line, whether or not the print server
// would take it as a keyword line, is looked at.
std::string ppdRefusal(const char* data, std::size_t length);

} // namespace print
