// A text entry that completes what is typed from a list of words: the
// completed remainder is selected, so the next typed character replaces it.
// The field owns copies of the words.
#pragma once

#include "wvw/WText.h"

#include <string>
#include <vector>

namespace wvw {

class WTextAutocomplete : public WText {
public:
  explicit WTextAutocomplete(uint32_t maxLength);
  ~WTextAutocomplete() override;

  bool onKey(uint32_t keysym, bool down, Widget* source) override;

  // Replaces the list; a word goes before the longer words it begins, so
  // the shortest completion comes first.
  void setCompletions(const std::vector<std::string>& words, bool caseSensitive);
  const std::vector<std::string>& getCompletions() const { return completions_; }

private:
  // Whether text begins with prefix (by the case mode).
  bool begins(const std::string& text, const std::string& prefix) const;

  std::vector<std::string> completions_;
  bool caseSensitive_;
};

} // namespace wvw
