#include "ui/PlaceCheckBox.h"

namespace ui {

void placeCheckBox(wvw::WLayout* layout, wvw::WLabelCheckBox* box, int x, int y, bool radio) {
  box->setProportions(0, 0);
  int w, h;
  box->getPreferredSize(&w, &h);
  box->setSize(w, h);
  box->setLabelRight(true);
  box->getCheckBox()->getCheck()->setRadio(radio);
  layout->addChildAt(box, rfb::Point(x, y));
}

} // namespace ui
