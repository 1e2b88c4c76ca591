// A printer's PPD fetched from the printing system into a temporary file and
// opened. The object owns both: on destruction the PPD is closed and the
// file removed.
#pragma once

#include "cups/CupsTypes.h"
#include "plat/String.h"

namespace cups {

class PpdFile {
public:
  // Throws cups::PrintFailed when the PPD cannot be had or read.
  explicit PpdFile(const char* printer);
  ~PpdFile();
  PpdFile(const PpdFile&) = delete;
  PpdFile& operator=(const PpdFile&) = delete;

  ppd_file_t* ppd() const { return ppd_; }
  const char* fileName() const { return fileName_.c_str(); }

private:
  void release();

  plat::String fileName_;
  ppd_file_t* ppd_ = nullptr;
};

} // namespace cups
