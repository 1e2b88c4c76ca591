#include "plat/String.h"

#include "plat/StringUtils.h"

#include <cstring>

namespace plat {

String::String(const char* text) : buf_(strDup(text)) {
}

String::String(const char* text, int count) : buf_(strDup(text, count)) {
}

String::String(const String& other) : buf_(strDup(other.get())) {
}

String& String::operator=(const String& other) {
  if (this != &other)
    buf_.reset(strDup(other.get()));
  return *this;
}

String String::adopt(char* text) {
  String s;
  s.buf_.reset(text);
  return s;
}

int String::length() const {
  return strLen(get());
}

bool String::operator==(const char* other) const {
  if (!buf_ || !other)
    return !buf_ && !other;
  return strcmp(buf_.get(), other) == 0;
}

} // namespace plat
