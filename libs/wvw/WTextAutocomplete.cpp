#include "wvw/WTextAutocomplete.h"

#include "plat/LogWriter.h"

#include <strings.h>

#include <cstring>

static plat::LogWriter vlog("WTextAutocomplete");

namespace wvw {

WTextAutocomplete::WTextAutocomplete(uint32_t maxLength)
    : WText(maxLength, nullptr), caseSensitive_(true) {
}

WTextAutocomplete::~WTextAutocomplete() = default;

bool WTextAutocomplete::begins(const std::string& text, const std::string& prefix) const {
  if (prefix.size() > text.size())
    return false;
  return caseSensitive_ ? text.compare(0, prefix.size(), prefix) == 0
                        : strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

void WTextAutocomplete::setCompletions(const std::vector<std::string>& words, bool caseSensitive) {
  caseSensitive_ = caseSensitive;
  completions_.clear();
  for (const std::string& word : words) {
    auto at = completions_.begin();
    while (at != completions_.end() && !begins(*at, word))
      ++at;
    completions_.insert(at, word);
  }
}

bool WTextAutocomplete::onKey(uint32_t keysym, bool down, Widget* source) {
  if (!down || source != this)
    return WText::onKey(keysym, down, source);
  int caret, anchor;
  getSelection(&caret, &anchor);
  int start = std::min(caret, anchor);
  AliveCheck alive(this);
  bool result = WText::onKey(keysym, down, source);
  if (alive.gone())
    return result;
  getSelection(&caret, &anchor);
  int typed = length();
  if (typed <= start || caret != anchor || caret != typed)
    return result;
  std::string text = getText();
  for (const std::string& word : completions_) {
    if (!begins(word, text))
      continue;
    setText(word.c_str());
    if (!alive.gone())
      setSelection(typed, -1);
    break;
  }
  return result;
}

} // namespace wvw
