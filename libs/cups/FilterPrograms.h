// The programs a PPD's filter value ("cupsFilter", "cupsFilter2") makes the
// print server run, read the way the print server reads the value:
// "source/type cost program" or "source/type destination/type cost program",
// where the program is everything after the cost up to the end of the line,
// blanks included, and "-" runs nothing. A type whose first character is "*"
// stands for any type, so the types say nothing about whether it runs.
#pragma once

#include <string>
#include <vector>

namespace cups {

// The program of each of the two forms that the value fits, the form with
// destination first; empty when it fits neither, and the print server then
// drops the line.
std::vector<std::string> filterPrograms(const char* value);

// Whether the print server would run nothing for the value: it fits a form,
// and every form it fits passes the data on unchanged ("-").
bool filterRunsNothing(const char* value);

} // namespace cups
