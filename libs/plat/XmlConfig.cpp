#include "plat/XmlConfig.h"

#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/DString.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/XMLNode.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <strings.h>
#include <vector>

static plat::LogWriter vlog("XmlConfig");

namespace plat {

const char* const xmlHeader = "<?xml version=\"1.0\"?>\n"
                              "<!DOCTYPE config [\n"
                              "  <!-- The document holds one element per parameter, -->\n"
                              "  <!-- named after the kind of the parameter. -->\n"
                              "  <!ELEMENT config (bool?,enum?,int?,string?)>\n"
                              "\n"
                              "  <!-- A value of a parameter: its text and its priority. -->\n"
                              "  <!ELEMENT value (#PCDATA)>\n"
                              "  <!ATTLIST value data CDATA #REQUIRED>\n"
                              "  <!ATTLIST value priority CDATA #REQUIRED>\n"
                              "\n"
                              "  <!-- A boolean parameter: name, description and values. -->\n"
                              "  <!ELEMENT bool (value+)>\n"
                              "  <!ATTLIST bool name CDATA #REQUIRED>\n"
                              "  <!ATTLIST bool description CDATA #REQUIRED>\n"
                              "\n"
                              "  <!-- A choice: name, description, the options and values. -->\n"
                              "  <!ELEMENT enum (opt+,value+)>\n"
                              "  <!ATTLIST enum name CDATA #REQUIRED>\n"
                              "  <!ATTLIST enum description CDATA #REQUIRED>\n"
                              "  <!ELEMENT opt (#PCDATA)>\n"
                              "  <!ATTLIST opt data CDATA #REQUIRED>\n"
                              "\n"
                              "  <!-- An integer parameter: name, description, optional -->\n"
                              "  <!-- minimum and maximum, and values. -->\n"
                              "  <!ELEMENT int (value+)>\n"
                              "  <!ATTLIST int name CDATA #REQUIRED>\n"
                              "  <!ATTLIST int description CDATA #REQUIRED>\n"
                              "  <!ATTLIST int min CDATA #IMPLIED>\n"
                              "  <!ATTLIST int max CDATA #IMPLIED>\n"
                              "\n"
                              "  <!-- A text parameter: name, description and values. -->\n"
                              "  <!ELEMENT string (value+)>\n"
                              "  <!ATTLIST string name CDATA #REQUIRED>\n"
                              "  <!ATTLIST string description CDATA #REQUIRED>\n"
                              "]>";

namespace {

const char* const incompatible = "Incompatible XML config";

// The texts a parameter read from a document owns. Parameters only borrow
// their name, description and options, so each kind below holds its texts
// in a base constructed before the parameter itself.
struct OwnedTexts {
  String name;
  String description;
  std::vector<String> options;
  std::vector<const char*> optionList; // null-terminated, into options
};

class XmlBoolParameter : private OwnedTexts, public BoolParameter {
public:
  XmlBoolParameter(OwnedTexts&& t, ParameterSet* set)
      : OwnedTexts(std::move(t)), BoolParameter(name.get(), description.get(), false, false, set) {}
};

class XmlIntParameter : private OwnedTexts, public IntParameter {
public:
  XmlIntParameter(OwnedTexts&& t, int min, int max, ParameterSet* set)
      : OwnedTexts(std::move(t)),
        IntParameter(name.get(), description.get(), 0, min, max, false, set) {}
};

class XmlEnumParameter : private OwnedTexts, public EnumParameter {
public:
  XmlEnumParameter(OwnedTexts&& t, ParameterSet* set)
      : OwnedTexts(std::move(t)),
        EnumParameter(name.get(), description.get(), "", optionList.data(), false, set) {}
};

class XmlStringParameter : private OwnedTexts, public StringParameter {
public:
  XmlStringParameter(OwnedTexts&& t, ParameterSet* set)
      : OwnedTexts(std::move(t)), StringParameter(name.get(), description.get(), "", false, set) {}
};

class XmlBinaryParameter : private OwnedTexts, public BinaryParameter {
public:
  XmlBinaryParameter(OwnedTexts&& t, ParameterSet* set)
      : OwnedTexts(std::move(t)),
        BinaryParameter(name.get(), description.get(), 0, nullptr, false, set) {}
};

// Every parameter created from a document, kept until the process ends: sets
// do not own them, and copies of sets borrow their texts.
std::vector<std::unique_ptr<ConfigParameter>>& createdParameters() {
  static std::vector<std::unique_ptr<ConfigParameter>> params;
  return params;
}

enum Kind { kindBool, kindInt, kindEnum, kindString, kindBinary };

bool kindOf(const char* element, Kind* kind) {
  static const struct {
    const char* word;
    Kind kind;
  } kinds[] = {{"bool", kindBool},
               {"int", kindInt},
               {"enum", kindEnum},
               {"string", kindString},
               {"binary", kindBinary}};
  for (const auto& k : kinds) {
    if (element && strcasecmp(element, k.word) == 0) {
      *kind = k.kind;
      return true;
    }
  }
  return false;
}

bool hasKind(const ConfigParameter* p, Kind kind) {
  switch (kind) {
  case kindBool:
    return p->isBool();
  case kindInt:
    return p->isInt() && !p->isEnum();
  case kindEnum:
    return p->isEnum();
  case kindString:
    return p->isString();
  case kindBinary:
    return p->isBinary();
  }
  return false;
}

// A base-10 number as strtol reads it, held to the range of int.
int toInt(const char* text) {
  long v = strtol(text, nullptr, 10);
  if (v < INT_MIN)
    return INT_MIN;
  if (v > INT_MAX)
    return INT_MAX;
  return static_cast<int>(v);
}

ConfigParameter* findOwn(const ParameterSet* set, const char* name) {
  for (ConfigParameter* p = set->getFirst(); p; p = p->getNext())
    if (strcasecmp(p->getName(), name) == 0)
      return p;
  return nullptr;
}

ConfigParameter* create(ParameterSet* set, Kind kind, const xml::XMLNode& element,
                        OwnedTexts&& texts) {
  ConfigParameter* p = nullptr;
  switch (kind) {
  case kindBool:
    p = new XmlBoolParameter(std::move(texts), set);
    break;
  case kindInt: {
    const char* min = element.attributeValue("min");
    const char* max = element.attributeValue("max");
    p = new XmlIntParameter(std::move(texts), min ? toInt(min) : INT_MIN,
                            max ? toInt(max) : INT_MAX, set);
    break;
  }
  case kindEnum: {
    int index = 0;
    for (xml::XMLNode opt = element.childNamedFrom("opt", &index); !opt.isEmpty();
         opt = element.childNamedFrom("opt", &index))
      if (const char* data = opt.attributeValue("data"))
        texts.options.emplace_back(data);
    // A choice without options cannot exist.
    if (texts.options.empty())
      throw Exception(incompatible);
    for (const String& o : texts.options)
      texts.optionList.push_back(o.get());
    texts.optionList.push_back(nullptr);
    p = new XmlEnumParameter(std::move(texts), set);
    break;
  }
  case kindString:
    p = new XmlStringParameter(std::move(texts), set);
    break;
  case kindBinary:
    p = new XmlBinaryParameter(std::move(texts), set);
    break;
  }
  createdParameters().emplace_back(p);
  return p;
}

void loadParameter(ParameterSet* set, const xml::XMLNode& element) {
  const char* name = element.attributeValue("name");
  const char* description = element.attributeValue("description");
  if (!name || !description || element.countChildren("value") == 0)
    throw Exception(incompatible);
  Kind kind;
  if (!kindOf(element.getName(), &kind))
    throw Exception(incompatible);

  // Check every value before anything changes.
  std::vector<std::pair<const char*, int>> values;
  int index = 0;
  for (xml::XMLNode v = element.childNamedFrom("value", &index); !v.isEmpty();
       v = element.childNamedFrom("value", &index)) {
    const char* data = v.attributeValue("data");
    const char* priority = v.attributeValue("priority");
    if (!data || !priority)
      throw Exception(incompatible);
    values.emplace_back(data, toInt(priority));
  }

  // Loading a document again updates the parameter already there, so a set
  // that is reloaded keeps one parameter per name, and the values it holds
  // become those of the document.
  ConfigParameter* p = findOwn(set, name);
  if (p) {
    if (!hasKind(p, kind))
      throw Exception(incompatible);
    for (const auto& old : p->getValueStrs()) {
      bool kept = false;
      for (const auto& v : values)
        kept = kept || v.second == old.first;
      if (!kept)
        p->unsetParam(old.first);
    }
  } else {
    OwnedTexts texts;
    texts.name = String(name);
    texts.description = String(description);
    p = create(set, kind, element, std::move(texts));
  }
  for (const auto& v : values)
    if (!p->setParam(v.first, v.second))
      vlog.debug("%s: value refused at priority %d", p->getName(), v.second);
}

} // namespace

void loadXmlConfigText(ParameterSet* set, const char* text) {
  xml::XMLResults results;
  xml::XMLNode root = xml::XMLNode::parseString(text, "config", &results);
  loadXmlConfig(set, root, results);
}

void loadXmlConfig(ParameterSet* set, const xml::XMLNode& root, const xml::XMLResults& results) {
  if (results.error == xml::eXMLFileNotFound)
    throw Exception("XML file not found.");
  if (results.error != xml::eXMLNoError)
    throw ExceptionFmt("XML error %i:%i %s", results.nLine, results.nColumn,
                       xml::XMLNode::errorText(results.error));
  for (int i = 0; i < root.countChildNodes(); i++)
    loadParameter(set, root.childAt(i));
}

void writeXmlConfig(const ParameterSet* set, String* out) {
  if (!out)
    return;
  DString doc;
  doc.appendFormat("%s\n<config>\n", xmlHeader);
  DString name, description, text;
  for (const ParameterSet* s = set; s; s = s->getNext()) {
    for (const ConfigParameter* p = s->getFirst(); p; p = p->getNext()) {
      if (p->getName()[0] == '_')
        continue;
      const char* kind = p->isBool()     ? "bool"
                         : p->isEnum()   ? "enum"
                         : p->isInt()    ? "int"
                         : p->isBinary() ? "binary"
                                         : "string";
      doc.appendFormat("<%-6s name=\"%s\"\n        description=\"%s\"", kind,
                       xml::toXMLString(name, p->getName()),
                       xml::toXMLString(description, p->getDescription()));
      if (!p->isEnum() && p->isInt()) {
        const IntParameter* ip = static_cast<const IntParameter*>(p);
        doc.appendFormat("        min=\"%i\"\n        max=\"%i\"", ip->getMin(), ip->getMax());
      }
      doc.append(">\n");
      for (const auto& v : p->getValueStrs())
        doc.appendFormat("    <value data=\"%s\" priority=\"%i\"/>\n",
                         xml::toXMLString(text, v.second.c_str()), v.first);
      if (p->isEnum()) {
        const char* const* options = static_cast<const EnumParameter*>(p)->getOptions();
        for (int i = 0; options[i]; i++)
          if (options[i][0])
            doc.appendFormat("    <opt data=\"%s\"/>\n", xml::toXMLString(text, options[i]));
      }
      doc.appendFormat("</%s>\n", kind);
    }
  }
  doc.append("</config>\n");
  *out = doc.str();
}

} // namespace plat
