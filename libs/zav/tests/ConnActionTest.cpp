#include "zav/ConnAction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace zav::ConnAction;

std::vector<unsigned> offered(unsigned mode) {
  unsigned count = 99;
  const std::uint32_t* actions = list(mode, &count);
  return std::vector<unsigned>(actions, actions + count);
}

TEST(ConnAction, ListsOfEachMode) {
  EXPECT_EQ(offered(1), (std::vector<unsigned>{0, 2, 3}));
  EXPECT_EQ(offered(2), (std::vector<unsigned>{0, 2, 3}));
  EXPECT_EQ(offered(3), (std::vector<unsigned>{0, 1, 2, 3}));
  EXPECT_EQ(list(2), list(1));
}

TEST(ConnAction, NamesInEveryMode) {
  for (unsigned mode : {1u, 2u, 3u}) {
    EXPECT_STREQ(name(mode, 0), "Show accept/reject prompt");
    EXPECT_STREQ(name(mode, 2), "Show notification message");
    EXPECT_STREQ(name(mode, 3), "Do nothing");
  }
  EXPECT_STREQ(name(1, 1), "Show prompt if user logged on");
  EXPECT_STREQ(name(2, 1), "Show prompt if user logged on");
  EXPECT_STREQ(name(3, 1), "Show prompt if user connected");
}

TEST(ConnAction, IndexOfInEveryMode) {
  struct Case {
    unsigned mode, action;
    int index;
  } cases[] = {{1, 0, 0}, {1, 1, -1}, {1, 2, 1}, {1, 3, 2}, {2, 0, 0}, {2, 1, -1}, {2, 2, 1},
               {2, 3, 2}, {3, 0, 0},  {3, 1, 1}, {3, 2, 2}, {3, 3, 3}, {3, 4, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(indexOf(c.mode, c.action), c.index) << c.mode << " " << c.action;
}

TEST(ConnAction, SettingsToAction) {
  struct Case {
    bool query, onlyIfLoggedOn;
    int timeout;
    unsigned action;
  } cases[] = {{true, false, 4, 0},  {true, false, 0, 0},  {true, true, 0, 1},
               {true, true, 4, 1},   {false, false, 7, 2}, {false, false, 4, 2},
               {false, false, 0, 3}, {false, true, 0, 3},  {false, true, 4, 2}};
  for (const Case& c : cases)
    EXPECT_EQ(fromSettings(c.query, c.onlyIfLoggedOn, c.timeout), c.action)
        << c.query << c.onlyIfLoggedOn << " " << c.timeout;
}

TEST(ConnAction, ActionToSettingsAndBack) {
  struct Case {
    unsigned action;
    bool query, onlyIfLoggedOn;
    int timeout;
  } cases[] = {{0, true, false, 4}, {1, true, true, 4}, {2, false, false, 4}, {3, false, false, 0}};
  for (const Case& c : cases) {
    bool query = !c.query, onlyIfLoggedOn = !c.onlyIfLoggedOn;
    int timeout = -1;
    toSettings(c.action, &query, &onlyIfLoggedOn, &timeout);
    EXPECT_EQ(query, c.query) << c.action;
    EXPECT_EQ(onlyIfLoggedOn, c.onlyIfLoggedOn) << c.action;
    EXPECT_EQ(timeout, c.timeout) << c.action;
    EXPECT_EQ(fromSettings(query, onlyIfLoggedOn, timeout), c.action);
  }
}

TEST(ConnAction, HelpTexts) {
  const std::string intro = "Configure how Zav Server acts when a connection is received:\n\n";
  const std::string prompt = "Show accept/reject prompt:\nPrompt the desktop user to accept or "
                             "reject the connection, or make view only.\n\n";
  const std::string ifUser =
      "Show prompt if user connected:\nPrompt the desktop user if one is connected. If not, "
      "accept the connection and show notification messages.\n\n";
  const std::string notify = "Show notification message:\nAccept the connection and identify "
                             "the Zav Viewer user, as far as possible. Also notifies on "
                             "disconnection.\n\n";
  const std::string nothing = "Do nothing:\nAccept the connection without prompts or "
                              "notifications.";
  EXPECT_EQ(helpText(1), intro + prompt + notify + nothing);
  EXPECT_EQ(helpText(3), intro + prompt + ifUser + notify + nothing);
  // Built once: the same text every time, shared by modes 1 and 2.
  EXPECT_EQ(helpText(1), helpText(2));
  EXPECT_EQ(helpText(3), helpText(3));
}

TEST(ConnAction, Label) {
  EXPECT_STREQ(zav::sConnActionLabel, "When Zav Viewers connect:");
}

TEST(ConnActionDeathTest, OutOfRangeIsFatal) {
  EXPECT_DEATH(name(1, 4), "Assertion 'false' failed");
  EXPECT_DEATH(list(0), "Assertion 'false' failed");
  EXPECT_DEATH(list(4), "Assertion 'false' failed");
  EXPECT_DEATH(helpText(0), "Assertion");
  bool q, o;
  int t;
  EXPECT_DEATH(toSettings(4, &q, &o, &t), "Assertion");
}

} // namespace
