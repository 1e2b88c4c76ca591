#include "chat/ChatOptions.h"

#include "plat/ConfigurationFile.h"
#include "plat/DirName.h"
#include "plat/FileOps.h"

ChatOptions::ChatOptions(plat::ParameterSet* next)
    : plat::ParameterSet("ChatOptions", next),
      chatLogFile("ChatLogFile", "Location of the message history file.", "$HOME/.zav/zavchat.xml",
                  false, this),
      keepHistory("KeepHistory", "Keep chat history.", true, false, this),
      expiryDays("ExpiryDays", "Number of days to keep chat history.", 90, INT_MIN, INT_MAX, false,
                 this),
      expiryMessages("ExpiryMessages", "Number of messages to keep in chat history.", 0, INT_MIN,
                     INT_MAX, false, this) {
}

void ChatOptions::saveChanges(const plat::ParameterSet& working, const ChatOptions& live,
                              const char* path) {
  plat::DirName dir(path);
  plat::mkDirWithParents(dir.c_str(), true, false);
  plat::ConfigurationFile::saveParameters(working, path, live);
}
