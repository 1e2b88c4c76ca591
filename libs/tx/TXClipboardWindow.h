// An invisible 1x1 X window (never mapped) that bridges the X selections
// PRIMARY and CLIPBOARD and cut buffer 0 with the server's clipboard text.
// It fetches the newest local selection text for its owner, and owns both
// selections to serve text the server sent. All text it keeps and hands over
// is UTF-8. It never polls: the owner says when to look. The callback (the
// owner) is not owned; the stored text is.
#pragma once

#include "tx/TXWindow.h"

#include "plat/Timer.h"

#include <memory>

class TXClipboardWindow : public TXWindow, public plat::Timer::Callback {
public:
  class Callback {
  public:
    // True when PRIMARY is preferred to CLIPBOARD.
    virtual bool sendPrimary() = 0;
    // New local text (UTF-8, not terminated).
    virtual void clipboardChanged(int length, const char* utf8) = 0;
    virtual ~Callback() = default;
  };

  // Starts the initial fetch, which records the times of the selections
  // present but hands no text over. Needs a current plat::TimerManager.
  TXClipboardWindow(Display* dpy, Callback* callback);
  ~TXClipboardWindow() override;

  // Starts a fetch of the selection (0: the preferred one); time is the
  // time of its change when known, else 0.
  void requestSelection(Atom selection, Time time);
  // Text from the server; offered to local applications by acquireSelections.
  void setCutText(int length, const char* utf8);
  // Puts new server text in cut buffer 0 and takes PRIMARY and CLIPBOARD at
  // time (a valid server time).
  void acquireSelections(Time time);

  void selectionNotify(XSelectionEvent* event, Atom type, int format, int nitems,
                       const unsigned char* data) override;
  bool selectionRequest(Window requestor, Atom selection, Atom target, Atom property) override;
  bool timerCallback(plat::Timer* timer) override;

  // The stored text.
  int textLength() const { return length_; }
  const char* text() const { return text_.get(); }
  bool fetchPending() const { return timer_.isStarted(); }

private:
  // Each step answers true when the fetch is finished.
  bool timestampStep(XSelectionEvent* event, int format, int nitems, const unsigned char* data);
  bool targetsStep(XSelectionEvent* event, int format, int nitems, const unsigned char* data);
  bool textStep(XSelectionEvent* event, Atom type, int format, int nitems,
                const unsigned char* data);
  void finishFetch();
  void newText(int length, const char* utf8);
  void store(int length, const char* utf8);
  const char* atomName(Atom atom);

  Callback* callback_;
  plat::Timer timer_;
  Time latestTime_;
  Atom chosenSelection_;
  int length_;
  std::unique_ptr<char[]> text_;
  bool initialFetch_;
  bool someTimestamp_;
  bool mustAcquire_;
  // The last four atom names looked up for log messages.
  char* names_[4];
  int nextName_;
};
