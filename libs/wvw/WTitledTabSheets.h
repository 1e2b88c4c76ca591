// Tab sheets under a header that shows a title and a description for the
// current sheet, with an optional extra widget at the header's right. The
// texts are owned copies; the extra widget and the contents are not owned.
#pragma once

#include "wvw/Style.h"
#include "wvw/WCanvas.h"
#include "wvw/WLabel.h"
#include "wvw/WLayout.h"
#include "wvw/WTabSheets.h"

#include <string>
#include <utility>
#include <vector>

namespace wvw {

class WTitledTabSheets : public WLayout, public WTabSheets::Callback {
public:
  WTitledTabSheets(Widget* extra, int margin);
  ~WTitledTabSheets() override;

  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  // Shows the new sheet's title; never vetoes.
  bool sheetChanging(int oldIndex, int newIndex) override;

  int addSheet(const char* tabText, const char* title, const char* description, Widget* content,
               int index);
  void removeSheet(int index);
  // The current sheet's content's position in this widget.
  rfb::Point getContentPosition();

  WTabSheets* getSheets() { return &sheets_; }
  WCanvas* getHeader() { return &header_; }
  WLabel* getTitle() { return &title_; }
  WLabel* getDescription() { return &description_; }

private:
  void updateHeader();

  std::vector<std::pair<std::string, std::string>> titles_;
  WTabSheets sheets_;
  Style headerStyle_;
  Style titleStyle_;
  WCanvas header_;
  WLabel title_;
  WLabel description_;
  Widget* extra_;
  int margin_;
  int extraGap_;
  int indent_;
  int headerIndex_;
};

} // namespace wvw
