#include "serverconfig/RuleDialogLayout.h"

namespace serverconfig {

namespace {

const int buttonWidth = 60;
const int buttonHeight = 25;

} // namespace

int placeWrappedText(wvw::WLayout* layout, wvw::WLabel* label, int x, int y, int width) {
  // The preferred height follows the width the text is wrapped to.
  label->setWordWrap(true);
  label->setSize(width, 1);
  int w, h;
  label->getPreferredSize(&w, &h);
  label->setSize(width, h);
  layout->addChildAt(label, rfb::Point(x, y));
  return h;
}

void placeOkCancel(wvw::WLayout* layout, wvw::WLabelButton* ok, wvw::WLabelButton* cancel,
                   int right, int y, int gap) {
  int cancelX = right - buttonWidth;
  ok->setSize(buttonWidth, buttonHeight);
  cancel->setSize(buttonWidth, buttonHeight);
  layout->addChildAt(ok, rfb::Point(cancelX - gap - buttonWidth, y));
  layout->addChildAt(cancel, rfb::Point(cancelX, y));
}

} // namespace serverconfig
