#include "plat/EnvExpandedString.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cctype>
#include <cstdlib>

static plat::LogWriter vlog("EnvExpandedString");

namespace plat {

namespace {

bool isNameChar(char c) {
  return isalpha(static_cast<unsigned char>(c)) || c == '_';
}

} // namespace

EnvExpandedString::EnvExpandedString(const char* text, const Variables* variables) {
  append("");
  const char* p = text;
  while (*p) {
    if (*p != '$') {
      const char* start = p;
      while (*p && *p != '$')
        p++;
      append(start, static_cast<int>(p - start));
      continue;
    }
    p++;
    std::string name;
    if (*p == '{') {
      p++;
      while (*p && *p != '}')
        name += *p++;
    } else {
      while (isNameChar(*p))
        name += *p++;
    }
    if (name.empty()) {
      // "$" followed by no name, or by an empty pair of braces.
      append("$");
      if (*p == '}' && p[-1] == '{')
        p++;
      continue;
    }
    if (*p == '}')
      p++;
    const char* value = nullptr;
    if (variables) {
      auto it = variables->find(name);
      if (it != variables->end())
        value = it->second.c_str();
    }
    if (!value)
      value = getenv(name.c_str());
    if (!value)
      throw ExceptionFmt("unknown environment variable: %s", name.c_str());
    append(value);
  }
}

} // namespace plat
