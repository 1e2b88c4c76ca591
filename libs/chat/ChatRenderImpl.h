// The chat transcript widget: keeps the time headers and message lines as
// entries, lays each out into runs of text with word wrapping (label and ":"
// in front, the text from a fixed column), paints the entries that meet the
// area to repaint, keeps the scrolling frame's content size up to date and
// jumps to the newest entry after every append. It draws with the bitmap
// fonts into the pixel buffer it is given and never talks to the window
// system. Its entries are bounded (maxEntries, maxTextBytes): beyond either
// the oldest go, so a flood of chat lines cannot fill memory. The scrolling
// frame (a viewport) and the chat window (through the small interface below)
// are not owned, and either may be null.
#pragma once

#include "chat/ChatRender.h"
#include "wvw/WViewportChild.h"
#include "wvw/Widget.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace wvw {
class Font;
class WViewport;
} // namespace wvw

namespace chat {

class ChatRenderImpl : public wvw::Widget, public wvw::WViewportChild, public ChatRender {
public:
  // The chat window, whose focus decides the urgency hint.
  class Window {
  public:
    virtual ~Window();
    virtual bool hasFocus() = 0;
    virtual void setUrgent(bool urgent) = 0;
  };

  // The most entries kept, and the most bytes of their texts (key, label and
  // text): room for about every line the chat history holds, each under a
  // header. Past either, the oldest eighth goes at once, so the entries left
  // move up only now and then.
  static constexpr std::size_t maxEntries = 200000;
  static constexpr std::size_t maxTextBytes = 32 << 20;

  // Layout constants, in pixels.
  static constexpr int horizontalMargin = 2;
  static constexpr int verticalMargin = 2;
  static constexpr int entrySpacing = 8;
  static constexpr int textColumn = 105;
  static constexpr int colonWidth = 6;

  struct Run {
    enum Source { Label = 0, Colon = 1, Text = 2 };
    enum FontKind { LabelFont = 0, HeaderFont = 1, TextFont = 2 };
    Source source;                // which of the entry's texts the run shows
    int start;                    // byte offset of the piece in that text
    int length;                   // its bytes
    int left, top, right, bottom; // in content coordinates
    FontKind font;
  };
  struct Entry {
    enum Kind { Message = 0, Header = 1 };
    Kind kind;
    std::string key;
    std::string label;
    std::string text;
    Colour colour; // as appended; see colourOf
    int y;
    int height;
    std::vector<Run> runs;
    std::uint64_t seq = 0; // order of appending
  };

  ChatRenderImpl(wvw::WViewport* viewport, Window* window);

  // Removes every entry; the participants' colours stay.
  void clear();
  // wvw::WViewportChild: the frame scrolled; the content row now shown at
  // the top is topLeft.y.
  void onScroll(const rfb::Point& topLeft) override;

  // wvw::Widget
  bool onSizeChange(Widget* source) override;
  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;

  // ChatRender
  void recolour(const char* key, const Colour& colour) override;
  void appendHeader(const char* text, const Colour& colour) override;
  void appendMessage(const char* key, const char* label, const char* text,
                     const Colour& colour) override;
  void beginUpdate() override;
  void endUpdate() override;

  const std::deque<Entry>& entries() const { return entries_; }
  // The colour the entry is drawn in: the one it was appended with, or the
  // one its participant was recoloured to since.
  const Colour& colourOf(const Entry& entry) const;
  int totalHeight() const { return totalHeight_; }
  int scrollPosition() const { return scrollPos_; }

  static wvw::Font* headerFont();
  static wvw::Font* labelFont();
  static wvw::Font* textFont();

private:
  void append(Entry entry);
  // Drops the oldest entries when past a bound, moving the rest up.
  void trim();
  void layout(Entry& entry);
  void wrapText(Entry& entry, int* y);
  void relayout();
  void scrollToEnd();
  void pushContentSize();
  const std::string& textOf(const Entry& entry, const Run& run) const;

  wvw::WViewport* viewport_;
  Window* window_;
  // A deque, so a long transcript grows without moving its entries.
  std::deque<Entry> entries_;
  // The participants that have message entries: how many, and the colour of
  // their last recolouring, which applies to their entries appended before
  // it. A recolouring costs one look-up, not a pass over the transcript;
  // each entry drawn looks its colour up.
  struct KeyColour {
    std::size_t entries = 0;
    Colour colour{};
    std::uint64_t recolouredBefore = 0; // entries with a lower seq take colour
  };
  std::unordered_map<std::string, KeyColour> keys_;
  std::uint64_t nextSeq_ = 1;
  std::size_t textBytes_ = 0;
  int totalHeight_ = 0;
  int scrollPos_ = 0;
  int laidOutWidth_ = 0;
};

} // namespace chat
