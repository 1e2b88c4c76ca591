// Serves the descriptor channels and listening descriptors of the thread:
// tells each channel's handler when it can read, writes buffered output out in
// the background (giving up on a peer that takes nothing for
// "LazyFlushTimeout" seconds), closes channels in order and deletes them, and
// runs the pending work from a zero-delay timer. The manager constructed last
// is the current one; channels and listeners register with it.
#pragma once

#include "plat/Timer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace io {

class FdAddressChanged;
class FdIo;
class FdListener;
class IoAcceptor;
class IoHandler;

class FdManager : public plat::Timer::Callback {
public:
  // Told of every change of interest, for managers that wait by other means
  // than select().
  class Observer {
  public:
    virtual void ioInterest(FdIo* io, bool wantRead, bool wantWrite) = 0;
    virtual void listenerInterest(FdListener* listener, bool registered,
                                  bool wantsAddressChange) = 0;
    virtual ~Observer();
  };

  explicit FdManager(Observer* observer = nullptr);
  // Cleans up every channel (handlers hear closed()), detaches every
  // listener, and stops being the current manager.
  ~FdManager() override;
  FdManager(const FdManager&) = delete;
  FdManager& operator=(const FdManager&) = delete;

  // The current manager, or nullptr.
  static FdManager* threadInstance();

  // Serves io: both its streams stop waiting, the descriptor is made
  // non-blocking; write interest starts on so the handler first hears
  // writable(). A descriptor at or above FD_SETSIZE is refused with a
  // plat::Exception.
  void add(FdIo* io, IoHandler* handler, bool wantRead);
  // Closes io after writing out its output when flush is true; the handler
  // hears closed() when tellHandler is true; then the channel is deleted.
  void shutdown(FdIo* io, bool flush, bool tellHandler);
  // Serves io no more; its owner keeps it.
  void remove(FdIo* io);
  // Tells the handler closed(), removes and deletes io.
  void cleanup(FdIo* io);
  void addListener(FdListener* listener, IoAcceptor* acceptor);
  void removeListener(FdListener* listener);
  // Without an observer nothing is stored and the answer is false.
  bool setAddressChanged(FdListener* listener, FdAddressChanged* cb);
  // Runs the pending work: accepts, reads, write-outs, clean-ups.
  void processPending();

  bool timerCallback(plat::Timer* timer) override;

  bool isServed(FdIo* io) const { return ios.count(io) != 0; }
  // True while the destructor runs: handlers hearing closed() then must not
  // start new work on this manager.
  bool isClosingDown() const { return closingDown; }
  bool wantsWrite(FdIo* io) const;

protected:
  struct IoEntry {
    IoHandler* handler = nullptr;
    std::unique_ptr<plat::Timer> lazyFlushTimer;
    std::uint64_t lazyFlushDeadline = 0;
    bool wantRead = false;
    bool wantWrite = false;
    bool shuttingDown = false;
  };
  struct ListenerEntry {
    IoAcceptor* acceptor = nullptr;
    FdAddressChanged* addressChanged = nullptr;
    // After a failed accept the listener rests until a descriptor is freed or
    // the retry timer expires, so that a persistent failure does not spin.
    bool resting = false;
  };

  void assertCurrent() const;
  void setInterest(FdIo* io, IoEntry& entry, bool wantRead, bool wantWrite);
  void queue(std::vector<FdIo*>& list, FdIo* io);
  void queueAccept(FdListener* listener);
  void startLazyFlushTimer(IoEntry& entry);
  void lazyFlushExpired(plat::Timer* timer);
  void acceptOne(FdListener* listener);
  void wakeListeners();

  std::map<FdIo*, IoEntry> ios;
  std::map<FdListener*, ListenerEntry> listeners;
  std::vector<FdIo*> readableIos;
  std::vector<FdIo*> flushIos;
  std::vector<FdIo*> cleanupIos;
  std::vector<FdListener*> acceptListeners;
  Observer* observer;
  plat::Timer workTimer;
  plat::Timer acceptRetryTimer;
  // An accept failure is logged once until an accept succeeds again.
  bool acceptErrorLogged = false;

private:
  FdManager* previous;
  bool closingDown = false;
};

} // namespace io
