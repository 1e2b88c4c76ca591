#include "ft/OpenFileBudget.h"

#include "plat/LogWriter.h"

#include <algorithm>
#include <sys/resource.h>

static plat::LogWriter vlog("OpenFileBudget");

namespace ft {

OpenFileBudget::Ticket& OpenFileBudget::Ticket::operator=(Ticket&& other) noexcept {
  if (this != &other) {
    giveBack();
    budget = other.budget;
    connection = other.connection;
    other.budget = nullptr;
  }
  return *this;
}

void OpenFileBudget::Ticket::giveBack() {
  OpenFileBudget* b = budget;
  budget = nullptr;
  if (b)
    b->giveBack(connection);
}

OpenFileBudget::OpenFileBudget(std::size_t perConnection_, std::size_t total_)
    : perConnection(perConnection_), bound(total_) {
}

std::size_t OpenFileBudget::programBound() {
  struct rlimit limit = {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return programFiles;
  return std::max<std::size_t>(1, std::min<std::size_t>(programFiles, limit.rlim_cur / 8));
}

OpenFileBudget& OpenFileBudget::downloads() {
  static OpenFileBudget budget(perConnectionFiles, programBound());
  return budget;
}

OpenFileBudget& OpenFileBudget::uploads() {
  static OpenFileBudget budget(perConnectionFiles, programBound());
  return budget;
}

bool OpenFileBudget::available(ConnectionId connection) const {
  return total < bound && held(connection) < perConnection;
}

std::size_t OpenFileBudget::held(ConnectionId connection) const {
  auto it = byConnection.find(connection);
  return it == byConnection.end() ? 0 : it->second;
}

OpenFileBudget::Ticket OpenFileBudget::take(ConnectionId connection) {
  if (!available(connection)) {
    vlog.debug("No file may be opened now: %u of connection %llu, %u in all",
               static_cast<unsigned>(held(connection)), static_cast<unsigned long long>(connection),
               static_cast<unsigned>(total));
    return Ticket();
  }
  total++;
  byConnection[connection]++;
  return Ticket(this, connection);
}

void OpenFileBudget::giveBack(ConnectionId connection) {
  auto it = byConnection.find(connection);
  if (it != byConnection.end() && --it->second == 0)
    byConnection.erase(it);
  total--;
  // A waiter may remove itself or others while it is told.
  std::vector<Waiter*> told(waiters);
  for (Waiter* w : told)
    if (std::find(waiters.begin(), waiters.end(), w) != waiters.end())
      w->filesFreed();
}

void OpenFileBudget::addWaiter(Waiter* waiter) {
  if (std::find(waiters.begin(), waiters.end(), waiter) == waiters.end())
    waiters.push_back(waiter);
}

void OpenFileBudget::removeWaiter(Waiter* waiter) {
  waiters.erase(std::remove(waiters.begin(), waiters.end(), waiter), waiters.end());
}

} // namespace ft
