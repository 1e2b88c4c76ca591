#include "plat/UserErrorText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

struct Operation {
  const char* call;
  const char* action; // "Could not <action> <path>"
};

const Operation operations[] = {
    {"mkDir", "create the folder"},
    {"rmDir", "remove the folder"},
    {"opendir", "open the folder"},
    {"fileOpen", "open the file"},
    {"fileRemove", "remove the file"},
    {"fileExists", "look up"},
    {"stat", "look up"},
    {"fileMakePrivate/stat", "change the permissions of"},
    {"fileMakePrivate/chmod", "change the permissions of"},
    {"fileFlush", "write the file"},
    {"fileSync", "write the file"},
    {"fileClose", "write the file"},
    {"fileRename", "save the file"},
    {"fileRewrite", "write the file"},
};

std::string reasonFor(int err) {
  switch (err) {
  case EEXIST:
    return "a file of that name exists";
  case ENOTDIR:
    return "a part of its path is a file, not a folder";
  case EACCES:
  case EPERM:
    return "permission denied";
  case ENOENT:
    return "no such file or folder";
  case ENOSPC:
    return "the disk is full";
  case EDQUOT:
    return "the disk quota is used up";
  case EROFS:
    return "the file system is read-only";
  case EISDIR:
    return "it is a folder";
  case ENAMETOOLONG:
    return "the name is too long";
  case ELOOP:
    return "too many symbolic links lead to it";
  case EBUSY:
    return "another save of the same file is under way";
  case EIO:
    return "the disk could not be read or written";
  default: {
    std::string text = strerror(err);
    if (!text.empty())
      text[0] = static_cast<char>(tolower(static_cast<unsigned char>(text[0])));
    return text;
  }
  }
}

// The file a replacement's temporary file stands for: "<target>.tmp-<letters>"
// (or "<target>.tmp" as older versions named it).
std::string withoutTempSuffix(const std::string& path) {
  size_t at = path.rfind(".tmp");
  if (at == std::string::npos || at == 0 || path.find('/', at) != std::string::npos)
    return path;
  std::string rest = path.substr(at + 4);
  if (!rest.empty() &&
      (rest[0] != '-' || rest.size() < 2 || !std::all_of(rest.begin() + 1, rest.end(), [](char c) {
         return isalnum(static_cast<unsigned char>(c));
       })))
    return path;
  return path.substr(0, at);
}

} // namespace

std::string userErrorText(const char* message) {
  std::string text = message;
  // The end: ": <system text> (<number>)".
  if (text.empty() || text.back() != ')')
    return text;
  size_t open = text.rfind(" (");
  if (open == std::string::npos)
    return text;
  char* end;
  long err = strtol(text.c_str() + open + 2, &end, 10);
  if (end != text.c_str() + text.size() - 1 || err <= 0)
    return text;
  std::string systemText = std::string(": ") + strerror(static_cast<int>(err));
  if (open < systemText.size() ||
      text.compare(open - systemText.size(), systemText.size(), systemText) != 0)
    return text;
  // Before it: "<call>(<path>)".
  std::string call = text.substr(0, open - systemText.size());
  if (call.empty() || call.back() != ')')
    return text;
  for (const Operation& op : operations) {
    // The operation may follow other text, as in "<context>: fileOpen(...)".
    size_t at = call.rfind(std::string(op.call) + "(");
    if (at == std::string::npos || (at > 0 && call[at - 1] != ' '))
      continue;
    std::string path = call.substr(at + strlen(op.call) + 1);
    path.pop_back();
    if (strcmp(op.call, "fileRename") == 0) {
      // "<temporary file>,<target>": the target is the file the user saved.
      for (size_t comma = path.find(','); comma != std::string::npos;
           comma = path.find(',', comma + 1))
        if (withoutTempSuffix(path.substr(0, comma)) == path.substr(comma + 1)) {
          path = path.substr(comma + 1);
          break;
        }
    } else {
      path = withoutTempSuffix(path);
    }
    return call.substr(0, at) + "Could not " + op.action + " " + path + ": " +
           reasonFor(static_cast<int>(err));
  }
  return text;
}

} // namespace plat
