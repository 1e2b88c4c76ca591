#include "wvw/WArrowButton.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WArrowButton");

namespace wvw {

WArrowButton::WArrowButton(int direction) : arrow_(direction) {
  setContent(&arrow_);
}

WArrowButton::~WArrowButton() = default;

} // namespace wvw
