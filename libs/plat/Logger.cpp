#include "plat/Logger.h"

#include <cstdio>
#include <strings.h>

namespace plat {

Logger* Logger::loggers = nullptr;

Logger::Logger(const char* name) : name_(name) {
}

Logger::~Logger() = default;

void Logger::writeV(int level, const char* writerName, const char* format, va_list ap) {
  // 4096 bytes of which at most 4094 characters are kept.
  char buf[4096];
  vsnprintf(buf, sizeof(buf) - 1, format, ap);
  buf[sizeof(buf) - 2] = '\0';
  write(level, writerName, buf);
}

void Logger::registerLogger() {
  if (registered_)
    return;
  registered_ = true;
  next_ = loggers;
  loggers = this;
}

Logger* Logger::getLogger(const char* name) {
  for (Logger* l = loggers; l; l = l->next_)
    if (strcasecmp(name, l->name_) == 0)
      return l;
  return nullptr;
}

void Logger::listLoggers() {
  for (Logger* l = loggers; l; l = l->next_)
    fprintf(stderr, "  %s\n", l->name_);
}

} // namespace plat
