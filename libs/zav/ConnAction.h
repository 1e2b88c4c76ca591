// What the server does when a viewer connects, as one user-facing choice made
// of the three server settings QueryConnect, QueryOnlyIfLoggedOn and
// ConnNotifyTimeout, and back. Free functions; the texts and tables they
// return are constants that live as long as the process.
#pragma once

#include <cstdint>

namespace zav {

// The label that stands before the choice on the connections page.
extern const char* const sConnActionLabel;

namespace ConnAction {

// Actions: 0 prompt, 1 prompt only when a user is connected (logged on), 2
// notification only, 3 nothing. Modes: 1 service, 2 user, 3 virtual.
enum { Prompt = 0, PromptIfUser = 1, Notify = 2, Nothing = 3 };

// The action's display name; an action outside 0-3 is a fatal assertion.
const char* name(unsigned mode, unsigned action);
// The actions offered in the mode, their number in *count when given; a mode
// outside 1-3 is a fatal assertion.
const std::uint32_t* list(unsigned mode, unsigned* count = nullptr);
// The position of the action in the mode's list, or -1.
int indexOf(unsigned mode, unsigned action);
// The help text of the mode's list, built on first use; a mode outside 1-3
// is a fatal assertion.
const char* helpText(unsigned mode);
// The action that the settings give.
unsigned fromSettings(bool queryConnect, bool queryOnlyIfLoggedOn, int notifyTimeout);
// The settings of an action; an action outside 0-3 is a fatal assertion.
void toSettings(unsigned action, bool* queryConnect, bool* queryOnlyIfLoggedOn, int* notifyTimeout);

} // namespace ConnAction
} // namespace zav
