// Internal consistency checks and the two diagnostic operations that end or
// warn. A fatal check prints "Assertion '<expr>' failed at <file>:<line>" to
// stderr and to the "Assertion" log writer, then aborts: it is used where
// going on would corrupt state. A thrown check throws plat::AssertionFail to
// the caller instead.
#pragma once

#include "plat/Exception.h"

namespace plat {

// Writes the message to stderr and to the "Assertion" log writer, then aborts.
[[noreturn]] void fatalError(const char* message);
// Writes "Warning: <message>" at level 0 to the "Assertion" log writer.
void warning(const char* message);

} // namespace plat

// The bare source file name, as assertion messages show it.
#define PLAT_FILE_NAME __FILE_NAME__

// Fatal check.
#define PLAT_ASSERT(expr)                                                                          \
  do {                                                                                             \
    if (!(expr))                                                                                   \
      ::plat::fatalError(::plat::AssertionFail(#expr, PLAT_FILE_NAME, __LINE__).str());            \
  } while (0)

// Fatal check with a printf-formatted detail after ": ".
#define PLAT_ASSERT_MSG(expr, ...)                                                                 \
  do {                                                                                             \
    if (!(expr))                                                                                   \
      ::plat::fatalError(                                                                          \
          ::plat::AssertionFail(#expr, PLAT_FILE_NAME, __LINE__).detail(__VA_ARGS__).str());       \
  } while (0)

// Thrown check: the caller may catch the plat::AssertionFail.
#define PLAT_CHECK(expr)                                                                           \
  do {                                                                                             \
    if (!(expr))                                                                                   \
      throw ::plat::AssertionFail(#expr, PLAT_FILE_NAME, __LINE__);                                \
  } while (0)
