// The request to end the program that a signal handler makes. The handler
// calls raise(), which only writes a byte to a pipe; every wait of the
// program (its main loop, nested loops of modal dialogs, start-up waits)
// watches the pipe's read end and, once it is readable, leaves by throwing
// Ended up to the top of the program, so that the program ends with the same
// clean-up from any wait as from its main loop. The byte stays in the pipe,
// so every later wait sees it too. One pipe per process, open while an
// EndSignal::Scope lives.
#pragma once

namespace os {

class EndSignal {
public:
  // Thrown by a wait that saw the request. Neither a plat::Exception nor a
  // std::exception, so that no handler of failures takes it for one.
  struct Ended {};

  // Opens the pipe for its life and closes it after. Throws
  // plat::SystemException "pipe" when no pipe can be made.
  class Scope {
  public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
  };

  // The read end to watch; -1 while no pipe is open.
  static int fd();
  // Makes the request; safe in a signal handler. False when no pipe is open
  // (nobody would notice).
  static bool raise();
  // Whether the request was made, without waiting.
  static bool raised();
  // Throws Ended when the request was made.
  static void check();
};

} // namespace os
