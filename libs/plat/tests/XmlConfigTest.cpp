#include "plat/XmlConfig.h"

#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/XMLNode.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string writeSet(const plat::ParameterSet& set) {
  plat::String out;
  plat::writeXmlConfig(&set, &out);
  return out.c_str();
}

std::string loadError(plat::ParameterSet* set, const char* text) {
  try {
    plat::loadXmlConfigText(set, text);
  } catch (const plat::Exception& e) {
    return e.str();
  }
  return "";
}

// A text that outlives the test, for parameters that borrow their names.
const char* strdupKept(const std::string& s) {
  static std::vector<std::unique_ptr<std::string>> kept;
  kept.emplace_back(new std::string(s));
  return kept.back()->c_str();
}

int countOwn(const plat::ParameterSet& set) {
  int n = 0;
  for (plat::ConfigParameter* p = set.getFirst(); p; p = p->getNext())
    n++;
  return n;
}

std::string options(const plat::ConfigParameter* p) {
  std::string s;
  for (const char* const* o = static_cast<const plat::EnumParameter*>(p)->getOptions(); *o; o++)
    s += std::string(*o) + ",";
  return s;
}

std::string kindOf(const plat::ConfigParameter* p) {
  return p->isBool()     ? "bool"
         : p->isEnum()   ? "enum"
         : p->isInt()    ? "int"
         : p->isBinary() ? "binary"
                         : "string";
}

TEST(XmlConfig, EveryKindRoundTripsWithLimitsChoicesAndPriorities) {
  static const char* const levels[] = {"Low", "Mid", "High", nullptr};
  static const unsigned char bytes[] = {0x01, 0xab, 0xff};
  plat::ParameterSet next("Next");
  plat::ParameterSet set("Test", &next);
  plat::BoolParameter b("Flag", "A flag", false, false, &set);
  plat::IntParameter i("Count", "How many <items> & \"more\"", 7, -5, 500, false, &set);
  plat::EnumParameter e("Level", "The level", "Mid", levels, false, &set);
  plat::StringParameter s("Text", "Some text", "a<b&\"c'", false, &set);
  plat::BinaryParameter bin("Blob", "Bytes", 3, bytes, false, &set);
  plat::BoolParameter hidden("_Internal", "Never written", true, false, &set);
  plat::IntParameter n("Wide", "Whole range", 1, INT_MIN, INT_MAX, true, &next);
  b.setParam("1", 50);
  i.setParam("42", 50);
  i.setParam("-3", 0);
  e.setParam("high", 50);
  s.setParam("caf\xC3\xA9", 0);
  bin.setParam("00", 50);

  std::string doc = writeSet(set);
  EXPECT_EQ(doc.find("_Internal"), std::string::npos);
  EXPECT_NE(doc.find("name=\"Wide\""), std::string::npos);

  plat::ParameterSet loaded("Loaded");
  plat::loadXmlConfigText(&loaded, doc.c_str());
  EXPECT_EQ(countOwn(loaded), 6);
  for (const plat::ConfigParameter* orig :
       std::vector<const plat::ConfigParameter*>{&b, &i, &e, &s, &bin, &n}) {
    const plat::ConfigParameter* p = loaded.find(orig->getName());
    ASSERT_NE(p, nullptr) << orig->getName();
    EXPECT_EQ(kindOf(p), kindOf(orig)) << orig->getName();
    EXPECT_STREQ(p->getDescription(), orig->getDescription());
    EXPECT_FALSE(p->isHidden());
    auto want = orig->getValueStrs();
    auto got = p->getValueStrs();
    ASSERT_EQ(got.size(), want.size()) << orig->getName();
    for (const auto& v : want)
      EXPECT_STREQ(got[v.first].c_str(), v.second.c_str()) << orig->getName() << v.first;
  }
  auto* li = static_cast<const plat::IntParameter*>(loaded.find("Count"));
  EXPECT_EQ(li->getMin(), -5);
  EXPECT_EQ(li->getMax(), 500);
  EXPECT_EQ(li->getValue(), -3);
  auto* lw = static_cast<const plat::IntParameter*>(loaded.find("Wide"));
  EXPECT_EQ(lw->getMin(), INT_MIN);
  EXPECT_EQ(lw->getMax(), INT_MAX);
  EXPECT_EQ(options(loaded.find("Level")), "Low,Mid,High,");
  EXPECT_STREQ(loaded.find("Level")->getValueStr().c_str(), "High");

  // Written again, the loaded set gives the same document, up to order.
  std::string again = writeSet(loaded);
  EXPECT_EQ(again.size(), doc.size());
}

// Texts come back byte for byte: markup characters, line breaks, blanks at
// either end, the empty text and characters beyond ASCII.
TEST(XmlConfig, TextValuesRoundTripWithMarkupLineBreaksAndEmptyTexts) {
  const char* const texts[] = {
      "", "line one\nline two\r\n\tindented ", "<a href=\"x\">&amp; 'q'</a>",
      "caf\xC3\xA9 \xE3\x81\x82", // UTF-8
  };
  plat::ParameterSet set("Texts");
  std::vector<std::unique_ptr<plat::StringParameter>> params;
  for (size_t k = 0; k < sizeof(texts) / sizeof(texts[0]); k++) {
    std::string name = "Text" + std::to_string(k);
    params.emplace_back(new plat::StringParameter(strdupKept(name), texts[k], "", false, &set));
    params.back()->setParam(texts[k], 50);
  }
  std::string doc = writeSet(set);
  plat::ParameterSet loaded("Loaded");
  ASSERT_EQ(loadError(&loaded, doc.c_str()), "") << doc;
  for (const auto& orig : params) {
    const plat::ConfigParameter* p = loaded.find(orig->getName());
    ASSERT_NE(p, nullptr) << orig->getName();
    EXPECT_STREQ(p->getDescription(), orig->getDescription()) << orig->getName();
    EXPECT_STREQ(p->getValueStr().c_str(), orig->getValueStr().c_str()) << orig->getName();
  }
}

TEST(XmlConfig, WritesTheFixedForm) {
  static const char* const choices[] = {"A", "", "B", nullptr};
  plat::ParameterSet set("One");
  plat::EnumParameter e("Pick", "Choose", "B", choices, false, &set);
  plat::IntParameter i("Num", "A number", 5, 0, 10, false, &set);
  e.setParam("a", 0);
  EXPECT_EQ(writeSet(set), std::string(plat::xmlHeader) +
                               "\n<config>\n"
                               "<int    name=\"Num\"\n"
                               "        description=\"A number\"        min=\"0\"\n"
                               "        max=\"10\">\n"
                               "    <value data=\"5\" priority=\"100\"/>\n"
                               "</int>\n"
                               "<enum   name=\"Pick\"\n"
                               "        description=\"Choose\">\n"
                               "    <value data=\"A\" priority=\"0\"/>\n"
                               "    <value data=\"B\" priority=\"100\"/>\n"
                               "    <opt data=\"A\"/>\n"
                               "    <opt data=\"B\"/>\n"
                               "</enum>\n"
                               "</config>\n");
  // Sets without parameters add nothing.
  plat::ParameterSet empty("Empty");
  EXPECT_EQ(writeSet(empty), std::string(plat::xmlHeader) + "\n<config>\n</config>\n");
  plat::writeXmlConfig(&set, nullptr); // nothing to do
}

TEST(XmlConfig, HeaderDeclaresTheDocumentType) {
  std::istringstream in(plat::xmlHeader);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);)
    lines.push_back(l);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "<?xml version=\"1.0\"?>");
  EXPECT_EQ(lines[1], "<!DOCTYPE config [");
  EXPECT_EQ(lines.back(), "]>");
  std::vector<std::string> declarations;
  int groups = 1;
  for (size_t k = 2; k + 1 < lines.size(); k++) {
    const std::string& l = lines[k];
    if (l.empty()) {
      groups++;
      continue;
    }
    ASSERT_EQ(l.compare(0, 4, "  <!"), 0) << l;
    if (l.compare(0, 6, "  <!--") != 0)
      declarations.push_back(l.substr(2));
  }
  EXPECT_EQ(groups, 6);
  const std::vector<std::string> expected = {
      "<!ELEMENT config (bool?,enum?,int?,string?)>",
      "<!ELEMENT value (#PCDATA)>",
      "<!ATTLIST value data CDATA #REQUIRED>",
      "<!ATTLIST value priority CDATA #REQUIRED>",
      "<!ELEMENT bool (value+)>",
      "<!ATTLIST bool name CDATA #REQUIRED>",
      "<!ATTLIST bool description CDATA #REQUIRED>",
      "<!ELEMENT enum (opt+,value+)>",
      "<!ATTLIST enum name CDATA #REQUIRED>",
      "<!ATTLIST enum description CDATA #REQUIRED>",
      "<!ELEMENT opt (#PCDATA)>",
      "<!ATTLIST opt data CDATA #REQUIRED>",
      "<!ELEMENT int (value+)>",
      "<!ATTLIST int name CDATA #REQUIRED>",
      "<!ATTLIST int description CDATA #REQUIRED>",
      "<!ATTLIST int min CDATA #IMPLIED>",
      "<!ATTLIST int max CDATA #IMPLIED>",
      "<!ELEMENT string (value+)>",
      "<!ATTLIST string name CDATA #REQUIRED>",
      "<!ATTLIST string description CDATA #REQUIRED>",
  };
  EXPECT_EQ(declarations, expected);
  // The reader keeps the declaration whole and finds the config element.
  xml::XMLResults res;
  std::string doc = std::string(plat::xmlHeader) + "\n<config/>";
  EXPECT_STREQ(xml::XMLNode::parseString(doc.c_str(), "config", &res).getName(), "config");
  EXPECT_EQ(res.error, 0);
}

TEST(XmlConfig, RefusedDocuments) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"<root><x/></root>", "XML error 1:18 first tag not found"},
      {"", "XML error 1:1 first tag not found"},
      {"<config><a></config>", "XML error 1:21 unmatched end tag"},
      {"<config><int name='a' description='d'><value data='1' priority='50'>",
       "XML error 1:69 unmatched end tag"},
      {"<config><bool description='d'><value data='1' priority='50'/></bool></config>",
       "Incompatible XML config"},
      {"<config><bool name='a'><value data='1' priority='50'/></bool></config>",
       "Incompatible XML config"},
      {"<config><bool name='a' description='d'/></config>", "Incompatible XML config"},
      {"<config><bool name='a' description='d'><value data='1'/></bool></config>",
       "Incompatible XML config"},
      {"<config><bool name='a' description='d'><value priority='1'/></bool></config>",
       "Incompatible XML config"},
      {"<config><float name='a' description='d'><value data='1' priority='1'/></float></config>",
       "Incompatible XML config"},
      // A choice without options is refused rather than built.
      {"<config><enum name='a' description='d'><value data='x' priority='1'/></enum></config>",
       "Incompatible XML config"},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("Refusing");
    EXPECT_EQ(loadError(&set, c.text), c.error) << c.text;
  }
  plat::ParameterSet set("Missing");
  xml::XMLResults notFound;
  xml::XMLNode::parseFile("/nonexistent/config.xml", "config", &notFound);
  try {
    plat::loadXmlConfig(&set, xml::XMLNode(), notFound);
    FAIL();
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "XML file not found.");
  }
}

TEST(XmlConfig, ReaderDefaultsAndCaseOfKinds) {
  plat::ParameterSet set("Reader");
  plat::loadXmlConfigText(
      &set, "<?xml version='1.0'?><config>"
            "<Bool name='On' description='d'><value data='yes' priority='50'/></Bool>"
            "<INT name='Any' description='d'><value data='-2147483648' priority='100'/></INT>"
            "<int name='Small' description='d' min='1' max='3'>"
            "<value data='2' priority='0'/><value data='9' priority='50'/></int>"
            "<enum name='E' description='d'><opt data='x'/><opt data='y'/><opt data='z'/>"
            "<value data='Z' priority='50'/></enum>"
            "<string name='S' description='d &amp; e'><value data='&lt;t&gt;' priority='50'/>"
            "</string>"
            "<binary name='B' description='d'><value data='0aff' priority='50'/></binary>"
            "</config>");
  EXPECT_EQ(countOwn(set), 6);
  EXPECT_TRUE(set.find("on")->isBool());
  EXPECT_EQ(set.find("on")->getValueInt(), 1);
  EXPECT_EQ(set.find("on")->getValueStrs().size(), 2u); // default false at 100 too
  auto* any = static_cast<plat::IntParameter*>(set.find("Any"));
  EXPECT_EQ(any->getMin(), INT_MIN);
  EXPECT_EQ(any->getMax(), INT_MAX);
  EXPECT_EQ(any->getValue(), INT_MIN);
  auto* small = static_cast<plat::IntParameter*>(set.find("Small"));
  EXPECT_EQ(small->getValue(), 2);
  EXPECT_EQ(small->getValueStrs().count(50), 0u); // 9 is out of range: refused
  EXPECT_EQ(options(set.find("E")), "x,y,z,");
  EXPECT_STREQ(set.find("E")->getValueStr().c_str(), "z");
  EXPECT_STREQ(set.find("S")->getDescription(), "d & e");
  EXPECT_STREQ(set.find("S")->getValueStr().c_str(), "<t>");
  EXPECT_STREQ(set.find("B")->getValueStr().c_str(), "0aff");
}

TEST(XmlConfig, LoadingTwiceUpdatesInPlace) {
  plat::ParameterSet set("Xzav");
  std::string first = "<config><int name='Port' description='The port' min='0' max='65535'>"
                      "<value data='5900' priority='100'/><value data='5901' priority='50'/>"
                      "</int><bool name='Flag' description='f'><value data='0' priority='100'/>"
                      "</bool></config>";
  plat::loadXmlConfigText(&set, first.c_str());
  plat::ConfigParameter* port = set.find("Port");
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->getValueInt(), 5901);

  plat::loadXmlConfigText(&set, first.c_str());
  EXPECT_EQ(countOwn(set), 2);
  EXPECT_EQ(set.find("port"), port);

  // The values become those of the new document: 50 is gone, 0 is new.
  plat::loadXmlConfigText(&set, "<config><int name='PORT' description='x'>"
                                "<value data='5900' priority='100'/>"
                                "<value data='6000' priority='0'/></int></config>");
  EXPECT_EQ(countOwn(set), 2);
  EXPECT_EQ(set.find("Port"), port);
  auto values = port->getValueStrs();
  EXPECT_EQ(values.size(), 2u);
  EXPECT_STREQ(values[0].c_str(), "6000");
  EXPECT_EQ(values.count(50), 0u);

  // A parameter cannot change its kind in place.
  EXPECT_EQ(loadError(&set, "<config><string name='Port' description='x'>"
                            "<value data='a' priority='0'/></string></config>"),
            "Incompatible XML config");
  EXPECT_EQ(set.find("Port"), port);
}

TEST(XmlConfig, NamesAreOwnedCopies) {
  plat::ParameterSet set("Owned");
  {
    std::string doc = "<config><enum name='Mode' description='The mode'>"
                      "<opt data='fast'/><opt data='safe'/>"
                      "<value data='safe' priority='50'/></enum></config>";
    plat::loadXmlConfigText(&set, doc.c_str());
    doc.assign(doc.size(), 'x');
  }
  // The document and its tree are gone; the parameter's texts are its own.
  plat::ConfigParameter* p = set.find("mode");
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->getName(), "Mode");
  EXPECT_STREQ(p->getDescription(), "The mode");
  EXPECT_EQ(options(p), "fast,safe,");
  // A copy of the set (as a dialog makes) shares them safely.
  plat::ParameterSet copy(set);
  EXPECT_STREQ(copy.find("Mode")->getValueStr().c_str(), "safe");
}

TEST(XmlConfig, FailurePartWayKeepsWhatWasLoaded) {
  plat::ParameterSet set("Partial");
  EXPECT_EQ(loadError(&set, "<config><bool name='Good' description='d'>"
                            "<value data='1' priority='50'/></bool>"
                            "<bool name='Bad' description='d'/></config>"),
            "Incompatible XML config");
  ASSERT_NE(set.find("Good"), nullptr);
  EXPECT_EQ(set.find("Good")->getValueInt(), 1);
  EXPECT_EQ(set.find("Bad"), nullptr);
}

} // namespace
