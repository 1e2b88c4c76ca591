// Shows one of several sheets, chosen by a row of tabs that scrolls sideways
// with two arrow buttons when it does not fit. Listeners may veto a change of
// sheet. The tab sheets own their tabs and sheets, not the sheets' contents
// nor the listeners.
#pragma once

#include "wvw/WArrowButton.h"
#include "wvw/WCanvas.h"
#include "wvw/WLayout.h"
#include "wvw/WSheet.h"
#include "wvw/WTab.h"

#include <memory>
#include <vector>

namespace wvw {

class WTabSheets : public WLayout {
public:
  class Callback {
  public:
    virtual ~Callback();
    // False vetoes the change from the old to the new index (-1: none).
    virtual bool sheetChanging(int oldIndex, int newIndex) = 0;
  };

  WTabSheets();
  ~WTabSheets() override;

  // Control+Tab selects the next sheet, Control+Shift+Tab the previous one.
  bool onKey(uint32_t keysym, bool down, Widget* source) override;
  // A tab shows its sheet; the arrow buttons scroll the tab row by 25.
  bool onClick(Widget* source) override;
  bool onSizeChange(Widget* source) override;
  // The largest sheet plus the tab row.
  void getPreferredSize(int* width, int* height) override;

  // The new sheet's index (index -1 appends); the sheet is not shown.
  int addSheet(const char* tabText, Widget* content, int index);
  void removeSheet(int index);
  // -1 shows no sheet.
  void setCurrent(int index);
  int getCurrent() const { return current_; }
  int getCount() const { return int(sheets_.size()); }
  WSheet* getSheet(int index);
  WTab* getTab(int index);
  // The current sheet's content's position in the tab sheets.
  rfb::Point getContentPosition();
  void addCallback(Callback* callback);
  void removeCallback(Callback* callback);

  int getTabOffset() const { return tabOffset_; }
  bool areScrollButtonsShown() const { return scrollButtonsShown_; }
  WArrowButton* getScrollLeft() { return &scrollLeft_; }
  WArrowButton* getScrollRight() { return &scrollRight_; }
  WCanvas* getTabRow() { return &tabRow_; }

private:
  void layoutTabs();
  int tabRowHeight() const { return scrollLeft_.height(); }
  // The right end of the visible part of the tab row.
  int visibleRowEnd() const;
  int rowWidth();

  std::vector<std::unique_ptr<WTab>> tabs_;
  std::vector<std::unique_ptr<WSheet>> sheets_;
  int current_;
  int tabOffset_;
  bool scrollButtonsShown_;
  WArrowButton scrollLeft_;
  WArrowButton scrollRight_;
  WCanvas tabRow_;
  std::vector<Callback*> callbacks_;
};

} // namespace wvw
