#include "plat/Exception.h"

#include "plat/StringUtils.h"

#include <cstring>

namespace plat {

Exception::Exception(const char* text) {
  msg_[0] = '\0';
  strAppend(msg_, sizeof(msg_), text, -1);
}

void Exception::setMessageV(const char* format, va_list ap) {
  msg_[0] = '\0';
  strAppendV(msg_, sizeof(msg_), format, ap);
}

void Exception::setMessageF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  setMessageV(format, ap);
  va_end(ap);
}

void Exception::appendF(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  strAppendV(msg_, sizeof(msg_), format, ap);
  va_end(ap);
}

ExceptionFmt::ExceptionFmt(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  setMessageV(format, ap);
  va_end(ap);
}

SystemException::SystemException(const char* text, int err) : Exception(text) {
  setError(err);
}

void SystemException::setError(int err) {
  err_ = err;
  if (str()[0] != '\0')
    appendF(": ");
  appendF("%s (%d)", strerror(err), err);
}

SystemExceptionFmt::SystemExceptionFmt(const char* format, int err, ...) {
  va_list ap;
  va_start(ap, err);
  setMessageV(format, ap);
  va_end(ap);
  setError(err);
}

AssertionFail::AssertionFail(const char* expr, const char* file, int line)
    : expr_(expr), file_(file), line_(line) {
  setMessageF("Assertion '%s' failed at %s:%d", expr, file, line);
}

AssertionFail& AssertionFail::detail(const char* format, ...) {
  appendF(": ");
  va_list ap;
  va_start(ap, format);
  char buf[maxLength + 1] = "";
  strAppendV(buf, sizeof(buf), format, ap);
  va_end(ap);
  appendF("%s", buf);
  return *this;
}

} // namespace plat
