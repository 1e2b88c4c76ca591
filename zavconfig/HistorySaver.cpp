#include "zavconfig/HistorySaver.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"

#include <algorithm>
#include <exception>

static plat::LogWriter vlog("HistorySaver");

namespace zavconfig {

static void saveHistory(chat::ChatHistory* history) {
  history->save();
}

void (*HistorySaver::saveFn)(chat::ChatHistory*) = saveHistory;
HistorySaver* HistorySaver::active_ = nullptr;

HistorySaver::HistorySaver(chat::ChatHistory* history, std::function<void(const char*)> report)
    : history_(history), report_(std::move(report)), timer_(this) {
  history_->setListener(this);
  active_ = this;
}

HistorySaver::~HistorySaver() {
  if (active_ == this)
    active_ = nullptr;
  history_->setListener(nullptr);
  timer_.stop();
  saveNow(false);
}

void HistorySaver::saveActive() {
  // Not twice: a save that ends up here again (its notice drawn on the lost
  // display) goes no further.
  static bool saving = false;
  if (!active_ || saving)
    return;
  saving = true;
  active_->timer_.stop();
  active_->saveNow(false);
  saving = false;
}

void HistorySaver::recordAdded() {
  if (timer_.isStarted())
    return;
  try {
    timer_.start(delayMs_);
  } catch (plat::Exception& e) {
    // No timers outside window mode: the save at the end writes the lines.
    vlog.debug("%s", e.str());
  }
}

bool HistorySaver::timerCallback(plat::Timer*) {
  std::uint64_t start = plat::currentTime();
  saveNow(true);
  int tookMs = plat::msDiff(plat::currentTime(), start);
  delayMs_ = std::max(saveDelayMs, std::min(tookMs, 60000) * 10);
  return false;
}

bool HistorySaver::saveNow(bool tellUser) {
  std::string message;
  try {
    saveFn(history_);
    lastReported_.clear();
    return true;
  } catch (plat::Exception& e) {
    message = e.str();
  } catch (std::exception& e) {
    message = e.what();
  }
  vlog.error("Error saving Chat log: %s", message.c_str());
  if (tellUser && report_ && message != lastReported_) {
    lastReported_ = message;
    std::string text = "The chat history could not be saved. " + message;
    try {
      report_(text.c_str());
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    } catch (std::exception& e) {
      vlog.error("%s", e.what());
    }
  }
  return false;
}

} // namespace zavconfig
