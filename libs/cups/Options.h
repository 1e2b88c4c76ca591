// An option list for a print job, empty on construction; the options the
// library allocated are freed on destruction.
#pragma once

#include "cups/CupsTypes.h"

namespace cups {

class Options {
public:
  Options() = default;
  ~Options();
  Options(const Options&) = delete;
  Options& operator=(const Options&) = delete;

  // Adds the option, or replaces the value of one of that name.
  void add(const char* name, const char* value);
  // Adds each of the destination's options in order.
  void addDestOptions(const cups_dest_t* dest);

  int count() const { return count_; }
  cups_option_t* options() const { return options_; }

private:
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

} // namespace cups
