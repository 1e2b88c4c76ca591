// A top-level dialog window: a widget host window that may draw its own
// decorations, whose content is a canvas (an owned member) that the
// concrete dialog fills with widgets. A modal dialog runs its own event loop
// in show() until it ends and returns its result; a non-modal one returns at
// once. Either reports its end, once a run, to the callback (not owned).
// Closing it through the window manager or its own close button ends it
// with result false. The transient-for window is not owned.
#pragma once

#include "tx/TXDeleteWindowCallback.h"
#include "tx/TXWParentDecorated.h"

#include "wvw/WCanvas.h"

class TXDialog : public TXWParentDecorated, public TXDeleteWindowCallback {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    virtual void dialogFinished(TXDialog* dialog, bool result) = 0;
  };

  TXDialog(Display* dpy, int width, int height, const char* title, bool modal, bool centre,
           TXWindow* transientFor = nullptr);
  ~TXDialog() override;

  // Brings a dialog already shown to the front: an override-redirect one is
  // unmapped and mapped again, a managed one raised and activated.
  void map() override;
  // Centres the dialog again when its size changed (unless the decorations
  // are being switched).
  void setContentSize(int width, int height) override;
  void closeClicked() override;
  void decorationsChanging() override { decorationsChanging_ = true; }
  void decorationsChanged() override { decorationsChanging_ = false; }
  // Ends the dialog with result false.
  void deleteWindow(TXWindow* window) override;
  // Resets the widgets before each showing; nothing here.
  virtual void initDialog() {}

  // Shows the dialog. A modal one serves X events and its own timers until
  // it ends (input for the program's other windows is dropped meanwhile,
  // unless a popup holds the pointer grab) and returns its result; a
  // non-modal one returns true at once. Throws plat::SystemException
  // "select" when waiting for the X connection fails, and
  // os::EndSignal::Ended as soon as the program is asked to end.
  bool show();
  // Adds internal decorations first when asked and not there yet.
  bool showWithDecorations(bool decorate);
  // Adds or removes the internal decorations; a shown dialog is unmapped
  // and mapped again.
  void setDecorations(bool decorate);
  // Maps the dialog and serves its own events until its first Expose was
  // handled (or 100 ms pass without an event).
  void mapAndWaitForExpose();

  void setCallback(Callback* callback) { callback_ = callback; }
  Callback* getCallback() const { return callback_; }
  bool isModal() const { return modal_; }
  bool isDone() const { return done_; }
  bool getResult() const { return result_; }
  wvw::WCanvas* content() { return &content_; }
  TXWindow* transientFor() const { return transientFor_; }

protected:
  // Every way out of a run: sets the result, marks the dialog done, unmaps
  // it and tells the callback (a modal dialog's loop tells it on its way
  // out). The callback may delete a non-modal dialog: nothing may touch the
  // dialog after this returns.
  void endDialog(bool result);

  bool done_;
  bool result_;
  bool modal_;
  bool centre_;
  bool decorationsChanging_;
  wvw::WCanvas content_;
  TXWindow* transientFor_;
  Window transientForWin_;
  Callback* callback_;

private:
  // Tells the callback of the end of this run, unless it was told already.
  void reportFinished();

  bool reported_;
  bool inModalLoop_;
};
