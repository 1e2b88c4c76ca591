// A log target that log writers are routed to. Concrete targets (stderr,
// stdout, a log file) derive from it and register themselves by name so the
// log setting can find them. Loggers are static objects that live for the
// whole process.
#pragma once

#include <cstdarg>

namespace plat {

class Logger {
public:
  explicit Logger(const char* name);
  virtual ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Formats into a 4096-byte buffer (at most 4094 characters, longer text is
  // cut) and hands the text to write().
  void writeV(int level, const char* writerName, const char* format, va_list ap);
  virtual void write(int level, const char* writerName, const char* text) = 0;

  // Adds this logger to the registry once; a second call does nothing.
  void registerLogger();
  const char* getName() const { return name_; }

  // Finds a registered logger by name, ignoring case; nullptr when none.
  static Logger* getLogger(const char* name);
  // Writes "  <name>\n" per registered logger to stderr.
  static void listLoggers();
  static Logger* loggers;

private:
  bool registered_ = false;
  const char* name_;
  Logger* next_ = nullptr;
};

} // namespace plat
