#include "chat/ChatRenderImpl.h"

#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/WViewport.h"

#include <algorithm>
#include <cctype>

namespace chat {

namespace {

bool isBlank(char c) {
  return isspace(static_cast<unsigned char>(c)) != 0;
}

rfb::Colour toRfb(const Colour& c) {
  return rfb::Colour(static_cast<int>(c.red), static_cast<int>(c.green), static_cast<int>(c.blue));
}

const std::string colonText = ":";

std::size_t bytesOf(const ChatRenderImpl::Entry& e) {
  return e.key.size() + e.label.size() + e.text.size();
}

} // namespace

ChatRenderImpl::Window::~Window() = default;

wvw::Font* ChatRenderImpl::headerFont() {
  return &wvw::FontProp::helv15_u;
}
wvw::Font* ChatRenderImpl::labelFont() {
  return &wvw::FontProp::helvB15_u;
}
wvw::Font* ChatRenderImpl::textFont() {
  return &wvw::FontProp::helv15_u;
}

ChatRenderImpl::ChatRenderImpl(wvw::WViewport* viewport, Window* window)
    : viewport_(viewport), window_(window) {
}

void ChatRenderImpl::clear() {
  entries_.clear();
  keys_.clear();
  textBytes_ = 0;
  totalHeight_ = 0;
  scrollPos_ = 0;
  pushContentSize();
  invalidate();
}

void ChatRenderImpl::onScroll(const rfb::Point& topLeft) {
  if (topLeft.y == scrollPos_)
    return;
  scrollPos_ = topLeft.y;
  invalidate();
}

bool ChatRenderImpl::onSizeChange(Widget* source) {
  if (source == this) {
    if (width() != laidOutWidth_)
      relayout();
    scrollToEnd();
  }
  return Widget::onSizeChange(source);
}

void ChatRenderImpl::getPreferredSize(int* width, int* height) {
  *width = 120;
  *height = 20;
}

void ChatRenderImpl::recolour(const char* key, const Colour& colour) {
  auto it = keys_.find(key ? key : "");
  if (it == keys_.end())
    return; // no lines of the participant shown
  it->second.colour = colour;
  it->second.recolouredBefore = nextSeq_;
  invalidate();
}

const Colour& ChatRenderImpl::colourOf(const Entry& e) const {
  if (e.kind != Entry::Message)
    return e.colour;
  auto it = keys_.find(e.key);
  if (it != keys_.end() && e.seq < it->second.recolouredBefore)
    return it->second.colour;
  return e.colour;
}

void ChatRenderImpl::appendHeader(const char* text, const Colour& colour) {
  append(Entry{Entry::Header, std::string(), std::string(), text ? text : "", colour, 0, 0, {}, 0});
}

void ChatRenderImpl::appendMessage(const char* key, const char* label, const char* text,
                                   const Colour& colour) {
  append(Entry{
      Entry::Message, key ? key : "", label ? label : "", text ? text : "", colour, 0, 0, {}, 0});
}

void ChatRenderImpl::beginUpdate() {
}

void ChatRenderImpl::endUpdate() {
  if (window_ && !window_->hasFocus())
    window_->setUrgent(true);
}

void ChatRenderImpl::append(Entry entry) {
  entry.y = totalHeight_;
  entry.height = 0;
  entry.seq = nextSeq_++;
  if (entry.kind == Entry::Message)
    keys_[entry.key].entries++;
  textBytes_ += bytesOf(entry);
  entries_.push_back(std::move(entry));
  Entry& e = entries_.back();
  layout(e);
  totalHeight_ += entrySpacing + e.height;
  trim();
  pushContentSize();
  scrollToEnd();
  invalidate();
}

void ChatRenderImpl::trim() {
  if (entries_.size() <= maxEntries && textBytes_ <= maxTextBytes)
    return;
  while (!entries_.empty() &&
         (entries_.size() > maxEntries / 8 * 7 || textBytes_ > maxTextBytes / 8 * 7)) {
    const Entry& gone = entries_.front();
    if (gone.kind == Entry::Message) {
      auto it = keys_.find(gone.key);
      if (it != keys_.end() && --it->second.entries == 0)
        keys_.erase(it);
    }
    textBytes_ -= bytesOf(gone);
    entries_.pop_front();
  }
  const int shift = entries_.empty() ? totalHeight_ : entries_.front().y;
  for (Entry& e : entries_) {
    e.y -= shift;
    for (Run& r : e.runs) {
      r.top -= shift;
      r.bottom -= shift;
    }
  }
  totalHeight_ -= shift;
  scrollPos_ = std::max(scrollPos_ - shift, 0);
}

void ChatRenderImpl::pushContentSize() {
  if (viewport_)
    viewport_->setContentSize(rfb::Point(width(), totalHeight_));
}

void ChatRenderImpl::scrollToEnd() {
  int target = std::max(totalHeight_ - height(), 0);
  if (target == scrollPos_)
    return;
  scrollPos_ = target;
  if (viewport_)
    viewport_->setScrollPosition(rfb::Point(0, totalHeight_));
  invalidate();
}

void ChatRenderImpl::relayout() {
  laidOutWidth_ = width();
  int y = 0;
  for (Entry& e : entries_) {
    e.y = y;
    layout(e);
    y += entrySpacing + e.height;
  }
  totalHeight_ = y;
  pushContentSize();
  invalidate();
}

void ChatRenderImpl::layout(Entry& e) {
  // Signed throughout: at small widths the room for text is zero or less.
  const int w = width();
  if (w <= textColumn)
    return;
  e.runs.clear();
  int y = e.y;
  if (e.kind == Entry::Header) {
    int tw = headerFont()->textWidth(e.text.c_str(), e.text.c_str() + e.text.size());
    int h = static_cast<int>(headerFont()->height);
    e.runs.push_back(Run{Run::Text, 0, static_cast<int>(e.text.size()), horizontalMargin, y,
                         horizontalMargin + tw, y + h, Run::HeaderFont});
    e.height = h;
    return;
  }
  // Label, ":" and usually one or two lines of text.
  e.runs.reserve(4);
  const int labelHeight = static_cast<int>(labelFont()->height);
  const int lw = labelFont()->textWidth(e.label.c_str(), e.label.c_str() + e.label.size());
  e.runs.push_back(Run{Run::Label, 0, static_cast<int>(e.label.size()), horizontalMargin, y,
                       horizontalMargin + lw, y + labelHeight, Run::LabelFont});
  e.runs.push_back(Run{Run::Colon, 0, 1, horizontalMargin + lw, y,
                       horizontalMargin + lw + colonWidth, y + labelHeight, Run::HeaderFont});
  if (e.text.empty()) {
    e.height = static_cast<int>(textFont()->height);
    return;
  }
  if (horizontalMargin + lw + colonWidth > textColumn)
    y += labelHeight;
  wrapText(e, &y);
  e.height = y - e.y;
}

// Lines are measured as running sums, so wrapping costs time in proportion
// to the text's length, not to its square.
void ChatRenderImpl::wrapText(Entry& e, int* yp) {
  wvw::Font* font = textFont();
  const int lineHeight = static_cast<int>(font->height);
  const int room = width() - horizontalMargin - textColumn;
  const char* text = e.text.c_str();
  const int n = static_cast<int>(e.text.size());
  int y = *yp;
  int p = 0;
  while (p < n) {
    // The piece from p grows a character at a time; every word end that
    // still fits becomes the line. Once the piece is too wide no later word
    // end can fit, so no line looks further than its own width.
    int lineEnd = -1, lineWidth = 0;
    {
      const char* q = text + p;
      const char* end = text + n;
      int width = 0;
      while (true) {
        if ((q == end || isBlank(*q)) && q > text + p) {
          if (width > room)
            break;
          lineEnd = static_cast<int>(q - text);
          lineWidth = width;
        }
        if (q == end || width > room)
          break;
        const char* next = q;
        uint32_t c = wvw::Font::decode(next, end);
        if (c == 0)
          break;
        width += font->glyphWidth(c);
        q = next;
      }
    }
    if (lineEnd < 0) {
      // Not even the first word fits: as many characters as do.
      const char* q = text + p;
      const char* end = text + n;
      int width = 0;
      lineEnd = p;
      while (q < end) {
        const char* next = q;
        uint32_t c = wvw::Font::decode(next, end);
        if (c == 0)
          break;
        int cw = font->glyphWidth(c);
        if (width + cw > room)
          break;
        width += cw;
        q = next;
      }
      lineEnd = static_cast<int>(q - text);
      lineWidth = width;
      if (lineEnd == p) {
        // Not one character fits: it is dropped and the line is used up.
        const char* next = text + p;
        if (wvw::Font::decode(next, end) == 0)
          next = end;
        p = static_cast<int>(next - text);
        y += lineHeight;
        while (p < n && isBlank(text[p]))
          p++;
        continue;
      }
    }
    e.runs.push_back(Run{Run::Text, p, lineEnd - p, textColumn, y, textColumn + lineWidth,
                         y + lineHeight, Run::TextFont});
    y += lineHeight;
    p = lineEnd;
    while (p < n && isBlank(text[p]))
      p++;
  }
  *yp = y;
}

const std::string& ChatRenderImpl::textOf(const Entry& e, const Run& r) const {
  switch (r.source) {
  case Run::Label:
    return e.label;
  case Run::Colon:
    return colonText;
  default:
    return e.text;
  }
}

void ChatRenderImpl::draw(rfb::WritablePixelBuffer* pb) {
  rfb::Rect area = pb->getRect().intersect(rfb::Rect(0, 0, width(), height()));
  pb->fillRect(rfb::Rect(0, 0, width(), height()), wvw::colourToPixel(getStyle()->background, pb));
  if (area.isEmpty())
    return;
  // Entries lie in content order; find the first that reaches the area.
  const int top = area.tl.y + scrollPos_;
  const int bottom = area.br.y + scrollPos_;
  auto first = std::partition_point(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.y + e.height <= top; });
  for (auto it = first; it != entries_.end() && it->y < bottom; ++it) {
    const Entry& e = *it;
    uint32_t pixel = wvw::colourToPixel(toRfb(colourOf(e)), pb);
    for (const Run& r : e.runs) {
      wvw::Font* font = r.font == Run::LabelFont    ? labelFont()
                        : r.font == Run::HeaderFont ? headerFont()
                        : r.font == Run::TextFont   ? textFont()
                                                    : getStyle()->font;
      const std::string& t = textOf(e, r);
      font->drawText(pb, t.c_str() + r.start, rfb::Point(r.left, r.top - scrollPos_), pixel,
                     t.c_str() + r.start + r.length);
    }
  }
}

} // namespace chat
