#include "plat/LogWriter.h"

#include "plat/Logger.h"

#include "plat/String.h"
#include "plat/StringUtils.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace plat {

LogWriter* LogWriter::log_writers = nullptr;

LogWriter::LogWriter(const char* name) : name_(name), next_(log_writers) {
  log_writers = this;
}

void LogWriter::writeV(int level, const char* format, va_list ap) {
  if (enabled(level))
    logger_->writeV(level, name_, format, ap);
}

void LogWriter::write(int level, const char* format, ...) {
  if (!enabled(level))
    return;
  va_list ap;
  va_start(ap, format);
  logger_->writeV(level, name_, format, ap);
  va_end(ap);
}

#define PLAT_LOG_AT(method, level)                                                                 \
  void LogWriter::method(const char* format, ...) {                                                \
    if (!enabled(level))                                                                           \
      return;                                                                                      \
    va_list ap;                                                                                    \
    va_start(ap, format);                                                                          \
    logger_->writeV(level, name_, format, ap);                                                     \
    va_end(ap);                                                                                    \
  }

PLAT_LOG_AT(error, 0)
PLAT_LOG_AT(notice, 10)
PLAT_LOG_AT(status, 30)
PLAT_LOG_AT(debug, 100)

#undef PLAT_LOG_AT

LogWriter* LogWriter::getLogWriter(const char* name) {
  for (LogWriter* w = log_writers; w; w = w->next_)
    if (strcasecmp(name, w->name_) == 0)
      return w;
  return nullptr;
}

bool LogWriter::setLogParams(const char* element) {
  String copy(element);
  char* cursor = copy.buf();
  char* writerName = strSepChar(&cursor, ':');
  char* target = cursor ? strSepChar(&cursor, ':') : nullptr;
  if (!cursor) {
    fprintf(stderr, "failed to parse log param element:%s\n", element);
    return false;
  }
  long level = strtol(cursor, nullptr, 10);
  if (level > INT_MAX)
    level = INT_MAX;
  else if (level < INT_MIN)
    level = INT_MIN;
  Logger* logger = nullptr;
  if (*target) {
    logger = Logger::getLogger(target);
    if (!logger)
      fprintf(stderr, "No logger found: '%s'\n", target);
  }
  if (strcmp(writerName, "*") == 0) {
    for (LogWriter* w = log_writers; w; w = w->next_) {
      w->setLogger(logger);
      w->setLevel(static_cast<int>(level));
    }
    return true;
  }
  LogWriter* w = getLogWriter(writerName);
  if (!w) {
    fprintf(stderr, "No logwriter found: '%s'\n", writerName);
    return false;
  }
  w->setLogger(logger);
  w->setLevel(static_cast<int>(level));
  return true;
}

void LogWriter::listLogWriters() {
  fprintf(stderr, "  ");
  for (LogWriter* w = log_writers; w; w = w->next_)
    fprintf(stderr, "%s%s", w->name_, w->next_ ? ", " : "");
  fprintf(stderr, "\n");
}

} // namespace plat
