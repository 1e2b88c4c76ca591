#include "plat/ConfigurationFile.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ReplacementFile.h"
#include "plat/unix/OwnedFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static plat::LogWriter vlog("ConfigurationFile");

namespace plat {

void ConfigurationFile::unescape(char* line) {
  char* out = line;
  for (const char* in = line; *in; in++) {
    if (*in != '\\') {
      *out++ = *in;
      continue;
    }
    in++;
    if (*in == '\\')
      *out++ = '\\';
    else if (*in == 'n')
      *out++ = '\n';
    else
      throw Exception("bad escape code in Value!");
  }
  *out = '\0';
}

void ConfigurationFile::appendEscaped(DString& out, const char* text) {
  for (const char* p = text; *p; p++) {
    if (*p == '\\')
      out.append("\\\\");
    else if (*p == '\n')
      out.append("\\n");
    else
      out.append(p, 1);
  }
}

std::string ConfigurationFile::readContent(const char* path) {
  const bool standardInput = strcmp(path, "-") == 0;
  // Opened without waiting, so a pipe without a writer does not block the
  // program before it can be refused. Standard input stays open: only a file
  // opened here is owned.
  os::OwnedFd owned(standardInput ? -1
                                  : ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  const int fd = standardInput ? 0 : owned.get();
  if (fd < 0)
    throw SystemExceptionFmt("fileOpen(%s)", errno, path);
  if (!standardInput) {
    struct stat st;
    if (fstat(fd, &st) != 0)
      throw SystemExceptionFmt("fileOpen(%s)", errno, path);
    // A pipe could block for ever, and a block device would be read as one
    // huge line. A character device is read up to the bound (/dev/null, put
    // in place of the file, reads as empty); a folder is left to the read,
    // which tells why it cannot be read.
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISBLK(st.st_mode))
      throw ExceptionFmt("%s: not a regular file", path);
    if (S_ISREG(st.st_mode) && st.st_size > maxFileBytes)
      throw ExceptionFmt("%s: larger than a configuration file can be (over %lld bytes)", path,
                         maxFileBytes);
    if (fcntl(fd, F_SETFL, 0) != 0)
      throw SystemExceptionFmt("fileOpen(%s)", errno, path);
  }
  std::string content;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw SystemException("Error reading from file", errno);
    if (n == 0)
      break;
    // A file that grows while it is read, or a device without end, stops at
    // the bound all the same.
    if (content.size() + static_cast<size_t>(n) > static_cast<size_t>(maxFileBytes))
      throw ExceptionFmt("%s: larger than a configuration file can be (over %lld bytes)", path,
                         maxFileBytes);
    content.append(chunk, static_cast<size_t>(n));
  }
  // A byte order mark that an editor put at the start of the file is not
  // part of the first name, which would otherwise name nothing.
  if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
    content.erase(0, 3);
  return content;
}

bool ConfigurationFile::nextLine(const std::string& content, size_t* pos, String* line) {
  if (*pos >= content.size())
    return false;
  size_t end = content.find('\n', *pos);
  if (end == std::string::npos)
    end = content.size();
  // The line's text would end at its first NUL, and the rest of the line
  // would silently be lost (and lost from a file rewritten from it too).
  if (memchr(content.data() + *pos, '\0', end - *pos))
    throw Exception("NUL character in line");
  *line = String(content.data() + *pos, static_cast<int>(end - *pos));
  *pos = end + 1;
  return true;
}

void ConfigurationFile::readParameters(ParameterSet& set, const char* path, int priority) {
  vlog.status("Attempting to read %s Configuration from %s", set.getName(), path);
  std::string content = readContent(path);
  size_t pos = 0;
  String text;
  while (nextLine(content, &pos, &text)) {
    unescape(text.buf());
    set.parseParam(text.c_str(), priority);
  }
}

void ConfigurationFile::writeParameters(const ParameterSet& set, const char* path) {
  vlog.status("Attempting to save %s Configuration to %s", set.getName(), path);
  ReplacementFile file(path, true);
  for (const ParameterSet* s = &set; s; s = s->getNext())
    for (ConfigParameter* p = s->getFirst(); p; p = p->getNext()) {
      if (p->getName()[0] == '_')
        continue;
      DString entry;
      entry.appendFormat("%s=", p->getName());
      appendEscaped(entry, p->getValueStr().c_str());
      entry.append("\n");
      file.writeText(entry.c_str());
    }
  file.commit();
}

void ConfigurationFile::readMap(const char* path, Map& out, const ParameterSet::AliasMap* aliases) {
  std::string content = readContent(path);
  size_t pos = 0;
  String text;
  while (nextLine(content, &pos, &text)) {
    unescape(text.buf());
    const char* equals = strchr(text.c_str(), '=');
    std::string name = equals ? std::string(text.c_str(), equals - text.c_str()) : text.c_str();
    std::optional<std::string> value;
    if (equals)
      value = equals + 1;
    if (aliases) {
      auto alias = aliases->find(name);
      if (alias != aliases->end())
        name = alias->second;
    }
    out.erase(name);
    out.emplace(name, value);
  }
}

void ConfigurationFile::writeMap(const char* path, const Map& map) {
  ReplacementFile file(path, true);
  for (const auto& entry : map) {
    DString line;
    // Names read from a file may hold escaped characters too; writing them
    // escaped keeps the file readable.
    appendEscaped(line, entry.first.c_str());
    if (entry.second) {
      line.append("=");
      appendEscaped(line, entry.second->c_str());
    }
    line.append("\n");
    file.writeText(line.c_str());
  }
  file.commit();
}

void ConfigurationFile::readMapForEdit(const char* path, Map& out,
                                       const ParameterSet::AliasMap* aliases) {
  // Only a missing file starts empty: any other failure would make the
  // rewrite erase every entry, so it is thrown before anything is written.
  try {
    readMap(path, out, aliases);
  } catch (const SystemException& e) {
    if (e.getErrno() != ENOENT)
      throw;
    out.clear();
  }
}

void ConfigurationFile::setValue(const char* path, const char* name, const char* value) {
  Map map;
  readMapForEdit(path, map, nullptr);
  map.erase(name);
  map.emplace(name, value ? std::optional<std::string>(value) : std::nullopt);
  writeMap(path, map);
}

void ConfigurationFile::saveParameters(const ParameterSet& set, const char* path,
                                       const ParameterSet& reference) {
  Map map;
  readMapForEdit(path, map, &set.getAliases());
  for (const ParameterSet* s = &set; s; s = s->getNext())
    for (ConfigParameter* p = s->getFirst(); p; p = p->getNext()) {
      if (p->getName()[0] == '_')
        continue;
      String value = p->getValueStr();
      ConfigParameter* ref = reference.find(p->getName());
      if (ref && strcmp(ref->getValueStr().c_str(), value.c_str()) == 0)
        continue;
      map.erase(p->getName());
      map.emplace(p->getName(), std::string(value.c_str()));
    }
  writeMap(path, map);
}

} // namespace plat
