#include "plat/ConfigurationFile.h"

#include "plat/DString.h"
#include "plat/Exception.h"
#include "plat/File.h"
#include "plat/LogWriter.h"
#include "plat/ReplacementFile.h"

#include <cerrno>
#include <cstring>

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

void ConfigurationFile::readParameters(ParameterSet& set, const char* path, int priority) {
  vlog.status("Attempting to read %s Configuration from %s", set.getName(), path);
  File file(path, File::modeRead, true);
  DString line;
  while (file.readLine(line)) {
    String text = line.str();
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
  File file(path, File::modeRead, true);
  DString line;
  while (file.readLine(line)) {
    String text = line.str();
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
