#include "zav/ConnAction.h"

#include "plat/Assert.h"

#include <string>

namespace zav {

const char* const sConnActionLabel = "When Zav Viewers connect:";

namespace ConnAction {

namespace {

const std::uint32_t serviceAndUserActions[] = {Prompt, Notify, Nothing};
const std::uint32_t virtualActions[] = {Prompt, PromptIfUser, Notify, Nothing};

} // namespace

const char* name(unsigned mode, unsigned action) {
  switch (action) {
  case Prompt:
    return "Show accept/reject prompt";
  case PromptIfUser:
    return mode == 3 ? "Show prompt if user connected" : "Show prompt if user logged on";
  case Notify:
    return "Show notification message";
  case Nothing:
    return "Do nothing";
  }
  PLAT_ASSERT(false);
}

const std::uint32_t* list(unsigned mode, unsigned* count) {
  const std::uint32_t* actions = nullptr;
  unsigned n = 0;
  if (mode == 1 || mode == 2) {
    actions = serviceAndUserActions;
    n = sizeof(serviceAndUserActions) / sizeof(serviceAndUserActions[0]);
  } else if (mode == 3) {
    actions = virtualActions;
    n = sizeof(virtualActions) / sizeof(virtualActions[0]);
  } else {
    PLAT_ASSERT(false);
  }
  if (count)
    *count = n;
  return actions;
}

int indexOf(unsigned mode, unsigned action) {
  unsigned count;
  const std::uint32_t* actions = list(mode, &count);
  for (unsigned i = 0; i < count; i++)
    if (actions[i] == action)
      return int(i);
  return -1;
}

const char* helpText(unsigned mode) {
  if (mode < 1 || mode > 3)
    PLAT_ASSERT(false);
  static const std::string serviceAndUser =
      std::string("Configure how Zav Server acts when a connection is received:\n\n") +
      "Show accept/reject prompt:\nPrompt the desktop user to accept or reject the "
      "connection, or make view only.\n\n" +
      "Show notification message:\nAccept the connection and identify the Zav Viewer user, "
      "as far as possible. Also notifies on disconnection.\n\n" +
      "Do nothing:\nAccept the connection without prompts or notifications.";
  static const std::string virtualMode =
      std::string("Configure how Zav Server acts when a connection is received:\n\n") +
      "Show accept/reject prompt:\nPrompt the desktop user to accept or reject the "
      "connection, or make view only.\n\n" +
      "Show prompt if user connected:\nPrompt the desktop user if one is connected. If not, "
      "accept the connection and show notification messages.\n\n" +
      "Show notification message:\nAccept the connection and identify the Zav Viewer user, "
      "as far as possible. Also notifies on disconnection.\n\n" +
      "Do nothing:\nAccept the connection without prompts or notifications.";
  return mode == 3 ? virtualMode.c_str() : serviceAndUser.c_str();
}

unsigned fromSettings(bool queryConnect, bool queryOnlyIfLoggedOn, int notifyTimeout) {
  if (!queryConnect)
    return notifyTimeout != 0 ? Notify : Nothing;
  return queryOnlyIfLoggedOn ? PromptIfUser : Prompt;
}

void toSettings(unsigned action, bool* queryConnect, bool* queryOnlyIfLoggedOn,
                int* notifyTimeout) {
  if (action > Nothing)
    PLAT_ASSERT(false);
  *queryConnect = action == Prompt || action == PromptIfUser;
  *queryOnlyIfLoggedOn = action == PromptIfUser;
  *notifyTimeout = action == Nothing ? 0 : 4;
}

} // namespace ConnAction
} // namespace zav
