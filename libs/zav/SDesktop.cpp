#include "zav/SDesktop.h"

namespace zav {

SDesktop::~SDesktop() = default;

void SDesktop::attachServer(DesktopServer*) {
}

void SDesktop::detachServer() {
}

} // namespace zav
