// A list of program names kept for the whole run, filled once and never
// refilled: the names that are not on the search path are dropped when it is
// made. The process-wide list of the desktop's opener programs is made on
// first use.
#pragma once

#include "plat/LogWriter.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace ft {

class CommandList {
public:
  // Keeps each name for which commandIsUnavailable answers false.
  CommandList(std::initializer_list<const char*> names);

  // True when no directory of "PATH" holds an executable file of that name;
  // false when "PATH" is not set (the command is taken as available).
  static bool commandIsUnavailable(const char* name);

  // "xdg-open", then "gnome-open", as found on the first call.
  static const CommandList& openers();

  // The log writer "DownloadsUI", which the downloads window and the
  // opening of downloads share.
  static plat::LogWriter& log();

  const std::vector<std::string>& names() const { return names_; }
  bool empty() const { return names_.empty(); }

private:
  std::vector<std::string> names_;
};

} // namespace ft
