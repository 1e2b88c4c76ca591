#include "plat/ParameterSet.h"

#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/StringParameter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// Runs printHelp into a memory stream and answers the text.
std::string helpText(const plat::ParameterSet& set, bool all, int width, int column) {
  char* buf = nullptr;
  size_t size = 0;
  FILE* f = open_memstream(&buf, &size);
  set.printHelp(all, width, column, f);
  fclose(f);
  std::string text(buf, size);
  free(buf);
  return text;
}

std::map<int, std::string> texts(const plat::ConfigParameter& p) {
  std::map<int, std::string> result;
  for (const auto& entry : p.getValueStrs())
    result[entry.first] = entry.second.c_str();
  return result;
}

TEST(ParameterSet, ListsNewestFirstAndFindsIgnoringCase) {
  plat::ParameterSet set("S");
  plat::BoolParameter a("Alpha", "d", false, false, &set);
  plat::IntParameter b("beta", "d", 0, INT_MIN, INT_MAX, false, &set);
  EXPECT_EQ(set.getFirst(), &b);
  EXPECT_EQ(b.getNext(), &a);
  EXPECT_EQ(set.find("ALPHA"), &a);
  EXPECT_EQ(set.find("alph"), nullptr);
  EXPECT_EQ(set.get("Beta"), &b);
  try {
    set.get("gamma");
    FAIL() << "no exception";
  } catch (const plat::Exception& e) {
    EXPECT_STREQ(e.str(), "Parameter gamma not found");
  }
}

TEST(ParameterSet, ParseParamForms) {
  struct Case {
    const char* item;
    bool accepted;
    const char* flag;  // value text of the boolean "foo" afterwards
    const char* count; // of the integer "count"
    const char* text;  // of the string "text"
  } cases[] = {
      {"--Foo=1", true, "1", "5", "t"},     {"-foo=1", true, "1", "5", "t"},
      {"FOO=1", true, "1", "5", "t"},       {"-foo", true, "1", "5", "t"},
      {"--foo", true, "1", "5", "t"},       {"foo", false, "0", "5", "t"},
      {"-count", false, "0", "5", "t"},     {"-count=7", true, "0", "7", "t"},
      {"text=a=b", true, "0", "5", "a=b"},  {"-text=", true, "0", "5", ""},
      {"nonesuch=1", false, "0", "5", "t"}, {"-", false, "0", "5", "t"},
      {"=1", false, "0", "5", "t"},         {"-foo=maybe", false, "0", "5", "t"},
  };
  for (const Case& c : cases) {
    plat::ParameterSet set("S");
    plat::BoolParameter foo("foo", "d", false, false, &set);
    plat::IntParameter count("count", "d", 5, INT_MIN, INT_MAX, false, &set);
    plat::StringParameter text("text", "d", "t", false, &set);
    EXPECT_EQ(set.parseParam(c.item, 50), c.accepted) << c.item;
    EXPECT_STREQ(foo.getValueStr().c_str(), c.flag) << c.item;
    EXPECT_STREQ(count.getValueStr().c_str(), c.count) << c.item;
    EXPECT_STREQ(text.getValueStr().c_str(), c.text) << c.item;
    int changed =
        (foo.getPriority() == 50) + (count.getPriority() == 50) + (text.getPriority() == 50);
    EXPECT_EQ(changed, c.accepted ? 1 : 0) << c.item;
  }
}

TEST(ParameterSet, SetParamNMatchesExactLength) {
  plat::ParameterSet set("S");
  plat::IntParameter p("abcdef", "d", 0, INT_MIN, INT_MAX, false, &set);
  plat::IntParameter q("abc", "d", 0, INT_MIN, INT_MAX, false, &set);
  EXPECT_TRUE(set.setParamN("abcdef", 3, "4", 50));
  EXPECT_EQ(q.getValue(), 4);
  EXPECT_EQ(p.getValue(), 0);
  EXPECT_FALSE(set.setParamN("abcd", 4, "4", 50));
}

TEST(ParameterSet, LinkedSetsAndAliases) {
  plat::ParameterSet tail("Tail");
  plat::ParameterSet head("Head", &tail);
  plat::BoolParameter onlyInTail("deep", "d", false, false, &tail);
  plat::BoolParameter realName("NewName", "d", false, false, &head);
  head.addAlias("old", "wrong");
  head.addAlias("OLD", "NewName"); // redirects the existing alias
  EXPECT_EQ(head.find("deep"), &onlyInTail);
  EXPECT_TRUE(head.parseParam("deep=1", 50));
  EXPECT_TRUE(onlyInTail);
  EXPECT_EQ(onlyInTail.getPriority(), 50);
  EXPECT_EQ(head.find("Old"), &realName);
  EXPECT_TRUE(head.parseParam("old=1", 50));
  EXPECT_TRUE(realName);
  EXPECT_EQ(head.getAliases().size(), 1u);

  // An alias of the tail set applies when the search reaches it.
  tail.addAlias("ancient", "deep");
  EXPECT_EQ(head.find("ancient"), &onlyInTail);
}

TEST(ParameterSet, CommandLineFormsAndStop) {
  plat::ParameterSet global("G");
  plat::ParameterSet chat("Chat");
  plat::BoolParameter verbose("verbose", "d", false, false, &global);
  plat::BoolParameter quiet("quiet", "d", true, false, &global);
  plat::IntParameter port("port", "d", 0, 0, 65535, false, &global);
  plat::StringParameter name("name", "d", "", false, &global);
  plat::StringParameter nick("nick", "d", "", false, &chat);
  plat::StringParameter chatName("name", "d", "", false, &chat);
  const char* argv[] = {"prog", "-verbose", "-quiet=0", "--port=5900", "name=x",    "-nick",
                        "bob",  "-name",    "y",        "command",     "-verbose=0"};
  int argc = sizeof(argv) / sizeof(argv[0]);
  int next = plat::ParameterSet::parseCommandLine(argc, argv, 1, 50, {&chat, &global});
  EXPECT_EQ(next, 9);
  EXPECT_TRUE(verbose);
  EXPECT_FALSE(quiet);
  EXPECT_EQ(port.getValue(), 5900);
  EXPECT_STREQ(nick.getValue().c_str(), "bob");
  // The chat set is tried first, so both name items land there.
  EXPECT_STREQ(chatName.getValue().c_str(), "y");
  EXPECT_STREQ(name.getValue().c_str(), "");
  EXPECT_EQ(port.getPriority(), 50);

  struct Case {
    std::vector<const char*> args;
    int next;
  } cases[] = {
      {{"p"}, 1},
      {{"p", "-port"}, 1},      // value missing at the end
      {{"p", "-port", "x"}, 1}, // refused value
      {{"p", "-port", "1", "x"}, 3},
      {{"p", "--port", "1"}, 1}, // the two-argument form takes one dash
      {{"p", "cmd", "-verbose"}, 1},
      {{"p", "-unknown", "-verbose"}, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::ParameterSet::parseCommandLine(static_cast<int>(c.args.size()), c.args.data(),
                                                   1, 50, {&global}),
              c.next)
        << c.args.size();
}

TEST(ParameterSet, CopyClonesAllLinkedSetsAndOwnsThem) {
  plat::ParameterSet tail("Tail");
  plat::ParameterSet head("Head", &tail);
  plat::IntParameter t("t", "d", 1, 0, 9, false, &tail);
  plat::IntParameter h1("h1", "d", 2, 0, 9, false, &head);
  plat::IntParameter h2("h2", "d", 3, 0, 9, false, &head);
  head.addAlias("old", "t");
  h2.setParam("4", 50);
  plat::ParameterSet copy(head);
  EXPECT_STREQ(copy.getName(), "Head");
  EXPECT_EQ(copy.getNext(), nullptr);
  // Walked h2, h1, t; pushed at the head, so listed t, h1, h2.
  std::vector<std::string> names;
  for (plat::ConfigParameter* p = copy.getFirst(); p; p = p->getNext())
    names.push_back(p->getName());
  EXPECT_EQ(names, (std::vector<std::string>{"t", "h1", "h2"}));
  EXPECT_NE(copy.find("h2"), &h2);
  EXPECT_EQ(copy.find("h2")->getValueInt(), 4);
  EXPECT_EQ(copy.find("old")->getValueInt(), 1);
  EXPECT_TRUE(copy.sameValuesAs(head) == false); // t is not in head's own list
  copy.find("h2")->setParam("5", 0);
  EXPECT_EQ(h2.getValue(), 4);
}

TEST(ParameterSet, CopySetAndCompareValues) {
  plat::ParameterSet a("A");
  plat::ParameterSet b("B");
  plat::IntParameter a1("x", "d", 1, 0, 9, false, &a);
  plat::StringParameter a2("s", "d", "Text", false, &a);
  plat::IntParameter b1("X", "d", 1, 0, 9, false, &b);
  plat::StringParameter b2("S", "d", "text", false, &b);
  plat::IntParameter b3("onlyB", "d", 1, 0, 9, false, &b);
  EXPECT_TRUE(a.sameValuesAs(b));  // value texts compared ignoring case
  EXPECT_FALSE(b.sameValuesAs(a)); // onlyB is missing from a
  b1.setParam("7", 50);
  b1.setParam("8", 0);
  EXPECT_FALSE(a.sameValuesAs(b));
  a.setValuesFrom(b);
  EXPECT_EQ(a1.getValue(), 8);
  EXPECT_EQ(a1.getPriority(), 0);
  EXPECT_EQ(a1.getValueStrs().count(50), 0u);
  a.copyAllValuesFrom(b);
  EXPECT_EQ(texts(a1), texts(b1));
}

TEST(ParameterSet, ApplyAliasesToStore) {
  struct Store : plat::ParameterSet::KeyValueStore {
    bool hasKey(const char* key, std::string* value) const override {
      auto it = values.find(key);
      if (it == values.end())
        return false;
      if (value)
        *value = it->second;
      return true;
    }
    void setKey(const char* key, const char* value) override { values[key] = value; }
    void removeKey(const char* key) override { values.erase(key); }
    std::map<std::string, std::string, plat::ParameterSet::CaseLess> values;
  };
  plat::ParameterSet set("S");
  set.addAlias("OldA", "NewA");
  set.addAlias("OldB", "NewB");
  set.addAlias("OldC", "NewC");
  Store store;
  store.values = {{"olda", "1"}, {"OldB", "2"}, {"NewB", "kept"}, {"other", "3"}};
  set.applyAliasesTo(store);
  std::map<std::string, std::string, plat::ParameterSet::CaseLess> expected = {
      {"NewA", "1"}, {"NewB", "kept"}, {"other", "3"}};
  EXPECT_EQ(store.values, expected);
}

TEST(ParameterSet, HelpListingGolden) {
  plat::ParameterSet tail("Tail");
  plat::ParameterSet set("Demo", &tail);
  const char* const levels[] = {"Low", "Medium", "High", nullptr};
  plat::IntParameter port("Port", "TCP port to listen on for incoming connections.", 5900, 0, 65535,
                          false, &set);
  plat::BoolParameter secret("Secret", "Hidden unless all are asked for.", false, true, &set);
  plat::StringParameter internal("_Internal", "Never listed.", "x", false, &set);
  plat::EnumParameter level("Level", "Quality of the picture.", "medium", levels, false, &set);
  plat::StringParameter longName(
      "AVeryLongParameterName",
      "A long description that goes on and on so that it has to be wrapped onto a second "
      "line, and perhaps even onto a third line of the listing.",
      "/a/rather/long/default/value/that/does/not/fit/on/the/line", false, &set);
  plat::BoolParameter empty("Empty", "", true, false, &tail);
  const std::string golden =
      "Demo Parameters:\n"
      "  AVeryLongParameterName - A long description that goes on and on so that it\n"
      "                   has to be wrapped onto a second line, and perhaps even onto\n"
      "                   a third line of the listing.\n"
      "                   (default=/a/rather/long/default/value/that/does/not/fit/on/the/line)\n"
      "  Level          - Quality of the picture. (default=Medium)\n"
      "  Port           - TCP port to listen on for incoming connections.\n"
      "                   (default=5900)\n"
      "Tail Parameters:\n"
      "  Empty          - (default=1)\n";
  EXPECT_EQ(helpText(set, false, 79, 14), golden);

  std::string all = helpText(set, true, 79, 14);
  EXPECT_NE(all.find("  Secret         - Hidden unless all are asked for. (default=0)\n"),
            std::string::npos);
  EXPECT_EQ(all.find("_Internal"), std::string::npos);

  plat::ParameterSet empty2("Nothing");
  EXPECT_EQ(helpText(empty2, true, 79, 14), "Nothing Parameters:\n");
}

TEST(ParameterSet, HelpWrapsWithWiderNameColumn) {
  plat::ParameterSet set("W");
  plat::BoolParameter p("Flag",
                        "one two three four five six seven eight nine ten eleven twelve "
                        "thirteen fourteen fifteen",
                        false, false, &set);
  std::string text = helpText(set, false, 79, 20);
  EXPECT_EQ(text, "W Parameters:\n"
                  "  Flag                 - one two three four five six seven eight nine ten\n"
                  "                         eleven twelve thirteen fourteen fifteen (default=0)\n");
}

TEST(ParameterSet, UsageText) {
  EXPECT_STREQ(plat::ParameterSet::usageText(),
               "Parameters can be turned on with -<param> or off with -<param>=0\n"
               "Parameters which take a value can be specified as -<param> <value>\n"
               "Other valid forms are <param>=<value> -<param>=<value> --<param>=<value>\n"
               "Parameter names are case-insensitive.\n");
}

TEST(ParameterSet, ParametersOutlivingOrDyingBeforeTheirSet) {
  auto set = std::make_unique<plat::ParameterSet>("S");
  auto early = std::make_unique<plat::BoolParameter>("early", "d", false, false, set.get());
  plat::BoolParameter late("late", "d", false, false, set.get());
  early.reset(); // unlinks itself
  EXPECT_EQ(set->find("early"), nullptr);
  EXPECT_EQ(set->find("late"), &late);
  set.reset(); // forgets late, which must not touch the dead set
  EXPECT_EQ(late.getSet(), nullptr);
}

} // namespace
