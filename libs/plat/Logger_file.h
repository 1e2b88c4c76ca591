// The log target that writes to standard error, standard output or a file,
// in lines of at most 79 columns: a date line for each new second, then each
// message behind a 14-column writer-name prefix, wrapped, its control
// characters shown as plat::strLoggable escapes them. Also the "Log"
// setting that routes writers to targets, the "LogFile" parameter and the
// creation of the standard targets "stderr", "stdout" and "file". Loggers
// live for the whole process.
#pragma once

#include "plat/File.h"
#include "plat/Logger.h"
#include "plat/ParameterChangedCallback.h"
#include "plat/String.h"
#include "plat/StringParameter.h"

#include <ctime>

namespace plat {

class StringParameter;

class Logger_file : public Logger, public ParameterChangedCallback {
public:
  using Clock = time_t (*)();

  // With a file-name parameter the logger follows that parameter's value.
  // Its default (priority 100) is taken as a ready file name; values set at
  // other priorities have their environment variables expanded once.
  explicit Logger_file(const char* name, StringParameter* fileNameParam = nullptr);
  ~Logger_file() override;

  void write(int level, const char* writerName, const char* text) override;
  void parameterChanged(ConfigParameter* param, int priority) override;

  // The line width becomes max(width, name column + 10).
  void setLineWidth(int width);
  // Closes the current output; the named file is opened at the next write,
  // its old content moved to "<name>.bak" unless another running program
  // still writes it (then both add their lines to it).
  void setFilename(const char* name);
  // Writes to a stream it does not own (standard error or output).
  void setFile(FILE* stream);
  const char* getFilename() const { return fileName_.get(); }
  // The source of the time for the date lines (tests inject their own).
  void setClock(Clock clock) { clock_ = clock; }

  // The text written at the top of every output a file logger opens.
  static void setHeader(const char* text);

private:
  bool openFile();

  static constexpr int nameColumn_ = 14;
  // The longest message text written, its escapes counted.
  static constexpr size_t maxEscapedLength = 4094;
  StringParameter* fileNameParam_;
  String fileName_;
  File output_;
  time_t lastDateLine_ = 0;
  int lineWidth_ = 79;
  bool headerWritten_ = false;
  Clock clock_;
};

// The setting "Log": elements "<writer>:<target>:<level>" separated by ','.
extern StringParameter logParam;

// Creates and registers the loggers "stderr" and "stdout" (once).
void initStdLoggers();
// Creates the parameter "LogFile" with the default file name and the logger
// "file" bound to it (unless unbound), and registers the logger (once).
void initFileLogger(const char* defaultFileName, bool unbound = false);

} // namespace plat
