#include "plat/unix/Coprocess.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

static plat::LogWriter vlog("Coprocess");

namespace os {

namespace {

// A blocking pipe reader that keeps no bytes for a rewind, so that its
// buffer is reused however much passes through it.
class PipeInStream : public rdr::FdInStream {
public:
  explicit PipeInStream(int fd) : rdr::FdInStream(fd, -1, 0, true) { rewindable = false; }
};

// Writing to a process that has ended is to be a write error, not the death
// of the writer: SIGPIPE is ignored, unless the program handles it itself.
void ignoreSigPipe() {
  struct sigaction action;
  if (sigaction(SIGPIPE, nullptr, &action) == 0 && action.sa_handler == SIG_DFL)
    signal(SIGPIPE, SIG_IGN);
}

} // namespace

Coprocess::Coprocess() = default;

Coprocess::~Coprocess() = default;

void Coprocess::closeStreams() {
  in_.reset();
  out_.reset();
}

void Coprocess::makePipe(std::unique_ptr<rdr::FdInStream>& in,
                         std::unique_ptr<rdr::FdOutStream>& out) {
  int fds[2];
  // Close-on-exec from the start: neither side's programs inherit the ends.
  if (pipe2(fds, O_CLOEXEC) < 0)
    throw plat::SystemException("pipe() failed", errno);
  in.reset(new PipeInStream(fds[0]));
  out.reset(new rdr::FdOutStream(fds[1], -1, 0, true));
}

int Coprocess::start() {
  std::unique_ptr<rdr::FdInStream> inA, inB;
  std::unique_ptr<rdr::FdOutStream> outA, outB;
  makePipe(inA, outA); // the child writes, the parent reads
  makePipe(inB, outB); // the parent writes, the child reads
  ignoreSigPipe();

  // Buffered stdio output written out now is not written twice, once by
  // each process.
  fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0)
    throw plat::SystemException("fork", errno);

  if (pid > 0) {
    inB.reset();
    outA.reset();
    in_ = std::move(inA);
    out_ = std::move(outB);
    return pid;
  }

  inA.reset();
  outB.reset();
  isChild_ = true;
  in_ = std::move(inB);
  out_ = std::move(outA);
  try {
    run();
  } catch (const plat::Exception& e) {
    vlog.error("Co-process body failed: %s", e.str());
  } catch (...) {
    vlog.error("Co-process body failed");
  }
  try {
    out_->flush();
  } catch (const plat::Exception&) {
    // The parent is gone; nothing is left to tell.
  }
  fflush(nullptr);
  // _exit, not exit: the parent's static destructors and atexit handlers
  // belong to the parent.
  _exit(1);
}

} // namespace os
