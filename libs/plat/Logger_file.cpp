#include "plat/Logger_file.h"

#include "plat/DString.h"
#include "plat/DirName.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/StringParameter.h"
#include "plat/StringUtils.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static plat::LogWriter vlog("Logger_file");

namespace plat {

namespace {

String& headerText() {
  static String header;
  return header;
}

time_t systemClock() {
  return time(nullptr);
}

// Reapplies the whole "Log" setting after every set of it.
class LogParameterChangedCallback : public ParameterChangedCallback {
public:
  void parameterChanged(ConfigParameter*, int) override {
    LogWriter::setLogParams("*::0");
    String value = logParam.getValue();
    if (value.length() == 0)
      return;
    char* cursor = value.buf();
    while (cursor) {
      char* element = strSepChar(&cursor, ',');
      if (!LogWriter::setLogParams(element))
        break;
    }
  }
};

LogParameterChangedCallback logParamCallback;

} // namespace

StringParameter logParam("Log",
                         "Specifies which log output should be directed to which target logger, "
                         "and the level of output to log. Format is "
                         "<log>:<target>:<level>[, ...].",
                         "", true);

namespace {

struct LogParamHook {
  LogParamHook() { logParam.setCallback(&logParamCallback); }
} logParamHook;

} // namespace

Logger_file::Logger_file(const char* name, StringParameter* fileNameParam)
    : Logger(name), fileNameParam_(fileNameParam), clock_(systemClock) {
  if (fileNameParam_) {
    // Take the name first: when its expansion throws, no object exists for
    // the parameter to call back later.
    parameterChanged(fileNameParam_, fileNameParam_->getPriority());
    fileNameParam_->setCallback(this);
  }
}

Logger_file::~Logger_file() {
  if (fileNameParam_ && fileNameParam_->getCallback() == this)
    fileNameParam_->setCallback(nullptr);
}

void Logger_file::setLineWidth(int width) {
  lineWidth_ = width > nameColumn_ + 10 ? width : nameColumn_ + 10;
}

void Logger_file::setFilename(const char* name) {
  output_.reset();
  if (!(fileName_ == name))
    fileName_ = String(name);
  headerWritten_ = false;
}

void Logger_file::setFile(FILE* stream) {
  output_.reset(stream, false);
  fileName_.reset();
  headerWritten_ = false;
}

void Logger_file::setHeader(const char* text) {
  String& header = headerText();
  if (!(header == text))
    header = String(text);
}

void Logger_file::parameterChanged(ConfigParameter*, int) {
  // The default is a ready file name (the program built it from expanded
  // parts); expanding it again would break on a '$' inside a home directory.
  String value = fileNameParam_->getValue();
  String name = fileNameParam_->getPriority() == ConfigParameter::defaultPriority
                    ? value
                    : EnvExpandedString(value.c_str()).str();
  if (!(fileName_ == name.get()))
    setFilename(name.get());
}

namespace {

// True while the path still names the file open on the descriptor.
bool pathNamesFile(const char* path, int fd) {
  struct stat byPath, byFd;
  return stat(path, &byPath) == 0 && fstat(fd, &byFd) == 0 && byPath.st_dev == byFd.st_dev &&
         byPath.st_ino == byFd.st_ino;
}

} // namespace

// Every program writing a log file holds a shared lock on it for as long as
// it writes it. A start moves the old file to "<name>.bak" only when it can
// take the lock exclusively, that is when no running program writes it;
// otherwise it adds its lines to the same file. So a running program's log is
// never moved over, emptied or removed, and "<name>.bak" (only ever a file
// that no one wrote any more) never holds a running program's log.
bool Logger_file::openFile() {
  if (fileName_.isNull() || fileName_.length() == 0)
    return false;
  const char* name = fileName_.c_str();
  try {
    mkDirWithParents(DirName(name).c_str(), true, false);
  } catch (const Exception&) {
    return false;
  }
  bool moved = false;
  for (int tries = 0; tries < 10; tries++) {
    int fd = ::open(name, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0)
      return false;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      struct stat st;
      if (!pathNamesFile(name, fd) || fstat(fd, &st) != 0) {
        ::close(fd); // moved away meanwhile: open the file there now
        continue;
      }
      if (!moved && st.st_size > 0) {
        moved = true;
        if (fileTryRename(name, (std::string(name) + ".bak").c_str())) {
          ::close(fd);
          continue;
        }
        if (ftruncate(fd, 0) != 0) {
          ::close(fd);
          return false;
        }
      }
      flock(fd, LOCK_SH); // from exclusive to shared: others may add to it
    } else if (errno == EWOULDBLOCK) {
      // In use by a running program: written by both.
      if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd); // held exclusively for a moment by another start
        usleep(1000);
        continue;
      }
    } else {
      // A file system without locks: the old file is moved aside as before.
      ::close(fd);
      fileTryRename(name, (std::string(name) + ".bak").c_str());
      fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
      if (fd < 0)
        return false;
    }
    if (!pathNamesFile(name, fd)) {
      ::close(fd);
      continue;
    }
    FILE* f = fdopen(fd, "a");
    if (!f) {
      ::close(fd);
      return false;
    }
    output_.reset(f, true);
    return true;
  }
  return false;
}

void Logger_file::write(int, const char* writerName, const char* text) {
  if (!output_.isOpen() && !openFile())
    return;
  FILE* f = output_.get();
  const String& header = headerText();
  if (!header.isNull() && !headerWritten_) {
    DString wrapped;
    wrapped.append(header.c_str());
    wrapped.wrap(lineWidth_);
    fprintf(f, "%s\n", wrapped.c_str());
    headerWritten_ = true;
  }
  time_t now = clock_();
  if (now != lastDateLine_) {
    lastDateLine_ = now;
    char date[64];
    fprintf(f, "\n%s", ctime_r(&now, date));
  }
  const int nameWidth = nameColumn_ - 3;
  int used = static_cast<int>(strnlen(writerName, nameWidth));
  fprintf(f, " %.*s:%*s ", used, writerName, nameWidth - used, "");
  // Messages carry texts of other parties (names, addresses, paths): their
  // control characters and hiding marks are shown as escapes, so that no
  // message can rewrite the terminal or the lines around it. A newline stays,
  // as it only starts an indented further line of the same message, and so
  // does a backslash: the escapes a caller wrote of a quoted text read as
  // written.
  DString line(lineWidth_);
  line.append(strLoggable(text, maxEscapedLength, true).c_str());
  line.wrap(lineWidth_ - nameColumn_);
  const char* p = line.c_str();
  for (bool first = true;; first = false) {
    const char* newline = strchr(p, '\n');
    int length = newline ? static_cast<int>(newline - p) : static_cast<int>(strlen(p));
    fprintf(f, "%*s%.*s\n", first ? 0 : nameColumn_, "", length, p);
    if (!newline)
      break;
    p = newline + 1;
  }
  fflush(f);
}

// The standard targets

namespace {

Logger_file* stderrLogger = nullptr;
Logger_file* stdoutLogger = nullptr;
Logger_file* fileLogger = nullptr;
StringParameter* logFileParam = nullptr;

} // namespace

void initStdLoggers() {
  if (stderrLogger)
    return;
  stderrLogger = new Logger_file("stderr");
  stderrLogger->setFile(stderr);
  stderrLogger->registerLogger();
  stdoutLogger = new Logger_file("stdout");
  stdoutLogger->setFile(stdout);
  stdoutLogger->registerLogger();
}

void initFileLogger(const char* defaultFileName, bool unbound) {
  if (fileLogger)
    return;
  logFileParam = new StringParameter("LogFile", "Filename for 'file' log output",
                                     defaultFileName ? defaultFileName : "");
  fileLogger = new Logger_file("file", unbound ? nullptr : logFileParam);
  fileLogger->registerLogger();
}

} // namespace plat
