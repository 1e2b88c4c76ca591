// A logger for tests: records every line it is given, with its level and
// writer name, so tests can check what a component logged.
#pragma once

#include "plat/LogWriter.h"
#include "plat/Logger.h"

#include <string>
#include <vector>

namespace testing_support {

class CaptureLogger : public plat::Logger {
public:
  struct Line {
    int level;
    std::string writer;
    std::string text;
  };

  CaptureLogger() : plat::Logger("capture") {}
  void write(int level, const char* writerName, const char* text) override {
    lines.push_back({level, writerName, text});
  }
  bool contains(const std::string& fragment) const {
    for (const Line& l : lines)
      if (l.text.find(fragment) != std::string::npos)
        return true;
    return false;
  }
  // The texts of the lines logged at level, in order.
  std::vector<std::string> textsAt(int level) const {
    std::vector<std::string> texts;
    for (const Line& l : lines)
      if (l.level == level)
        texts.push_back(l.text);
    return texts;
  }

  std::vector<Line> lines;
};

// Routes one log writer to a capture logger at a level for the life of the
// object, then restores the writer's previous routing.
class ScopedCapture {
public:
  ScopedCapture(const char* writerName, int level)
      : writer_(plat::LogWriter::getLogWriter(writerName)) {
    if (writer_) {
      oldLogger_ = writer_->getLogger();
      oldLevel_ = writer_->getLevel();
      writer_->setLogger(&logger);
      writer_->setLevel(level);
    }
  }
  ~ScopedCapture() {
    if (writer_) {
      writer_->setLogger(oldLogger_);
      writer_->setLevel(oldLevel_);
    }
  }
  bool found() const { return writer_ != nullptr; }

  CaptureLogger logger;

private:
  plat::LogWriter* writer_;
  plat::Logger* oldLogger_ = nullptr;
  int oldLevel_ = 0;
};

} // namespace testing_support
