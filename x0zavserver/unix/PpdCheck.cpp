#include "x0zavserver/unix/PpdCheck.h"

#include <cctype>
#include <cstring>
#include <strings.h>

namespace print {

namespace {

bool startsWithNoCase(const std::string& text, const char* prefix) {
  return strncasecmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A filter line's value: "<type> <cost> <program>" ("<source> <destination>
// <cost> <program>" for the second form), quoted, on one line. Only the
// program "-", which runs nothing, is accepted.
bool filterRunsNothing(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == std::string::npos)
    return false;
  size_t open = line.find('"', colon);
  if (open == std::string::npos)
    return false;
  size_t close = line.find('"', open + 1);
  if (close == std::string::npos)
    return false; // a value that goes on past the line is not a plain filter
  std::string value = line.substr(open + 1, close - open - 1);
  while (!value.empty() && isBlank(value.back()))
    value.pop_back();
  if (value.size() < 2 || value.back() != '-' || !isBlank(value[value.size() - 2]))
    return false;
  // The word before the program is the cost, a number.
  size_t end = value.size() - 2;
  while (end > 0 && isBlank(value[end - 1]))
    end--;
  size_t begin = end;
  while (begin > 0 && isdigit(static_cast<unsigned char>(value[begin - 1])))
    begin--;
  return begin < end && begin > 0 && isBlank(value[begin - 1]);
}

// The keyword of a line that begins with "*": up to a blank, ":" or "/".
std::string keywordOf(const std::string& line) {
  size_t end = 1;
  while (end < line.size() && !isBlank(line[end]) && line[end] != ':' && line[end] != '/')
    end++;
  return line.substr(1, end - 1);
}

std::string lineRefusal(const std::string& line) {
  size_t first = 0;
  while (first < line.size() && isBlank(line[first]))
    first++;
  if (first == line.size() || line[first] != '*')
    return std::string();
  std::string text = line.substr(first);
  std::string keyword = keywordOf(text);
  if (startsWithNoCase(keyword, "cupsFilter")) {
    if (filterRunsNothing(text))
      return std::string();
    return "a filter program (*" + keyword + ")";
  }
  // Keywords that name a program or another file for the print server or
  // its drivers; compared without case, since a reader may.
  static const char* const refused[] = {"cupsPreFilter",    "cupsPortMonitor", "Foomatic",
                                        "Include",          "cupsBackend",     "APDialogExtension",
                                        "APPrinterUtility", "APAutoSetupTool"};
  for (const char* prefix : refused)
    if (startsWithNoCase(keyword, prefix))
      return "a program or file for the print server (*" + keyword + ")";
  return std::string();
}

} // namespace

std::string ppdRefusal(const char* data, std::size_t length) {
  if (length > maxPpdSize)
    return "larger than " + std::to_string(maxPpdSize) + " bytes";
  static const char magic[] = "*PPD-Adobe:";
  if (length < sizeof(magic) - 1 || memcmp(data, magic, sizeof(magic) - 1) != 0)
    return "not a PPD file (it must begin with \"*PPD-Adobe:\")";
  // The print server ends a line at a carriage return as well as at a line
  // feed.
  size_t start = 0;
  while (start < length) {
    size_t end = start;
    while (end < length && data[end] != '\n' && data[end] != '\r')
      end++;
    std::string refusal = lineRefusal(std::string(data + start, end - start));
    if (!refusal.empty())
      return "names " + refusal;
    start = end + 1;
  }
  return std::string();
}

} // namespace print
