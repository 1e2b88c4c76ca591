// Starts another program with a given argument vector, with chosen
// descriptors of the child connected to files, pipes, socket pairs or
// descriptors of the parent, optionally detached (double fork and a new
// session) so that nobody has to wait for it. The launcher owns the parent
// descriptors handed to the child and closes them once the child is started;
// the parent's own ends of pipes and socket pairs are the caller's.
#pragma once

#include "plat/String.h"

#include <map>
#include <set>

namespace os {

class LaunchProcess {
public:
  // Runs in the child after its descriptors are in place, just before the
  // program is executed.
  class Callback {
  public:
    virtual ~Callback() = default;
    virtual void preExec(LaunchProcess* launcher) = 0;
  };

  LaunchProcess();
  LaunchProcess(const plat::StringVector& args, bool detached);
  LaunchProcess(const LaunchProcess&) = delete;
  LaunchProcess& operator=(const LaunchProcess&) = delete;
  // Closes the descriptors recorded for a child that was never started (the
  // parent's ends stay with the caller). A child that was started, not
  // detached and not waited for is reaped later, so it does not stay a zombie.
  ~LaunchProcess();

  // The program to run is the first text.
  void setArgs(const plat::StringVector& args);
  void setPreExec(Callback* callback) { preExec_ = callback; }

  // The child gets parentFd as childFd; an earlier entry for childFd is
  // replaced (and its descriptor closed).
  void redirect(int childFd, int parentFd);
  // toChildFd gets a duplicate of the descriptor recorded for fromChildFd;
  // fatal when there is none.
  void redirectDup2(int fromChildFd, int toChildFd);
  // A local stream socket pair: one end becomes childFd, the other is the
  // parent's and is returned. Throws plat::SystemException "socketpair".
  int redirectSocketPair(int childFd);
  // The child's standard input and output are one socket; returns the
  // parent's end.
  int redirectStdioSocket();
  // A pipe: the child reads from it (childReads) or writes to it as childFd;
  // returns the parent's end. Throws plat::SystemException "pipe".
  int redirectPipe(bool childReads, int childFd);
  // Opens path for the child as childFd: reading, or writing (created with
  // mode 0600, appended to or truncated). Throws plat::SystemExceptionFmt
  // "Can't open %s for %s".
  int redirectFile(bool forReading, int childFd, const char* path, bool append);
  // Standard output and standard error go to the file.
  void redirectOutputToFile(const char* path, bool append);

  // Starts the program; standard input is "/dev/null" unless redirected,
  // and SIGPIPE is at its default.
  // Returns the child's process id, or -1 for a detached child. Throws
  // plat::SystemException "fork".
  int start();
  // Waits for the child and returns its raw wait status. Throws
  // plat::Exception when detached or not started, plat::SystemException
  // "waitpid" when waiting fails.
  int wait();
  // Whether the child has ended, without blocking; its raw wait status in
  // status when it has. Throws as wait().
  bool poll(int* status);
  int getPid() const { return pid_; }

  // Double fork: true in the detached grandchild (in a new session), false
  // in the caller once the intermediate child has ended.
  static bool detachFork();

private:
  // Closes each descriptor recorded for the child once and forgets them.
  void closeChildDescriptors();
  [[noreturn]] void runChild();
  // Sets up the descriptors and executes the program; returns only when
  // that failed.
  void execChild();

  plat::StringVector args_;
  Callback* preExec_ = nullptr;
  std::map<int, int> childDup_; // child descriptor -> parent descriptor (owned)
  std::set<int> parentFds_;     // the parent's ends, closed in the child
  int pid_ = -1;
  bool detached_ = false;
  bool started_ = false;
  bool waited_ = false;
};

// Starts the program, detached, with the given further arguments (ending
// with a null text) and returns the write end of a pipe that is its
// standard input.
int launchWithInputPipe(const char* program, ...) __attribute__((sentinel));
// Starts the program with the given further arguments (ending with a null
// text), not detached and without waiting for it.
void launch(const char* program, ...) __attribute__((sentinel));

} // namespace os
