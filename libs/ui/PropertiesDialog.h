// The content of a tabbed options window: option pages as tab sheets under
// a header with a logo, a mode toggle ("Advanced..." / "Basic...") at the
// left and "OK", "Cancel" and optionally "Apply" at the right. It keeps a
// basic and an advanced list of pages and shows one according to a boolean
// parameter that remembers the user's choice; a page's validator may keep
// the user on it. The page widgets, validators, mode parameter, host window
// and callback are not owned; the page texts, buttons, tab sheets and logo
// are.
#pragma once

#include "plat/BoolParameter.h"

#include "wvw/WImage.h"
#include "wvw/WLabelButton.h"
#include "wvw/WLayout.h"
#include "wvw/WTabSheets.h"
#include "wvw/WTitledTabSheets.h"

#include <string>
#include <vector>

class TXWindow;

namespace ui {

class PropertiesDialog : public wvw::WLayout, public wvw::WTabSheets::Callback {
public:
  class Validator;

  struct Page {
    wvw::Widget* content; // identifies the page
    std::string tabLabel;
    std::string title;
    std::string description;
    Validator* validator; // may be null
  };

  class Callback {
  public:
    virtual ~Callback() = default;
    virtual void apply() = 0;
    virtual void cancel() = 0;
  };

  class Validator {
  public:
    virtual ~Validator() = default;
    // Whether the page's values may be applied or the page may be left.
    virtual bool validate(const Page& page) = 0;
  };

  // Each list must hold at least one page.
  PropertiesDialog(TXWindow* host, const std::vector<Page>& basic,
                   const std::vector<Page>& advanced, plat::BoolParameter* modeParam,
                   bool showApply, bool showToggle);
  ~PropertiesDialog() override;

  bool onClick(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  bool sheetChanging(int oldIndex, int newIndex) override;

  void setCallback(Callback* callback) { callback_ = callback; }
  // Drops the advanced page with that content widget and rebuilds.
  void removeAdvancedPage(wvw::Widget* content);

  bool isClosed() const { return close_; }
  wvw::WLabelButton* getOkButton() { return &ok_; }
  wvw::WLabelButton* getCancelButton() { return &cancel_; }
  wvw::WLabelButton* getApplyButton() { return &apply_; }
  wvw::WLabelButton* getToggleButton() { return &toggle_; }
  wvw::WTitledTabSheets* getTabSheets() { return &tabSheets_; }
  wvw::WImage* getLogo() { return &logo_; }

private:
  void rebuild();
  const std::vector<Page>& activeList() const;
  const Page* pageOfSheet(int index) const;

  int spacing_;
  TXWindow* host_;
  plat::BoolParameter* modeParam_;
  std::vector<Page> basic_;
  std::vector<Page> advanced_;
  wvw::WLabelButton ok_;
  wvw::WLabelButton cancel_;
  wvw::WLabelButton apply_;
  wvw::WLabelButton toggle_;
  wvw::WImage logo_;
  wvw::WTitledTabSheets tabSheets_;
  rfb::Point contentPosition_;
  int sheetsWidth_;
  int sheetsHeight_;
  bool close_;
  bool rebuilding_;
  Callback* callback_;
};

} // namespace ui
