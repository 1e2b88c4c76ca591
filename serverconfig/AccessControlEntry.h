// One host rule of the "Hosts" list as the rule dialogs hold it: its text in
// the list's form (an action character and a pattern), whether it is the
// Default entry that matches every address, the pattern as typed, the
// action, and the row text shown to the user. A value type owning its texts.
// Entries are read and checked as the server's address filter reads them: a
// rule whose address cannot be read never matches, so it is an ordinary
// (useless) rule, not the Default entry, and cannot be stored from the dialog.
#pragma once

#include "plat/String.h"

namespace serverconfig {

// X11's headers define None as a macro: the class keeps its own None
// whatever was included before it.
#pragma push_macro("None")
#undef None

class AccessControlEntry {
public:
  enum Action { Accept = 0, Reject = 1, Query = 2, None = 3 };

  // A blank entry, for a new rule: no texts, action None.
  AccessControlEntry() = default;
  // One entry of "Hosts"; throws plat::Exception "Invalid pattern" when it
  // does not begin with "+", "-" or "?".
  explicit AccessControlEntry(const char* entry);

  void setAction(Action action);
  void setPattern(const char* pattern);
  // Returns when the entry may be stored; else throws plat::Exception with
  // the message to show.
  void validate() const;

  const char* text() const { return text_.c_str(); }
  bool isDefault() const { return isDefault_; }
  const char* pattern() const { return pattern_.c_str(); }
  Action action() const { return action_; }
  // Whether an action was chosen (for code where None is X11's macro).
  bool hasAction() const { return action_ != None; }
  const char* display() const { return display_.c_str(); }

private:
  void updateDisplay();
  void updateText();

  plat::String text_;
  bool isDefault_ = false;
  plat::String pattern_;
  Action action_ = None;
  plat::String display_;
};

#pragma pop_macro("None")

} // namespace serverconfig
