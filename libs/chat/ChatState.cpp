#include "chat/ChatState.h"

namespace chat {

ChatState::~ChatState() = default;

} // namespace chat
