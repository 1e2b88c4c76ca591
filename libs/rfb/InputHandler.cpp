#include "rfb/InputHandler.h"

namespace rfb {

InputHandler::~InputHandler() = default;

void InputHandler::keyEvent(uint32_t, bool) {
}

void InputHandler::pointerEvent(const Point&, int, bool) {
}

void InputHandler::clientCutText(const char*, int) {
}

} // namespace rfb
