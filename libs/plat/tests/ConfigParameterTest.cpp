#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/ParameterChangedCallback.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"

#include "CaptureLogger.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using testing_support::ScopedCapture;

namespace {

struct RecordingCallback : plat::ParameterChangedCallback {
  void parameterChanged(plat::ConfigParameter* p, int priority) override {
    calls.emplace_back(p->getName(), priority);
  }
  std::vector<std::pair<std::string, int>> calls;
};

TEST(BoolParameter, TextForms) {
  struct Case {
    const char* text;
    bool accepted;
    bool value;
  } cases[] = {
      {"", true, true},    {"1", true, true},      {"on", true, true},   {"TRUE", true, true},
      {"Yes", true, true}, {"0", true, false},     {"off", true, false}, {"False", true, false},
      {"NO", true, false}, {"maybe", false, true}, {"2", false, true},   {" 1", false, true},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("T");
    plat::BoolParameter b("flag", "a flag", true, false, &set);
    ScopedCapture capture("ConfigParameter", 0);
    EXPECT_EQ(b.setParam(c.text, 50), c.accepted) << "'" << c.text << "'";
    EXPECT_EQ(b.getValue(), c.value) << "'" << c.text << "'";
    EXPECT_EQ(b.getPriority(), c.accepted ? 50 : 100);
    if (!c.accepted)
      EXPECT_TRUE(capture.logger.contains(std::string("Bool parameter flag: invalid value '") +
                                          c.text + "'"));
    else
      EXPECT_TRUE(capture.logger.lines.empty());
  }
}

TEST(BoolParameter, IntAndStrings) {
  plat::ParameterSet set("T");
  plat::BoolParameter b("flag", "a flag", false, false, &set);
  EXPECT_TRUE(b.isBool());
  EXPECT_FALSE(b.isInt() || b.isString() || b.isEnum() || b.isBinary());
  EXPECT_STREQ(b.getValueStr().c_str(), "0");
  EXPECT_TRUE(b.setParamInt(7, 50));
  EXPECT_TRUE(b);
  EXPECT_EQ(b.getValueInt(), 1);
  EXPECT_STREQ(b.getValueStr().c_str(), "1");
}

TEST(IntParameter, TextForms) {
  struct Case {
    const char* text;
    bool accepted;
    int value;
  } cases[] = {
      {"7", true, 7},
      {"0x0a", true, 10},
      {"010", true, 8},
      {"-5", true, -5},
      {"3abc", true, 3},
      {"10", true, 10},
      {"11", false, 1},
      {"-6", false, 1},
      {"", false, 1},
      {"abc", false, 1},
      {"0x", true, 0},
      // Narrowed to 32 bits these would land inside the range.
      {"4294967297", false, 1},
      {"0x100000002", false, 1},
      {"99999999999999999999999", false, 1},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("T");
    plat::IntParameter i("count", "a count", 1, -5, 10, false, &set);
    EXPECT_EQ(i.setParam(c.text, 50), c.accepted) << c.text;
    EXPECT_EQ(i.getValue(), c.value) << c.text;
    EXPECT_EQ(i.getPriority(), c.accepted ? 50 : 100) << c.text;
  }
}

TEST(IntParameter, DefaultIsNotRangeCheckedButSetsAre) {
  plat::ParameterSet set("T");
  RecordingCallback cb;
  plat::IntParameter i("count", "a count", 99, 0, 10, false, &set);
  i.setCallback(&cb);
  EXPECT_EQ(int(i), 99);
  EXPECT_FALSE(i.setParamInt(11, 50));
  EXPECT_FALSE(i.setValue(-1, 50));
  EXPECT_TRUE(cb.calls.empty());
  EXPECT_TRUE(i.setParamInt(10, 50));
  EXPECT_EQ(i.getValueInt(), 10);
  EXPECT_STREQ(i.getValueStr().c_str(), "10");
  EXPECT_EQ(i.getMin(), 0);
  EXPECT_EQ(i.getMax(), 10);
  EXPECT_EQ(cb.calls.size(), 1u);
}

TEST(IntParameter, FullRangeByDefault) {
  plat::ParameterSet set("T");
  plat::IntParameter i("n", "n", 0, INT_MIN, INT_MAX, false, &set);
  EXPECT_TRUE(i.setParam("-2147483648", 50));
  EXPECT_EQ(i.getValue(), INT_MIN);
  EXPECT_TRUE(i.setParam("2147483647", 50));
  EXPECT_EQ(i.getValue(), INT_MAX);
  EXPECT_FALSE(i.setParam("2147483648", 50));
  EXPECT_FALSE(i.setParam("-2147483649", 50));
  EXPECT_EQ(i.getValue(), INT_MAX);
}

const char* const abx[] = {"A", "B", "X", nullptr};

TEST(EnumParameter, OptionsIgnoringCase) {
  struct Case {
    const char* text;
    bool accepted;
    int index;
  } cases[] = {
      {"x", true, 2},  {"X", true, 2}, {"a", true, 0},  {"b", true, 1},
      {"D", false, 1}, {"", false, 1}, {"1", false, 1},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("T");
    plat::EnumParameter e("mode", "a mode", "b", abx, false, &set);
    EXPECT_EQ(e.setParam(c.text, 50), c.accepted) << c.text;
    EXPECT_EQ(e.getValueInt(), c.index) << c.text;
    EXPECT_STREQ(e.getValueStr().c_str(), abx[c.index]);
  }
  plat::ParameterSet set("T");
  plat::EnumParameter e("mode", "a mode", "nonesuch", abx, false, &set);
  EXPECT_EQ(e.getValue(), 0);
  EXPECT_TRUE(e.isEnum() && e.isInt());
  EXPECT_FALSE(e.setParamInt(3, 50));
  EXPECT_TRUE(e.setParamInt(2, 50));
  EXPECT_STREQ(e.getOptionName(), "X");
}

TEST(StringParameter, StoresUtf8AndRefusesInvalid) {
  plat::ParameterSet set("T");
  plat::StringParameter s("name", "a name", "def", false, &set);
  RecordingCallback cb;
  s.setCallback(&cb);
  EXPECT_TRUE(s.setParam("caf\xc3\xa9", 50));
  EXPECT_STREQ(s.getValue().c_str(), "caf\xc3\xa9");
  EXPECT_TRUE(s.isString());
  EXPECT_EQ(s.getValueInt(), 0);
  EXPECT_FALSE(s.setParamInt(1, 50));

  const char* invalid[] = {"bad\xff", "nul\xc0\x80inside", "\xed\xa0\x80"};
  for (const char* text : invalid) {
    try {
      s.setParam(text, 0);
      FAIL() << "no exception";
    } catch (const plat::Exception& e) {
      EXPECT_STREQ(e.str(), "Invalid UTF-8 encoding for name");
    }
    EXPECT_STREQ(s.getValueStr().c_str(), "caf\xc3\xa9");
    EXPECT_EQ(s.getPriority(), 50);
  }
  EXPECT_EQ(cb.calls.size(), 1u);
}

TEST(StringParameterDeathTest, NullTextsAreFatal) {
  plat::ParameterSet set("T");
  EXPECT_DEATH(plat::StringParameter("s", "d", nullptr, false, &set),
               "Default value <null> for s not allowed");
  plat::StringParameter s("s2", "d", "", false, &set);
  EXPECT_DEATH(s.setParam(nullptr, 50), "setParam\\(<null>\\) for s2 not allowed");
}

TEST(BinaryParameter, HexTextAndBytes) {
  plat::ParameterSet set("T");
  const unsigned char def[] = {0x01, 0xab};
  plat::BinaryParameter b("secret", "a secret", 2, def, false, &set);
  EXPECT_STREQ(b.getValueStr().c_str(), "01ab");
  EXPECT_TRUE(b.isBinary());

  struct Case {
    const char* text;
    bool accepted;
    const char* inForce;
  } cases[] = {
      {"0aFf", true, "0aff"},         {"", true, ""}, {"abc", false, ""}, {"zz", false, ""},
      {"DEADbeef", true, "deadbeef"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(b.setParam(c.text, 50), c.accepted) << c.text;
    EXPECT_STREQ(b.getValueStr().c_str(), c.inForce) << c.text;
  }
  const unsigned char bytes[] = {1, 2, 3};
  b.setParamBinary(3, bytes, 0);
  plat::MBuf<unsigned char> out;
  b.getValueBinary(out);
  EXPECT_EQ(out, plat::MBuf<unsigned char>(bytes, 3));
  EXPECT_EQ(b.getPriority(), 0);
}

TEST(BinaryParameter, NeverLogsItsBytes) {
  plat::ParameterSet set("T");
  ScopedCapture capture("ConfigParameter", 1000);
  plat::BinaryParameter b("pw", "password", 0, nullptr, false, &set);
  ASSERT_TRUE(b.setParam("5ec7e75ec7e7", 50));
  const unsigned char bytes[] = {0x5e, 0xc7, 0xe7};
  b.setParamBinary(3, bytes, 0);
  ASSERT_EQ(capture.logger.lines.size(), 3u);
  EXPECT_EQ(capture.logger.lines[1].text, "set pw(Binary) to 6 bytes, priority 50");
  EXPECT_EQ(capture.logger.lines[2].text, "set pw(Binary), priority 0");
  for (const auto& line : capture.logger.lines) {
    EXPECT_EQ(line.text.find("5ec7"), std::string::npos) << line.text;
    EXPECT_EQ(line.level, 100);
  }
}

TEST(ConfigParameter, TracesEverySet) {
  plat::ParameterSet set("T");
  ScopedCapture capture("ConfigParameter", 100);
  plat::BoolParameter b("b", "d", true, false, &set);
  plat::IntParameter i("i", "d", 3, INT_MIN, INT_MAX, false, &set);
  i.setParam("4", 50);
  plat::StringParameter s("s", "d", "x", false, &set);
  std::vector<std::string> expected = {
      "set b(Bool) to 1, priority 100",
      "set i(Int) to 4, priority 50",
      "set s(String) to x, priority 100",
  };
  ASSERT_EQ(capture.logger.lines.size(), expected.size());
  for (size_t n = 0; n < expected.size(); n++)
    EXPECT_EQ(capture.logger.lines[n].text, expected[n]);
}

TEST(ConfigParameter, PriorityLayering) {
  plat::ParameterSet set("T");
  plat::IntParameter i("n", "d", 1, 0, 100, false, &set);
  EXPECT_EQ(i.getPriority(), 100);
  ASSERT_TRUE(i.setParam("50", 50));
  ASSERT_TRUE(i.setParam("0", 0));
  EXPECT_EQ(i.getValue(), 0);
  EXPECT_EQ(i.getPriority(), 0);
  ASSERT_TRUE(i.setParam("70", 70)); // a larger number does not win
  EXPECT_EQ(i.getValue(), 0);
  i.unsetParam(0);
  EXPECT_EQ(i.getValue(), 50);
  EXPECT_EQ(i.getPriority(), 50);
  i.unsetParam(100);
  i.unsetParam(100);
  EXPECT_EQ(i.getValueStrs().count(100), 1u);
  i.unsetFileValues();
  EXPECT_EQ(i.getValue(), 70);
  i.unsetParam(70);
  EXPECT_EQ(i.getValue(), 1);
  EXPECT_EQ(i.getPriority(), 100);
  // A negative priority beats everything.
  ASSERT_TRUE(i.setParam("9", -1));
  EXPECT_EQ(i.getValue(), 9);
}

TEST(ConfigParameter, CallbackAfterEverySuccessfulSet) {
  plat::ParameterSet set("T");
  plat::BoolParameter b("b", "d", false, false, &set);
  plat::IntParameter i("i", "d", 0, 0, 5, false, &set);
  plat::StringParameter s("s", "d", "", false, &set);
  RecordingCallback cb;
  b.setCallback(&cb);
  i.setCallback(&cb);
  s.setCallback(&cb);
  b.setParam("1", 50);
  b.setParam("1", 50); // same value again: told again
  i.setParam("3", 0);
  i.setParam("4", 50);     // not in force: told anyway
  i.setParam("9", 50);     // refused: not told
  b.setParam("bogus", 50); // refused: not told
  s.setParam("v", 50);
  i.unsetParam(0); // unset: not told
  std::vector<std::pair<std::string, int>> expected = {
      {"b", 50}, {"b", 50}, {"i", 0}, {"i", 50}, {"s", 50}};
  EXPECT_EQ(cb.calls, expected);
}

TEST(ConfigParameter, CopyValuesFrom) {
  plat::ParameterSet set("T");
  plat::StringParameter a("a", "d", "defA", false, &set);
  plat::StringParameter b("b", "d", "defB", false, &set);
  a.setParam("fileA", 50);
  a.setParam("policyA", 0);
  b.setParam("other", 30);
  b.copyValuesFrom(a);
  std::map<int, plat::String> values = b.getValueStrs();
  ASSERT_EQ(values.size(), 3u);
  EXPECT_STREQ(values[0].c_str(), "policyA");
  EXPECT_STREQ(values[50].c_str(), "fileA");
  EXPECT_STREQ(values[100].c_str(), "defA");
  a.copyValuesFrom(a);
  EXPECT_EQ(a.getValueStrs().size(), 3u);
}

TEST(ConfigParameter, CloneCopiesKindRangeAndValuesButNotCallback) {
  plat::ParameterSet from("F");
  plat::ParameterSet to("T");
  RecordingCallback cb;
  plat::IntParameter i("i", "int d", 5, 0, 9, true, &from);
  i.setParam("7", 50);
  i.setCallback(&cb);
  plat::EnumParameter e("e", "enum d", "B", abx, false, &from);
  const unsigned char bytes[] = {9};
  plat::BinaryParameter bin("bin", "bin d", 1, bytes, false, &from);
  std::unique_ptr<plat::ConfigParameter> ci(i.clone(&to));
  std::unique_ptr<plat::ConfigParameter> ce(e.clone(&to));
  std::unique_ptr<plat::ConfigParameter> cbin(bin.clone(&to));
  EXPECT_EQ(to.find("i"), ci.get());
  EXPECT_STREQ(ci->getDescription(), "int d");
  EXPECT_TRUE(ci->isHidden());
  EXPECT_EQ(ci->getValueInt(), 7);
  EXPECT_EQ(ci->getPriority(), 50);
  EXPECT_FALSE(ci->setParam("10", 0));
  EXPECT_EQ(ci->getCallback(), nullptr);
  EXPECT_TRUE(ce->isEnum());
  EXPECT_STREQ(ce->getValueStr().c_str(), "B");
  EXPECT_TRUE(ce->setParam("x", 50));
  EXPECT_STREQ(cbin->getValueStr().c_str(), "09");
}

TEST(ConfigParameter, RegistersInGlobalWhenNoSetGiven) {
  static plat::BoolParameter globalFlag("ConfigParameterTestGlobalFlag", "d", false);
  EXPECT_EQ(plat::ParameterSet::global().find("configparametertestglobalflag"), &globalFlag);
  EXPECT_EQ(globalFlag.getSet(), &plat::ParameterSet::global());
}

} // namespace
