// The exception family of the system. Every failure is thrown as a value of
// plat::Exception or a kind derived from it, and caught by reference where it
// can be reported or the operation abandoned. Exceptions are plain values
// without virtual operations holding one message of at most 255 characters
// (longer text is cut).
#pragma once

#include <cstdarg>

namespace plat {

class Exception {
public:
  explicit Exception(const char* text);
  const char* str() const { return msg_; }

  static constexpr int maxLength = 255;

protected:
  Exception() { msg_[0] = '\0'; }
  // Replaces the message with printf-formatted text, bounded at 255 characters.
  void setMessageV(const char* format, va_list ap);
  void setMessageF(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Appends printf-formatted text to the message, bounded.
  void appendF(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
  char msg_[maxLength + 1];
};

// A plat::Exception whose message is printf-formatted.
class ExceptionFmt : public Exception {
public:
  explicit ExceptionFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));

protected:
  ExceptionFmt() = default;
};

// A failed system call: the text, ": ", the system's error text, " (", the
// error number and ")".
class SystemException : public Exception {
public:
  SystemException(const char* text, int err);
  int getErrno() const { return err_; }

protected:
  SystemException() = default;
  void setError(int err);

private:
  int err_ = 0;
};

// A plat::SystemException whose leading text is printf-formatted, as in
// "fileOpen(%s)".
class SystemExceptionFmt : public SystemException {
public:
  SystemExceptionFmt(const char* format, int err, ...);
};

// A failed internal check: "Assertion '%s' failed at %s:%d", optionally
// followed by ": " and a detail. Most checks are fatal (see Assert.h); some
// are thrown to the caller.
class AssertionFail : public Exception {
public:
  AssertionFail(const char* expr, const char* file, int line);
  // Appends ": " and the printf-formatted detail.
  AssertionFail& detail(const char* format, ...) __attribute__((format(printf, 2, 3)));

  const char* expression() const { return expr_; }
  const char* file() const { return file_; }
  int line() const { return line_; }

private:
  const char* expr_;
  const char* file_;
  int line_;
};

// A wait on a descriptor that expired.
class TimedOut : public Exception {
public:
  TimedOut() : Exception("Timed out") {}
};

} // namespace plat
