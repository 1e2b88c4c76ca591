// Configuration files of name=value lines: reading them into a parameter set
// at a priority, writing a set out, and editing single entries while keeping
// the other lines. In a line "\\" stands for a backslash and "\n" for a
// newline; any other escape is an error. A byte order mark at the start of
// the file is skipped. All writing goes through a
// replacement file, so a failed save leaves the old file as it was.
#pragma once

#include "plat/ParameterSet.h"
#include "plat/String.h"

#include <map>
#include <optional>
#include <string>

namespace plat {

class DString;

class ConfigurationFile {
public:
  // Name -> value (absent for a bare name), names compared ignoring case.
  using Map = std::map<std::string, std::optional<std::string>, ParameterSet::CaseLess>;

  // The largest file the readers take: settings are a few short lines, so
  // anything beyond is not a configuration file, and read whole it would
  // take the memory of the program.
  static constexpr long long maxFileBytes = 1 << 20;

  // Applies each line of the file to the set at the priority. Throws
  // "fileOpen(<path>)" when the file cannot be opened, "<path>: not a
  // regular file" for a pipe, a socket or a block device (which could block
  // for ever, or never end), "<path>: larger than a configuration file can
  // be (over <maxFileBytes> bytes)" (nothing is applied then), "Error
  // reading from file" on a read error, "NUL character in line", "bad escape
  // code in Value!" on a bad escape (the lines before either stay applied)
  // and the UTF-8 error of string parameters.
  static void readParameters(ParameterSet& set, const char* path, int priority);
  // Writes name=value for every parameter of the set and the sets linked
  // after it, except names beginning with '_'.
  static void writeParameters(const ParameterSet& set, const char* path);
  // Reads the file's entries; with aliases, alias names are replaced by their
  // targets. Fails like readParameters.
  static void readMap(const char* path, Map& out, const ParameterSet::AliasMap* aliases = nullptr);
  static void writeMap(const char* path, const Map& map);
  // Sets one entry (value nullptr: a bare name) and keeps every other entry.
  // A missing file starts empty; a file that cannot be read or parsed throws
  // and is left untouched.
  static void setValue(const char* path, const char* name, const char* value);
  // Writes into the file every parameter of the set (and of the sets linked
  // after it) whose value differs from the same parameter in reference,
  // keeping the file's other entries. Fails like setValue.
  static void saveParameters(const ParameterSet& set, const char* path,
                             const ParameterSet& reference);

  // Undoes the escapes in place; throws "bad escape code in Value!".
  static void unescape(char* line);
  // Appends the text with backslash and newline escaped.
  static void appendEscaped(DString& out, const char* text);

private:
  // The whole content of the file (of standard input for "-"), without a
  // byte order mark at its start; refuses what the readers must not read.
  static std::string readContent(const char* path);
  // The next line of the content from *pos, without its newline; false at
  // the end. Throws "NUL character in line".
  static bool nextLine(const std::string& content, size_t* pos, String* line);
  static void readMapForEdit(const char* path, Map& out, const ParameterSet::AliasMap* aliases);
};

} // namespace plat
