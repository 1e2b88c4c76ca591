// A listening descriptor served by the current descriptor manager: with an
// acceptor set, every connection it accepts goes to that acceptor.
#pragma once

namespace io {

class FdIo;
class FdManager;
class IoAcceptor;
class FdAddressChanged;

class FdListener {
public:
  explicit FdListener(int fd);
  // Detaches from the manager (setAcceptor(nullptr)).
  virtual ~FdListener();
  FdListener(const FdListener&) = delete;
  FdListener& operator=(const FdListener&) = delete;

  // One pending connection as a new channel owned by the caller, or nullptr
  // when none is pending.
  virtual FdIo* accept() = 0;

  // Non-null registers with the current manager; null unregisters.
  void setAcceptor(IoAcceptor* acceptor);
  // Asks the manager to report address changes to cb; false when it cannot.
  bool setAddressChanged(FdAddressChanged* cb);
  int getFd() const { return fd; }

protected:
  int fd;
  FdManager* fdMgr = nullptr;

private:
  friend class FdManager;
};

} // namespace io
