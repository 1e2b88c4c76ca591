// The chat window ("Chat - Zav Server"): a menu bar with the chat options,
// the transcript in a scrolling viewport and a one-line entry field. It
// tells the chat peer when it is shown or closed and when it gains or loses
// the keyboard focus; a line typed into it goes into the history (and so the
// transcript) only. Closing it saves the history and shows the kept lines
// afresh. The window owns its controls, the transcript, the options dialog
// and its error box; the history, the chat state and the chat settings are
// not owned.
#pragma once

#include "chat/ChatRenderImpl.h"
#include "chat/ChatWindow.h"
#include "chat/ErrorBox.h"
#include "chat/OptionsDlg.h"
#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "wvw/Style.h"
#include "wvw/WInputHandler.h"
#include "wvw/WMenuBar.h"
#include "wvw/WText.h"
#include "wvw/WViewport.h"

#include <memory>
#include <string>

class ChatOptions;

namespace wvw {
class WMenuGroup;
class WMenuItem;
} // namespace wvw

namespace chat {

class ChatHistory;
class ChatState;

class ChatWindowImpl : public ChatWindow,
                       public TXDialog,
                       public wvw::WInputHandler,
                       public TXDialog::Callback {
public:
  static constexpr int maxLineLength = 1024;

  // configFile is the chat configuration file that the options dialog
  // writes.
  ChatWindowImpl(Display* dpy, ChatOptions* options, const char* configFile);
  ~ChatWindowImpl() override;

  void setHistory(ChatHistory* history) { history_ = history; }
  void setChatState(ChatState* state) { state_ = state; }
  // The transcript, for the history to show its lines in.
  ChatRender* render() { return &transcript_; }

  // Brings the window up and tells the chat peer. Throws plat::Exception
  // when the peer cannot be told; the window then stays unmapped.
  void show() override;

  // Focus changes go to the chat peer; FocusIn clears the urgency hint.
  void handleEvent(TXWindow* window, XEvent* event) override;
  // Closing: unmapped, the peer told, the history saved, the transcript
  // shown afresh from the kept lines. A peer that cannot be told is
  // reported in an error box and the close goes on.
  void deleteWindow(TXWindow* window) override;

  bool onAttach(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  // Return released in the entry field adds the line.
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  // The "Options..." item opens the options dialog.
  bool onClick(wvw::Widget* source) override;
  // The options dialog or the error box ended: input is taken again.
  void dialogFinished(TXDialog* dialog, bool result) override;

  // The sender of the lines typed here: the user's login name and " (Local)".
  const std::string& localLabel() const { return localLabel_; }
  ChatRenderImpl* transcript() { return &transcript_; }
  wvw::WViewport* viewport() { return &viewport_; }
  wvw::WText* inputField() { return &input_; }
  wvw::WMenuBar* menuBar() { return &menuBar_; }
  wvw::WMenuGroup* toolsMenu() { return toolsMenu_; }
  wvw::WMenuItem* optionsItem() { return optionsItem_; }
  OptionsDlg* optionsDialog() { return &optionsDlg_; }
  // The box of the last error shown; null before the first.
  TXMsgBox* errorBox() { return errorBox_.box(); }

private:
  // The transcript raises the urgency hint through this when a line comes
  // while the window is not focused.
  class Urgency : public ChatRenderImpl::Window {
  public:
    explicit Urgency(TXWindow* window) : window_(window) {}
    bool hasFocus() override { return window_->isFocused(); }
    void setUrgent(bool urgent) override { window_->setUrgent(urgent); }

  private:
    TXWindow* window_;
  };

  void layOut();
  void submit();

  wvw::WMenuBar menuBar_;
  wvw::WMenuGroup* toolsMenu_;
  wvw::WMenuItem* optionsItem_;
  wvw::WViewport viewport_;
  Urgency urgency_;
  // The transcript is drawn on the field background: the grey of departed
  // participants' lines would vanish on the window's own.
  wvw::Style transcriptStyle_;
  ChatRenderImpl transcript_;
  ChatHistory* history_ = nullptr;
  ChatState* state_ = nullptr;
  wvw::WText input_;
  OptionsDlg optionsDlg_;
  std::string localLabel_;
  ErrorBox errorBox_{dpy_, this, this, nullptr};
};

} // namespace chat
