// gtest comes before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tx/TXClipboardWindow.h"

#include "CaptureLogger.h"
#include "TempDir.h"
#include "TxTestDisplay.h"

#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"

#include <X11/Xatom.h>

#include <atomic>
#include <fstream>
#include <thread>

using testing_support::ScopedCapture;
using testing_support::TempDir;
using testing_support::TxTestDisplay;

namespace {

class Owner : public TXClipboardWindow::Callback {
public:
  bool sendPrimary() override { return primary; }
  void clipboardChanged(int length, const char* utf8) override {
    texts.push_back(std::string(utf8, size_t(length)));
  }
  bool primary = false;
  std::vector<std::string> texts;
};

class ClipboardTest : public ::testing::Test {
protected:
  std::string file(const std::string& name, const std::string& bytes) {
    std::string path = dir.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // An xclip owner of the selection serving bytes as target.
  void xclipOwns(const char* selection, const std::string& bytes, const char* target) {
    x.start({"xclip", "-quiet", "-i", "-selection", selection, "-t", target,
             file("in" + std::to_string(files++), bytes)});
  }
  // Finishes the current fetch.
  bool fetched(TXClipboardWindow& clip) {
    return x.pumpUntil([&] { return !clip.fetchPending(); });
  }

  TempDir dir;
  TxTestDisplay x;
  Owner owner;
  int files = 0;
};

} // namespace

TEST_F(ClipboardTest, SelectionPresentAtStartIsNotReported) {
  x.start({"xsel", "--nodetach", "-i", "-b"}, file("start", "already there"));
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD));
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  EXPECT_TRUE(owner.texts.empty());
  // The same owner asked again: its time is not later, so nothing.
  ScopedCapture capture("TXClipboardWindow", 100);
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  EXPECT_TRUE(owner.texts.empty());
  EXPECT_TRUE(capture.logger.contains("selections were old; ignoring"));
}

TEST_F(ClipboardTest, NewTextArrivesOnceAndStringOnlyLatin1BecomesUtf8) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));

  xclipOwns("clipboard", "caf\xE9", "STRING");
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  ASSERT_EQ(owner.texts, std::vector<std::string>({"café"}));

  // Another owner with the same text (now as UTF-8): no second callback.
  Window first = XGetSelectionOwner(x.dpy, xaCLIPBOARD);
  xclipOwns("clipboard", "café", "UTF8_STRING");
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD, first));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  EXPECT_EQ(owner.texts.size(), 1u);

  // New UTF-8 text is taken unchanged.
  Window second = XGetSelectionOwner(x.dpy, xaCLIPBOARD);
  xclipOwns("clipboard", "Grüße €", "UTF8_STRING");
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD, second));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  EXPECT_EQ(owner.texts.back(), "Grüße €");
}

TEST_F(ClipboardTest, PrimaryIsIgnoredUnlessPreferred) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  xclipOwns("primary", "from primary", "UTF8_STRING");
  ASSERT_TRUE(x.waitForOwner(XA_PRIMARY));
  clip.requestSelection(XA_PRIMARY, 0);
  EXPECT_FALSE(clip.fetchPending());
  EXPECT_TRUE(owner.texts.empty());

  owner.primary = true;
  clip.requestSelection(XA_PRIMARY, 0);
  ASSERT_TRUE(fetched(clip));
  EXPECT_EQ(owner.texts, std::vector<std::string>({"from primary"}));
}

TEST_F(ClipboardTest, ServerTextIsServedAsUtf8AndLatin1AndNotFetchedBack) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  clip.setCutText(int(strlen("héllo €")), "héllo €");
  clip.acquireSelections(x.serverTime(clip.win()));
  EXPECT_TRUE(clip.ownsSelection(xaCLIPBOARD));
  EXPECT_TRUE(clip.ownsSelection(XA_PRIMARY));
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}), "héllo €");
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "primary", "-t", "STRING"}), "h\xE9llo ?");
  // Cut buffer 0 holds Latin-1 too.
  int n = 0;
  char* bytes = XFetchBytes(x.dpy, &n);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(bytes, size_t(n)), "h\xE9llo ?");
  XFree(bytes);

  // Our own selection finishes a fetch at once, without a callback.
  clip.requestSelection(xaCLIPBOARD, 0);
  EXPECT_FALSE(clip.fetchPending());
  EXPECT_TRUE(owner.texts.empty());
}

TEST_F(ClipboardTest, CutBufferNewerThanSelectionsWinsWhenEnabled) {
  plat::ConfigParameter* use = plat::ParameterSet::global().get("UseCutBuffer");
  ASSERT_NE(use, nullptr);
  use->setParam("1", 100);
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  x.start({"xsel", "--nodetach", "-i", "-b"}, file("old", "old selection"));
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD));
  // Another client writes cut buffer 0 (Latin-1); the root's PropertyNotify
  // records its time.
  Display* other = XOpenDisplay(x.name().c_str());
  XStoreBytes(other, "cut \xE9t\xE9", 7);
  XSync(other, False);
  XCloseDisplay(other);
  ASSERT_TRUE(x.pumpUntil([] { return TXWindow::cutBufferTime != 0; }));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  use->setParam("0", 100);
  EXPECT_EQ(owner.texts, std::vector<std::string>({"cut été"}));
}

TEST_F(ClipboardTest, TextBeyondThePropertyCapIsCutAtACharacterBoundary) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  // 262144 bytes are read; byte 262143 is the lead byte of an "é".
  std::string text = "a";
  while (text.size() < 300000)
    text += "é";
  xclipOwns("clipboard", text, "UTF8_STRING");
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  ASSERT_EQ(owner.texts.size(), 1u);
  EXPECT_EQ(owner.texts[0].size(), 262143u);
  EXPECT_EQ(owner.texts[0], text.substr(0, 262143));
}

TEST(ClipboardServing, TextLargerThanTheServerTakesIsCutToFit) {
  // A server that takes requests of a few MB only.
  TxTestDisplay x("640x480x24", {"-maxbigreqsize", "1"});
  size_t limit = size_t(XExtendedMaxRequestSize(x.dpy)) * 4;
  Owner owner;
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(x.pumpUntil([&] { return !clip.fetchPending(); }));
  std::string text = "a";
  while (text.size() < limit + 500000)
    text += "é";
  clip.setCutText(int(text.size()), text.data());
  clip.acquireSelections(x.serverTime(clip.win()));
  std::string served = x.run({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"});
  EXPECT_LT(served.size(), limit);
  EXPECT_GT(served.size(), limit - 1000);
  EXPECT_EQ(served, text.substr(0, served.size()));
  EXPECT_EQ(served.size() % 2, 1u) << "cut inside a character";
  // Still connected; the Latin-1 form is half as long and fits whole.
  XSync(x.dpy, False);
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "STRING"}).size(),
            (text.size() + 1) / 2);
}

TEST(ClipboardServing, AsciiTextLargerThanTheServerTakesIsCutToFitInCutBuffer) {
  TxTestDisplay x("640x480x24", {"-maxbigreqsize", "1"});
  size_t limit = size_t(XExtendedMaxRequestSize(x.dpy)) * 4;
  Owner owner;
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(x.pumpUntil([&] { return !clip.fetchPending(); }));
  // Latin-1 is as long as the text itself: the cut buffer gets it all.
  std::string text;
  while (text.size() < limit + 100000)
    text += char('a' + text.size() % 26);
  clip.setCutText(int(text.size()), text.data());
  clip.acquireSelections(x.serverTime(clip.win()));
  XSync(x.dpy, False);
  EXPECT_TRUE(clip.ownsSelection(xaCLIPBOARD));
  int n = 0;
  char* bytes = XFetchBytes(x.dpy, &n);
  ASSERT_NE(bytes, nullptr);
  EXPECT_LT(size_t(n), limit);
  EXPECT_GT(size_t(n), limit - 1000);
  EXPECT_EQ(std::string(bytes, size_t(n)), text.substr(0, size_t(n)));
  XFree(bytes);
  for (const char* target : {"UTF8_STRING", "STRING"}) {
    std::string served = x.run({"xclip", "-o", "-selection", "clipboard", "-t", target});
    EXPECT_EQ(served.size(), size_t(n)) << target;
    EXPECT_EQ(served, text.substr(0, served.size())) << target;
  }
}

namespace {

// Another client that owns PRIMARY and CLIPBOARD at one and the same time
// and serves a different text for each; it runs on a thread of its own with
// its own connection. While held, it keeps its answers to text requests
// back (as a slow application does) and gives them once released, whether
// it still owns the selection or not.
class TwinOwner {
public:
  explicit TwinOwner(const std::string& display) : dpy_(XOpenDisplay(display.c_str())) {
    win_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(dpy_, win_, PropertyChangeMask);
    XChangeProperty(dpy_, win_, XA_STRING, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent ev;
    XWindowEvent(dpy_, win_, PropertyChangeMask, &ev);
    time_ = ev.xproperty.time;
    clipboard_ = XInternAtom(dpy_, "CLIPBOARD", False);
    XSetSelectionOwner(dpy_, XA_PRIMARY, win_, time_);
    XSetSelectionOwner(dpy_, clipboard_, win_, time_);
    XSync(dpy_, False);
    thread_ = std::thread([this] { serve(); });
  }
  void hold() { held_ = true; }
  void release() { held_ = false; }
  // Text requests kept back so far.
  int heldRequests() const { return heldCount_; }

  ~TwinOwner() {
    stop_ = true;
    thread_.join();
    XCloseDisplay(dpy_);
  }

private:
  void serve() {
    targets_ = XInternAtom(dpy_, "TARGETS", False);
    timestamp_ = XInternAtom(dpy_, "TIMESTAMP", False);
    utf8_ = XInternAtom(dpy_, "UTF8_STRING", False);
    std::vector<XSelectionRequestEvent> kept;
    while (!stop_) {
      if (!held_ && !kept.empty()) {
        for (XSelectionRequestEvent& req : kept)
          answer(req);
        kept.clear();
      }
      if (!XPending(dpy_)) {
        pollfd p = {ConnectionNumber(dpy_), POLLIN, 0};
        poll(&p, 1, 10);
        continue;
      }
      XEvent ev;
      XNextEvent(dpy_, &ev);
      if (ev.type != SelectionRequest)
        continue;
      if (held_ && ev.xselectionrequest.target == utf8_) {
        kept.push_back(ev.xselectionrequest);
        heldCount_++;
        continue;
      }
      answer(ev.xselectionrequest);
    }
  }

  void answer(const XSelectionRequestEvent& req) {
    XEvent reply = {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = req.requestor;
    reply.xselection.selection = req.selection;
    reply.xselection.target = req.target;
    reply.xselection.time = req.time;
    reply.xselection.property = req.property;
    if (req.target == timestamp_) {
      long t = long(time_);
      XChangeProperty(dpy_, req.requestor, req.property, XA_INTEGER, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&t), 1);
    } else if (req.target == targets_) {
      long list[2] = {long(targets_), long(utf8_)};
      XChangeProperty(dpy_, req.requestor, req.property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(list), 2);
    } else if (req.target == utf8_) {
      std::string text = req.selection == XA_PRIMARY ? "primary text" : "clipboard text";
      XChangeProperty(dpy_, req.requestor, req.property, utf8_, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    } else {
      reply.xselection.property = None;
    }
    XSendEvent(dpy_, req.requestor, False, 0, &reply);
    XFlush(dpy_);
  }

  Display* dpy_;
  Window win_;
  Time time_;
  Atom clipboard_;
  Atom targets_ = 0, timestamp_ = 0, utf8_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> held_{false};
  std::atomic<int> heldCount_{0};
  std::thread thread_;
};

} // namespace

TEST_F(ClipboardTest, TiedTimestampsKeepTheSelectionAskedFirst) {
  owner.primary = true;
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  {
    TwinOwner twins(x.name());
    clip.requestSelection(0, 0);
    ASSERT_TRUE(fetched(clip));
    EXPECT_EQ(owner.texts, std::vector<std::string>({"primary text"}));

    owner.primary = false;
    owner.texts.clear();
    clip.requestSelection(0, 0);
    ASSERT_TRUE(fetched(clip));
    // CLIPBOARD's time is not later than the one known: nothing new.
    EXPECT_TRUE(owner.texts.empty());
  }
}

TEST_F(ClipboardTest, IncrementalTransferIsDrainedAndCountsAsNoText) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  // xsel hands large text over in increments.
  std::string big(size_t(XExtendedMaxRequestSize(x.dpy)) + 1000, 'x');
  x.start({"xsel", "--nodetach", "-i", "-b"}, file("big", big));
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(x.pumpUntil([&] { return !clip.fetchPending(); }, 4000));
  EXPECT_TRUE(owner.texts.empty());
  // The next owner's text arrives as usual, though its answer comes in the
  // property the increments were using.
  Window first = XGetSelectionOwner(x.dpy, xaCLIPBOARD);
  xclipOwns("clipboard", "small", "UTF8_STRING");
  ASSERT_TRUE(x.waitForOwner(xaCLIPBOARD, first));
  clip.requestSelection(0, 0);
  ASSERT_TRUE(fetched(clip));
  EXPECT_EQ(owner.texts, std::vector<std::string>({"small"}));
}

TEST_F(ClipboardTest, AnswerOfTheOldOwnerArrivingAfterTheServersTextDoesNotReplaceIt) {
  TXClipboardWindow clip(x.dpy, &owner);
  ASSERT_TRUE(fetched(clip));
  TwinOwner twins(x.name());
  twins.hold();
  clip.requestSelection(0, 0);
  ASSERT_TRUE(x.pumpUntil([&] { return twins.heldRequests() == 1; }));
  // The viewer's text comes while the desktop's owner is still answering.
  clip.setCutText(int(strlen("from the viewer")), "from the viewer");
  clip.acquireSelections(x.serverTime(clip.win()));
  ASSERT_TRUE(clip.ownsSelection(xaCLIPBOARD));
  twins.release();
  ASSERT_TRUE(fetched(clip));
  EXPECT_TRUE(owner.texts.empty());
  EXPECT_EQ(x.run({"xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"}),
            "from the viewer");
}
