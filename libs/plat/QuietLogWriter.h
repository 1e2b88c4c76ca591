// Holds back the messages of one log writer for a scope: a program that
// reads its command line and says itself, in one line, why an argument was
// refused keeps the parameters' own complaints about it off the terminal.
// A level that is set within the scope (by a log setting read there) stands.
#pragma once

#include "plat/LogWriter.h"

namespace plat {

class QuietLogWriter {
public:
  // A name that no writer has leaves everything as it is.
  explicit QuietLogWriter(const char* name) : writer_(LogWriter::getLogWriter(name)) {
    if (writer_) {
      level_ = writer_->getLevel();
      writer_->setLevel(quiet);
    }
  }
  ~QuietLogWriter() {
    if (writer_ && writer_->getLevel() == quiet)
      writer_->setLevel(level_);
  }
  QuietLogWriter(const QuietLogWriter&) = delete;
  QuietLogWriter& operator=(const QuietLogWriter&) = delete;

private:
  // Below every message level, errors (0) included.
  static constexpr int quiet = -1;
  LogWriter* writer_;
  int level_ = 0;
};

} // namespace plat
