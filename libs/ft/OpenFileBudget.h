// Bounds the files that file transfer holds open, per connection and for the
// program as a whole, so that however many shares and requests the viewers
// send, the program keeps descriptors for its own files (the chat history,
// the settings). Downloads and uploads each have a budget of their own; a
// file takes a ticket before it is opened and gives it back when it is
// closed. What to do when no ticket is free is the caller's business: a
// download waits its turn (its downloader is told when tickets come back), an
// upload request is refused. Waiters are borrowed.
#pragma once

#include "ft/FileId.h"

#include <cstddef>
#include <map>
#include <vector>

namespace ft {

class OpenFileBudget {
public:
  // Told when a ticket has come back. It may take tickets from within.
  class Waiter {
  public:
    virtual ~Waiter() = default;
    virtual void filesFreed() = 0;
  };

  // One open file of a connection, counted in a budget until it is given
  // back (or destroyed). An empty ticket counts nothing.
  class Ticket {
  public:
    Ticket() = default;
    ~Ticket() { giveBack(); }
    Ticket(Ticket&& other) noexcept : budget(other.budget), connection(other.connection) {
      other.budget = nullptr;
    }
    Ticket& operator=(Ticket&& other) noexcept;
    Ticket(const Ticket&) = delete;
    Ticket& operator=(const Ticket&) = delete;

    // Leaves the budget; the budget's waiters are told.
    void giveBack();
    bool held() const { return budget != nullptr; }

  private:
    friend class OpenFileBudget;
    Ticket(OpenFileBudget* b, ConnectionId c) : budget(b), connection(c) {}

    OpenFileBudget* budget = nullptr;
    ConnectionId connection = 0;
  };

  // Files per connection, far above what a viewer in good faith keeps in
  // flight (the default concurrency of a download is 8).
  static constexpr std::size_t perConnectionFiles = 64;
  // Files of the whole program, at most an eighth of the descriptor limit:
  // downloads and uploads together keep three quarters of it free.
  static constexpr std::size_t programFiles = 128;

  OpenFileBudget(std::size_t perConnection, std::size_t total);
  OpenFileBudget(const OpenFileBudget&) = delete;
  OpenFileBudget& operator=(const OpenFileBudget&) = delete;

  // The budgets of the program, each sized from the descriptor limit in
  // force when it is first used.
  static OpenFileBudget& downloads();
  static OpenFileBudget& uploads();
  // programFiles, or an eighth of the soft descriptor limit when that is
  // less (never below 1).
  static std::size_t programBound();

  bool available(ConnectionId connection) const;
  // A ticket for connection; an empty one when none is available.
  Ticket take(ConnectionId connection);

  std::size_t held() const { return total; }
  std::size_t held(ConnectionId connection) const;
  std::size_t perConnectionBound() const { return perConnection; }
  std::size_t totalBound() const { return bound; }

  void addWaiter(Waiter* waiter);
  void removeWaiter(Waiter* waiter);

private:
  void giveBack(ConnectionId connection);

  std::size_t perConnection;
  std::size_t bound;
  std::size_t total = 0;
  std::map<ConnectionId, std::size_t> byConnection;
  std::vector<Waiter*> waiters;
};

} // namespace ft
