#include "zavconfig/HistorySaver.h"

#include "chat/ChatHistory.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <exception>

static plat::LogWriter vlog("HistorySaver");

namespace zavconfig {

static void saveHistory(chat::ChatHistory* history) {
  history->save();
}

void (*HistorySaver::saveFn)(chat::ChatHistory*) = saveHistory;

HistorySaver::~HistorySaver() {
  try {
    saveFn(history_);
  } catch (plat::Exception& e) {
    vlog.error("Error saving Chat log: %s", e.str());
  } catch (std::exception& e) {
    vlog.error("Error saving Chat log: %s", e.what());
  }
}

} // namespace zavconfig
