#include "cups/PpdFile.h"

#include "cups/CupsApi.h"
#include "cups/PrintFailed.h"
#include "plat/LogWriter.h"

#include <unistd.h>

static plat::LogWriter& vlog = cups::apiLog();

namespace cups {

PpdFile::PpdFile(const char* printer) {
  const char* name = cupsGetPPD(printer);
  if (!name)
    throw PrintFailed("Failed to get PPD file for printer '%s'", printer);
  // The library's text lives only until its next call.
  fileName_ = name;
  try {
    ppd_ = ppdOpenFile(fileName_.c_str());
  } catch (...) {
    release();
    throw;
  }
  if (!ppd_) {
    // The temporary file is of no use to anyone: it goes at once.
    PrintFailed failure("Failed to open PPD file '%s' for printer '%s'", fileName_.c_str(),
                        printer);
    release();
    throw failure;
  }
}

PpdFile::~PpdFile() {
  release();
}

void PpdFile::release() {
  if (ppd_) {
    try {
      ppdClose(ppd_);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
    ppd_ = nullptr;
  }
  if (!fileName_.isNull()) {
    unlink(fileName_.c_str());
    fileName_.reset();
  }
}

} // namespace cups
