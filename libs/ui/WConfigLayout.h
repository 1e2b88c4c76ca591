// The base of an option page: a tooltip-showing layout whose check boxes,
// choices and text fields are bound by name to configuration parameters of
// one set. Attaching a bound widget loads it from its parameter; every change
// the user makes is written back at once, at the write priority. A page may
// translate between a parameter's text and a widget's text. The page owns
// its bindings and its tooltip texts; the widgets, parameter sets, display,
// owner window and tooltip owner are not owned.
#pragma once

#include "plat/ConfigParameter.h"
#include "plat/ParameterSet.h"

#include "ui/TooltipLayout.h"

#include "wvw/WCheck.h"
#include "wvw/WCheckBox.h"
#include "wvw/WChoice.h"
#include "wvw/WText.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct _XDisplay;
class TXWParent;

namespace ui {

class WConfigLayout : public TooltipLayout {
public:
  // One parameter of a check box binding, for bindCheckValues.
  struct CheckBinding {
    const char* name;
    const char* checked;
    const char* unchecked;
  };

  // tooltipOwner: the widget relative to which the page's tooltips are
  // placed; null for the page itself.
  WConfigLayout(_XDisplay* dpy, TXWParent* owner, wvw::Widget* tooltipOwner,
                plat::ParameterSet* set, plat::ParameterSet* target = nullptr);
  ~WConfigLayout() override;

  bool onChange(wvw::Widget* source) override;
  bool onAttach(wvw::Widget* source) override;
  // Adjusts a value on its way between a parameter and a widget (toParam:
  // from the widget to the parameter). It may replace *value by a text that
  // outlives the call; the default leaves it.
  virtual void translateValue(const char* name, const char** value, bool toParam);

  // Each throws plat::Exception "Unknown parameter '<name>'" (and binds
  // nothing) when no set knows a name.
  void bindCheck(wvw::WCheckBox* box, const char* name, const char* checked, const char* unchecked);
  // Binds one check box to several parameters; the list ends with a null name.
  void bindCheckValues(wvw::WCheckBox* box, const CheckBinding* values);
  void bindChoice(wvw::WChoice* choice, const char* name);
  void bindText(wvw::WText* text, const char* name);

  plat::ParameterSet* getParameterSet() const { return set_; }
  plat::ParameterSet* getTargetSet() const { return target_; }
  int getWritePriority() const { return writePriority_; }

protected:
  _XDisplay* dpy_;
  TXWParent* owner_;
  int hMargin_;
  int vMargin_;
  plat::ParameterSet* set_;
  plat::ParameterSet* target_;
  int writePriority_;

private:
  struct CheckValue {
    plat::ConfigParameter* param;
    std::string checked;
    std::string unchecked;
    std::unique_ptr<std::string> loaded;
  };

  plat::ConfigParameter* lookUp(const char* name);
  void loadCheck(wvw::WCheck* check, std::vector<CheckValue>& values);
  void write(plat::ConfigParameter* param, const char* text);

  // Keyed by the widget that reports attaches and changes.
  std::map<wvw::Widget*, std::pair<wvw::WCheck*, std::vector<CheckValue>>> checks_;
  std::map<wvw::Widget*, std::pair<wvw::WChoice*, plat::ConfigParameter*>> choices_;
  std::map<wvw::Widget*, std::pair<wvw::WText*, plat::ConfigParameter*>> texts_;
};

} // namespace ui
