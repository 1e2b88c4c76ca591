#include "cups/FilterPrograms.h"

#include <cstdio>

namespace cups {

std::vector<std::string> filterPrograms(const char* value) {
  std::vector<std::string> programs;
  if (!value)
    return programs;
  // The print server's own formats and field sizes: a field that does not fit
  // ends the match there, as it does for the print server.
  char super[16], type[256], destSuper[16], destType[256], program[1024];
  int cost;
  if (sscanf(value, "%15[^/]/%255s%*[ \t]%15[^/]/%255s%d%*[ \t]%1023[^\n]", super, type, destSuper,
             destType, &cost, program) == 6)
    programs.push_back(program);
  if (sscanf(value, "%15[^/]/%255s%d%*[ \t]%1023[^\n]", super, type, &cost, program) == 4)
    programs.push_back(program);
  return programs;
}

bool filterRunsNothing(const char* value) {
  std::vector<std::string> programs = filterPrograms(value);
  if (programs.empty())
    return false;
  for (const std::string& program : programs)
    if (program != "-")
      return false;
  return true;
}

} // namespace cups
