// The failure of a file operation told in the user's terms. A failed system
// call's message ("mkDir(/a/b): File exists (17)", see SystemException) is
// for the log; a message box says what could not be done to which file and
// why: "Could not create the folder /a/b: a file of that name exists".
#pragma once

#include <string>

namespace plat {

// The message in the user's terms when it ends in a failed file operation of
// this library (mkDir, rmDir, fileOpen, fileRemove, fileExists, stat,
// opendir, fileMakePrivate, and the replacement file's fileFlush, fileSync,
// fileClose and fileRename), any text before the operation kept in front;
// any other message comes back as it is.
std::string userErrorText(const char* message);

} // namespace plat
