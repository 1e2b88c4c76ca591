// A forked child process of the same program, joined to its parent by two
// pipes, one for each direction. No other program is executed: the child runs
// the derived class's body, run(). Each side owns its two pipe ends, wrapped
// in descriptor streams that close them when deleted; the pipe descriptors
// are not inherited by programs that either side executes later.
#pragma once

#include "rdr/FdInStream.h"
#include "rdr/FdOutStream.h"

#include <memory>

namespace os {

class Coprocess {
public:
  Coprocess();
  Coprocess(const Coprocess&) = delete;
  Coprocess& operator=(const Coprocess&) = delete;
  virtual ~Coprocess();

  // Forks the child and returns its process id in the parent; in the child
  // it runs run() and never returns. Should the body return or throw, the
  // child ends with status 1 after writing out its buffered output. SIGPIPE
  // is ignored (unless handled), so that writing to a side that has ended is
  // a write error. Throws plat::SystemException "pipe() failed" or "fork".
  virtual int start();

  // A pipe: its read end wrapped in a new input stream, its write end in a
  // new output stream, both closing their descriptors when deleted.
  static void makePipe(std::unique_ptr<rdr::FdInStream>& in,
                       std::unique_ptr<rdr::FdOutStream>& out);

  bool isChild() const { return isChild_; }
  // What the other process writes; null before start() and after
  // closeStreams().
  rdr::FdInStream* getInStream() const { return in_.get(); }
  // What the other process reads; null before start() and after
  // closeStreams().
  rdr::FdOutStream* getOutStream() const { return out_.get(); }
  // Closes this side's ends of both pipes: the other side reads the end of
  // its stream.
  void closeStreams();

protected:
  // The body, run in the child with the streams connected to the parent.
  virtual void run() = 0;

private:
  bool isChild_ = false;
  std::unique_ptr<rdr::FdInStream> in_;
  std::unique_ptr<rdr::FdOutStream> out_;
};

} // namespace os
