// The downloads window: the widget that shows the downloads list inside the
// file-transfer dialog, one row per share download with an icon, a title, a
// progress bar, a status line and small buttons for the row's actions, with
// a context menu, keys and double click. It is the list's view, creates and
// owns the list (ft::DownloadsDialog) and the rows, the icon chooser, the
// opener of downloads and the message box that shows a download's location.
// The dialog that contains it and the viewport that scrolls it are not owned.
#pragma once

#include "ft/DownloadsDialog.h"
#include "ft/ui/DesktopOpener.h"
#include "ft/ui/FileIconChooser.h"

#include "tx/TXDialog.h"
#include "tx/TXMsgBox.h"
#include "wvw/Style.h"
#include "wvw/WImage.h"
#include "wvw/WLabelMarkedUp.h"
#include "wvw/WLayout.h"
#include "wvw/WLayoutMenu.h"
#include "wvw/WMenuItem.h"
#include "wvw/WViewport.h"
#include "wvw/WViewportChild.h"

#include "plat/Timer.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wvw {
class Font;
}

namespace ft {

class DownloadsUI : public wvw::WLayout,
                    public wvw::WViewportChild,
                    public plat::Timer::Callback,
                    public DownloadsDialog::UI,
                    public DesktopOpener::Callback {
public:
  // What the downloads window needs of the file-transfer dialog that holds
  // it. As the callback of the location message box it enables its input
  // again when the box is closed.
  class Container : public TXDialog::Callback {
  public:
    virtual TXDialog* dialog() = 0;
    virtual void setClearEnabled(bool enabled) = 0;
    virtual void notifyComplete() = 0;
    virtual void notifyFailed() = 0;
    // Shows a text the user must read (a share refused, no download
    // folder) in the dialog's error box; the caller has logged it.
    virtual void showError(const char* text) = 0;
  };

  // One row: a share download as the list sees it, positioned and drawn by
  // its view.
  class Item : public DownloadsDialog::Download {
  public:
    explicit Item(DownloadsUI* owner);

    void setIconPath(const char* path) override;
    void setMultipleIcon() override;
    void setName(const char* name) override;
    void setProgress(std::uint16_t value) override;
    void showProgress() override;
    void hideProgress() override;
    void setStatus(const char* text, bool failed) override;
    void setActions(const std::vector<DownloadsDialog::Action>& actions) override;

    // Geometry relative to the row's top-left corner, for a view W wide.
    int height() const { return progressShown ? 76 : 64; }
    rfb::Rect iconBox() const;
    rfb::Rect badgeBox() const;
    // The actions shown as buttons, in action order.
    std::vector<DownloadsDialog::Action> buttonActions() const;
    int stripLeft(int W) const;
    rfb::Rect buttonRect(int W, int i) const;
    rfb::Rect progressRect(int W) const;
    rfb::Rect titleRect(int W) const;
    rfb::Rect statusRect(int W) const;
    // The filled part of the progress bar's inside, in pixels.
    int filledWidth(int W) const;
    // The button under a point of the row (-1: none).
    int buttonAt(int W, const rfb::Point& p) const;
    bool offers(DownloadsDialog::Action action) const;

    std::vector<DownloadsDialog::Action> actions;
    DownloadsUI* owner;
    bool progressShown = false;
    bool selected = false;
    bool failed = false;
    std::uint16_t progress = 0;
    int hoveredButton = -1;
    std::string name;
    std::string status;
    int top = 0;
    wvw::WImage icon;

  private:
    // Repaints a rectangle of the row.
    void repaint(const rfb::Rect& r);
  };

  // The double-click window, in ms.
  static constexpr int doubleClickMs = 500;

  DownloadsUI(ShareDownloader* shareDownloader, Container* container, wvw::WViewport* viewport);
  ~DownloadsUI() override;

  // "Clear" of the file-transfer dialog: removes every ended download.
  void clearFinished() { downloadsDialog->clearFinished(); }
  // Selects or deselects a row; a row selected is scrolled into view.
  void select(Item* row, bool selected);

  // wvw::Widget
  bool onPointerMove(const rfb::Point& pos, wvw::Widget* source) override;
  bool onButtonPress(int button, wvw::Widget* source) override;
  bool onButtonRelease(int button, wvw::Widget* source) override;
  bool onKey(uint32_t keysym, bool down, wvw::Widget* source) override;
  bool onClick(wvw::Widget* source) override;
  bool onSizeChange(wvw::Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override;

  // wvw::WViewportChild
  void onScroll(const rfb::Point& topLeft) override;
  // plat::Timer::Callback: the double-click window ends.
  bool timerCallback(plat::Timer* timer) override;
  // DesktopOpener::Callback: shows where the download is.
  void openFailed(const char* path) override;

  // DownloadsDialog::UI
  void show() override;
  DownloadsDialog::Download* newDownload() override;
  void addDownload(DownloadsDialog::Download* row) override;
  void removeDownload(DownloadsDialog::Download* row) override;
  void openDownload(const char* path) override;
  void setClearEnabled(bool enabled) override;
  void notifyComplete() override;
  void notifyFailed() override;
  void showMessage(const char* text) override;

  const std::list<Item*>& getRows() const { return rows; }
  Item* getHoveredRow() const { return hoveredRow; }
  wvw::WLabelMarkedUp* getEmptyLabel() { return &emptyLabel; }
  wvw::WLayoutMenu* getMenu() { return &menu; }
  const std::map<wvw::WMenuItem*, DownloadsDialog::Action>& getMenuActions() const {
    return menuActions;
  }
  TXMsgBox* getMessageBox() { return messageBox.get(); }
  DownloadsDialog* getDownloadsDialog() { return downloadsDialog.get(); }
  DesktopOpener* getOpener() { return &opener; }
  FileIconChooser* getIconChooser() { return &iconChooser; }
  int getScrollOffset() const { return scrollOffset; }

private:
  friend class Item;

  void layoutRows();
  // The row's rectangle in the widget, or an empty one.
  rfb::Rect rowRect(const Item* row) const;
  void repaintRow(const Item* row, const rfb::Rect& r);
  void updateHover(const rfb::Point& pos);
  Item* rowAt(const rfb::Point& pos) const;
  Item* selectedRow() const;
  void perform(DownloadsDialog::Action action, Item* row);
  void showMenu(Item* row);
  void clearMenu();
  void drawRow(rfb::WritablePixelBuffer* pb, Item* row);
  void drawText(rfb::WritablePixelBuffer* pb, wvw::Font* font, const rfb::Rect& r,
                const std::string& text, uint32_t pixel);
  void composite(rfb::WritablePixelBuffer* pb, wvw::WImage& image, const rfb::Rect& box);
  wvw::WImage& buttonImage(DownloadsDialog::Action action, bool active);

  FileIconChooser iconChooser;
  Container* fileTransferDialog;
  wvw::Style labelStyle;
  wvw::WLabelMarkedUp emptyLabel;
  wvw::WViewport* viewport;
  int scrollOffset = 0;
  bool destroying = false;
  std::list<Item*> rows;
  Item* hoveredRow = nullptr;
  Item* pressedRow = nullptr;
  int pressedButton = -1;
  wvw::Font* titleFont;
  wvw::Font* statusFont;
  wvw::WImage closeActive, closeImage, pauseActive, pauseImage, playActive, playImage, retryActive,
      retryImage, failImage;
  wvw::WLayoutMenu menu;
  std::vector<std::unique_ptr<wvw::WMenuItem>> menuItems;
  std::map<wvw::WMenuItem*, DownloadsDialog::Action> menuActions;
  std::unique_ptr<TXMsgBox> messageBox;
  plat::Timer timer;
  DesktopOpener opener;
  // Made last: it reports to everything above from its constructor on, and
  // removes the rows through this view when it goes.
  std::unique_ptr<DownloadsDialog> downloadsDialog;
};

} // namespace ft
