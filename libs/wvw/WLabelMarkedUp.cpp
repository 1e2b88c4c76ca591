#include "wvw/WLabelMarkedUp.h"

#include "wvw/Font.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"

#include "plat/Exception.h"
#include "plat/LogWriter.h"

static plat::LogWriter vlog("WLabelMarkedUp");

namespace wvw {

namespace {

// The text without its codes, for a text whose mark-up does not parse: the
// well-formed codes are dropped, a caret that starts no code is dropped, and
// the carets of the result are doubled so that it parses as plain text.
std::string plainText(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    if (*p != '^') {
      out += *p++;
      continue;
    }
    char code = p[1];
    if (code == '^') {
      out += "^^";
      p += 2;
    } else if (code == 'b' || code == 'u' || code == 'n' || code == '}') {
      p += 2;
    } else if (code == 'm' && p[2]) {
      p += 3;
    } else if (code >= '1' && code <= '9') {
      const char* q = p + 1;
      while (*q >= '0' && *q <= '9')
        q++;
      p = *q == '{' ? q + 1 : q;
    } else {
      p++;
    }
  }
  return out;
}

} // namespace

WLabelMarkedUp::WLabelMarkedUp(plat::MarkUp::LinkCallback* linkCallback, const char* text,
                               int hAlign)
    : WLabel(nullptr, hAlign), linkCallback_(linkCallback), layoutWidth_(0), layoutHeight_(0),
      curFont_(nullptr), curUnderline_(false), curLink_(0), hoverLink_(0), linkPressed_(false),
      pressedLink_(0) {
  // The base constructor ran the base's breakLines; set the text now that
  // this class's own can run.
  setText(text);
}

WLabelMarkedUp::~WLabelMarkedUp() = default;

void WLabelMarkedUp::layOut(const char* text) {
  plat::MarkUp::Layout layout(this, wordWrap_ ? width_ - 2 * margin_ : 0);
  plat::MarkUp::parse(text, &layout);
  layoutWidth_ = layout.getWidth();
  layoutHeight_ = layout.getHeight();
}

void WLabelMarkedUp::breakLines() {
  runs_.clear();
  layoutWidth_ = layoutHeight_ = 0;
  if (!hasText_)
    return;
  try {
    layOut(text_.c_str());
  } catch (plat::Exception& e) {
    vlog.error("Bad mark-up in a label's text: %s", e.str());
    runs_.clear();
    layOut(plainText(text_.c_str()).c_str());
  }
  // Align the lines: runs that share a top form one line.
  int y = alignedTop(layoutHeight_);
  for (size_t i = 0; i < runs_.size();) {
    size_t j = i;
    int lineWidth = 0;
    for (; j < runs_.size() && runs_[j].rect.tl.y == runs_[i].rect.tl.y; j++)
      lineWidth += runs_[j].rect.width();
    int x = alignedLeft(lineWidth);
    for (; i < j; i++)
      runs_[i].rect = runs_[i].rect.translate(rfb::Point(x, y));
  }
}

void WLabelMarkedUp::setStyle(int style, int link) {
  curFont_ = style == 1 ? &FontProp::helvB15_u : getStyle()->font;
  curUnderline_ = style == 2 || link != 0;
  curLink_ = link;
}

// Before any text is laid out the current font is the style's.
int WLabelMarkedUp::fontHeight() {
  return int((curFont_ ? curFont_ : getStyle()->font)->height);
}

int WLabelMarkedUp::textWidth(const char* begin, const char* end) {
  return curFont_->textWidth(begin, end);
}

void WLabelMarkedUp::addText(const char* begin, const char* end, int left, int top, int right,
                             int bottom) {
  runs_.push_back(Run{curFont_, curUnderline_, std::string(begin, end), curLink_,
                      rfb::Rect(left, top, right, bottom)});
}

void WLabelMarkedUp::getPreferredSize(int* width, int* height) {
  *width = layoutWidth_ + 2 * margin_;
  *height = layoutHeight_;
}

void WLabelMarkedUp::draw(rfb::WritablePixelBuffer* pb) {
  Style* s = getStyle();
  pb->fillRect(rfb::Rect(0, 0, width_, height_), colourToPixel(s->background, pb));
  for (const Run& run : runs_) {
    rfb::Colour colour = !enabled_                            ? s->disabledTextColour
                         : run.link && run.link == hoverLink_ ? Red
                         : run.link                           ? Blue
                                                              : s->textColour;
    uint32_t pixel = colourToPixel(colour, pb);
    const char* b = run.text.c_str();
    const char* e = b + run.text.size();
    run.font->drawText(pb, b, run.rect.tl, pixel, e);
    if (run.underline) {
      int y = run.rect.tl.y + int(run.font->height) - 2;
      pb->fillRect(rfb::Rect(run.rect.tl.x, y, run.rect.tl.x + run.font->textWidth(b, e), y + 1),
                   pixel);
    }
  }
}

int WLabelMarkedUp::linkAt(const rfb::Point& p) const {
  for (const Run& run : runs_)
    if (run.link && run.rect.contains(p))
      return run.link;
  return 0;
}

void WLabelMarkedUp::setHover(int link) {
  if (link == hoverLink_)
    return;
  hoverLink_ = link;
  invalidate();
}

bool WLabelMarkedUp::onPointerMove(const rfb::Point& pos, Widget* source) {
  if (source == this)
    setHover(linkAt(pos));
  return WLabel::onPointerMove(pos, source);
}

// Links react to the first button only: a wheel notch is a press and a
// release of another button.
bool WLabelMarkedUp::onButtonPress(int button, Widget* source) {
  if (source == this && button == 0 && hoverLink_) {
    if (!linkPressed_) {
      linkPressed_ = true;
      pressedLink_ = hoverLink_;
      invalidate();
    }
    return true;
  }
  return WLabel::onButtonPress(button, source);
}

bool WLabelMarkedUp::onButtonRelease(int button, Widget* source) {
  if (source == this && button == 0 && linkPressed_) {
    // Only the link the press went down on: dragging to another link and
    // releasing there clicks neither.
    int link = hoverLink_ == pressedLink_ ? hoverLink_ : 0;
    hoverLink_ = 0;
    linkPressed_ = false;
    invalidate();
    if (enabled_ && linkCallback_ && link)
      linkCallback_->linkClicked(link);
    return true;
  }
  return WLabel::onButtonRelease(button, source);
}

bool WLabelMarkedUp::onPointerLeave(Widget* source) {
  if (source == this && hoverLink_) {
    hoverLink_ = 0;
    invalidate();
  }
  return WLabel::onPointerLeave(source);
}

void WLabelMarkedUp::setEnabled(bool enabled) {
  hoverLink_ = 0;
  linkPressed_ = false;
  WLabel::setEnabled(enabled);
}

} // namespace wvw
