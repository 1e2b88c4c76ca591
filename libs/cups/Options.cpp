#include "cups/Options.h"

#include "cups/CupsApi.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

static plat::LogWriter& vlog = cups::apiLog();

namespace cups {

Options::~Options() {
  try {
    if (options_)
      cupsFreeOptions(count_, options_);
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
  }
}

void Options::add(const char* name, const char* value) {
  count_ = cupsAddOption(name, value, count_, &options_);
}

void Options::addDestOptions(const cups_dest_t* dest) {
  for (int i = 0; i < dest->num_options; i++)
    add(dest->options[i].name, dest->options[i].value);
}

} // namespace cups
