#include "x0zavserver/unix/PpdCheck.h"

#include "cups/CupsApi.h"
#include "cups/FilterPrograms.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <strings.h>
#include <vector>

namespace print {

namespace {

// What a keyword is to the print server, compared without case as its
// reader's look-ups compare.
enum class KeywordKind { Harmless, Filter, Filter2, OtherFilter, Refused };

KeywordKind keywordKind(const char* keyword) {
  if (strcasecmp(keyword, "cupsFilter") == 0)
    return KeywordKind::Filter;
  if (strcasecmp(keyword, "cupsFilter2") == 0)
    return KeywordKind::Filter2;
  if (strncasecmp(keyword, "cupsFilter", strlen("cupsFilter")) == 0)
    return KeywordKind::OtherFilter;
  // Keywords that name a program or another file for the print server, its
  // filters and drivers, or the desktop's printing tools: each as a prefix,
  // so that the variants a driver family uses are refused with it.
  static const char* const refused[] = {"cupsPreFilter",     "cupsPortMonitor",
                                        "cupsBackend",       "cupsICCProfile",
                                        "Foomatic",          "Include",
                                        "APDialogExtension", "APPrinterUtility",
                                        "APAutoSetupTool",   "APPrinterLowInkTool",
                                        "APPrinterIconPath", "APScanAppPath",
                                        "APScanAppBundleID", "APHelpBook",
                                        "APICADriver",       "APCustomColorMatchingProfile"};
  for (const char* prefix : refused)
    if (strncasecmp(keyword, prefix, strlen(prefix)) == 0)
      return KeywordKind::Refused;
  return KeywordKind::Harmless;
}

std::string filterRefusal(const char* keyword) {
  return std::string("a filter program (*") + keyword + ")";
}

std::string programRefusal(const char* keyword) {
  return std::string("a program or file for the print server (*") + keyword + ")";
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A filter line's value, quoted on one line: "<type> <cost> <program>", or
// "<source> <destination> <cost> <program>" for the second form. The reader
// takes everything after the cost as the program, blanks included, so only
// the exact form whose program is the single word "-", which runs nothing,
// is accepted.
bool quotedFilterRunsNothing(const std::string& line, std::size_t words) {
  size_t colon = line.find(':');
  if (colon == std::string::npos)
    return false;
  size_t open = line.find('"', colon);
  if (open == std::string::npos)
    return false;
  size_t close = line.find('"', open + 1);
  if (close == std::string::npos)
    return false; // a value that goes on past the line is not a plain filter
  std::vector<std::string> value;
  size_t at = open + 1;
  while (at < close) {
    if (isBlank(line[at])) {
      at++;
      continue;
    }
    size_t end = at;
    while (end < close && !isBlank(line[end]))
      end++;
    value.push_back(line.substr(at, end - at));
    at = end;
  }
  if (value.size() != words || value.back() != "-")
    return false;
  const std::string& cost = value[words - 2];
  return std::all_of(cost.begin(), cost.end(),
                     [](char c) { return isdigit(static_cast<unsigned char>(c)) != 0; });
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
  KeywordKind kind = keywordKind(keyword.c_str());
  switch (kind) {
  case KeywordKind::Filter:
  case KeywordKind::Filter2:
    if (quotedFilterRunsNothing(text, kind == KeywordKind::Filter2 ? 4 : 3))
      return std::string();
    return filterRefusal(keyword.c_str());
  case KeywordKind::OtherFilter:
    return filterRefusal(keyword.c_str());
  case KeywordKind::Refused:
    return programRefusal(keyword.c_str());
  case KeywordKind::Harmless:
    break;
  }
  return std::string();
}

} // namespace

std::string ppdRefusal(const char* data, std::size_t length) {
  if (length > maxPpdSize)
    return "larger than " + std::to_string(maxPpdSize) + " bytes";
  static const char magic[] = "*PPD-Adobe:";
  if (length < sizeof(magic) - 1 || memcmp(data, magic, sizeof(magic) - 1) != 0)
    return "not a PPD file (it must begin with \"*PPD-Adobe:\")";
  // The print server's reader drops Ctrl-Z wherever it stands, so that
  // "*cups<Ctrl-Z>Filter" is a filter line to it: the lines are checked as
  // the reader sees them. No other control character has a place in a PPD;
  // rather than guess how a reader takes one, the file is refused.
  std::string text;
  text.reserve(length);
  for (size_t i = 0; i < length; i++) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == 0x1a)
      continue;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') {
      char code[8];
      snprintf(code, sizeof code, "0x%02X", c);
      return std::string("holds a control character (") + code + ")";
    }
    text.push_back(static_cast<char>(c));
  }
  // The print server ends a line at a carriage return as well as at a line
  // feed.
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    std::string refusal = lineRefusal(text.substr(start, end - start));
    if (!refusal.empty())
      return "names " + refusal;
    start = end + 1;
  }
  return std::string();
}

std::string ppdReaderRefusal(cups::ppd_file_t* ppd) {
  // Every attribute as the reader keeps it, whatever the line looked like.
  for (int i = 0; i < ppd->num_attrs; i++) {
    const cups::ppd_attr_t* attr = ppd->attrs[i];
    switch (keywordKind(attr->name)) {
    case KeywordKind::Filter:
    case KeywordKind::Filter2:
      if (cups::filterRunsNothing(attr->value))
        break;
      return "names " + filterRefusal(attr->name);
    case KeywordKind::OtherFilter:
      return "names " + filterRefusal(attr->name);
    case KeywordKind::Refused:
      return "names " + programRefusal(attr->name);
    case KeywordKind::Harmless:
      break;
    }
  }
  // The filter list the print server takes its filters from.
  for (int i = 0; i < ppd->num_filters; i++)
    if (!cups::filterRunsNothing(ppd->filters[i]))
      return "names " + filterRefusal("cupsFilter");
  return std::string();
}

std::string ppdReaderRefusal(const char* path) {
  struct Close {
    void operator()(cups::ppd_file_t* ppd) const { cups::ppdClose(ppd); }
  };
  std::unique_ptr<cups::ppd_file_t, Close> ppd(cups::ppdOpenFile(path));
  if (!ppd) {
    int line = 0;
    cups::ppd_status_t status = cups::ppdLastError(&line);
    const char* why = cups::ppdErrorString(status);
    return std::string("the print server cannot read it (") + (why ? why : "unknown error") +
           " on line " + std::to_string(line) + ")";
  }
  return ppdReaderRefusal(ppd.get());
}

} // namespace print
