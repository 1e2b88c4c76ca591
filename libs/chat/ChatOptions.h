// The chat settings: the parameter set "ChatOptions" with the history file's
// path, whether new lines are kept, and how long (days) or how many (lines)
// kept lines are written and read back; 0 means no limit of that kind. main
// owns the set; the history reads it and the options editing saves it.
#pragma once

#include "plat/BoolParameter.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"

class ChatOptions : public plat::ParameterSet {
public:
  explicit ChatOptions(plat::ParameterSet* next = nullptr);

  // Writes into the chat configuration file at path every setting of working
  // whose value text differs from live's, keeping the file's other entries;
  // the file's directory is created first (private, with its parents).
  // Failures throw plat::Exception before anything is changed.
  static void saveChanges(const plat::ParameterSet& working, const ChatOptions& live,
                          const char* path);

  plat::StringParameter chatLogFile;
  plat::BoolParameter keepHistory;
  plat::IntParameter expiryDays;
  plat::IntParameter expiryMessages;
};
