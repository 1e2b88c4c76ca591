// A named log source. A source file that logs owns one as a static object; the log
// setting routes it to at most one Logger and gives it a level. A message of
// level L is written when the writer has a logger and its level is at least L.
// Levels: 0 errors, 10 notices, 30 status, 100 debugging, 120 loudest traces.
#pragma once

#include <cstdarg>

namespace plat {

class Logger;

class LogWriter {
public:
  explicit LogWriter(const char* name);
  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

  void write(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void notice(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void status(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void writeV(int level, const char* format, va_list ap);

  // True when a message of this level would be written; lets callers skip
  // building expensive arguments.
  bool enabled(int level) const { return logger_ != nullptr && level_ >= level; }

  const char* getName() const { return name_; }
  int getLevel() const { return level_; }
  Logger* getLogger() const { return logger_; }
  void setLevel(int level) { level_ = level; }
  void setLogger(Logger* logger) { logger_ = logger; }
  LogWriter* getNext() const { return next_; }

  // Finds a writer by name, ignoring case; nullptr when none.
  static LogWriter* getLogWriter(const char* name);
  // Applies one element "<writer>:<target>:<level>" of the log setting; "*"
  // stands for every writer, an empty target for none. Errors go to stderr;
  // false when the element cannot be parsed or names no writer.
  static bool setLogParams(const char* element);
  // Writes "  " and the writer names separated by ", " to stderr.
  static void listLogWriters();
  // Head of the list of all writers, newest first.
  static LogWriter* log_writers;

private:
  const char* name_;
  int level_ = 0;
  Logger* logger_ = nullptr;
  LogWriter* next_;
};

} // namespace plat
