#include "wvw/WIconButton.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("WIconButton");

namespace wvw {

WIconButton::WIconButton(const uint8_t* bitmap, int width, int height)
    : icon_(bitmap, width, height) {
  setContent(&icon_);
}

WIconButton::~WIconButton() = default;

} // namespace wvw
