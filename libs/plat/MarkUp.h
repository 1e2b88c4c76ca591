// The small mark-up of dialog texts: a caret followed by a code switches the
// style (^b bold, ^u underlined, ^n normal), moves the left margin (^m with
// +, -, 0 or @), opens a numbered link (^N{) and closes it (^}); ^^ is a
// caret. parse() splits a text into runs for a Handler; Stripper keeps the
// plain text and Layout places the runs in lines for a widget that draws
// them. Text that embeds outside data doubles its carets.
#pragma once

#include "plat/DString.h"

namespace plat {

class MarkUp {
public:
  // Receives the runs and margin operators of a parsed text.
  class Handler {
  public:
    virtual ~Handler() = default;
    // A run of text (ending at a newline or before a code), its style (0
    // normal, 1 bold, 2 underlined), its link number (0: none) and whether
    // it is just the newline of an empty line.
    virtual void onText(const char* text, int style, int link, bool emptyLine) = 0;
    // A margin operator: '+', '-', '0' or '@'.
    virtual void onMargin(char op);
  };

  // Told when the user activates a link of a shown text.
  class LinkCallback {
  public:
    virtual ~LinkCallback() = default;
    virtual void linkClicked(int link) = 0;
  };

  // The text with every code removed.
  class Stripper : public DString, public Handler {
  public:
    // Parses text; throws plat::Exception on malformed mark-up.
    explicit Stripper(const char* text);
    void onText(const char* text, int style, int link, bool emptyLine) override;
  };

  // Lays runs out in lines no wider than the wrap width, breaking at blanks,
  // and hands each piece with its rectangle to the callback.
  class Layout : public Handler {
  public:
    // What the layout asks of whoever measures and draws the text.
    class Callback {
    public:
      virtual ~Callback() = default;
      virtual void setStyle(int style, int link) = 0;
      virtual int fontHeight() = 0;
      // The width of the text from begin up to (not including) end.
      virtual int textWidth(const char* begin, const char* end) = 0;
      // A piece of the current run and where it goes; begin and end point
      // into the run and are valid only during the call.
      virtual void addText(const char* begin, const char* end, int left, int top, int right,
                           int bottom) = 0;
    };

    // callback is not owned; a wrap width of 0 or less means no wrapping.
    Layout(Callback* callback, int wrapWidth);

    void onText(const char* text, int style, int link, bool emptyLine) override;
    // Throws plat::ExceptionFmt "Bad margin operator: %c" for an unknown one.
    void onMargin(char op) override;

    // The extent of everything laid out so far.
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    int getX() const { return x_; }
    int getY() const { return y_; }
    int getMargin() const { return margin_; }

  private:
    Callback* callback_;
    int x_ = 0;
    int y_ = 0;
    int width_ = 0;
    int height_ = 0;
    int margin_ = 0;
    int wrapWidth_;
  };

  // Splits text into runs for handler. Throws plat::Exception "Bad mark-up
  // char %c", "Bad margin operator %c" or "Malformed hyperlink".
  static void parse(const char* text, Handler* handler);
  // Appends text (nothing for nullptr) with every caret doubled, so that
  // outside data never reads as mark-up.
  static void appendEscaped(DString& out, const char* text);
  // The same for outside text that a sentence shows on one line, such as a
  // name: each control character (below 0x20, and DEL) is appended as '?',
  // so that the text can neither break the line nor start lines that read as
  // part of the sentence.
  static void appendEscapedLine(DString& out, const char* text);
};

} // namespace plat
