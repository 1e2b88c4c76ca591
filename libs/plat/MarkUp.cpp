#include "plat/MarkUp.h"

#include "plat/Exception.h"
#include "plat/StringUtils.h"

#include <cstdint>
#include <cstring>

namespace plat {

namespace {

// Link numbers beyond this are refused rather than overflowing.
constexpr int maxLinkNumber = 999999;

// The length of the UTF-8 character at p; a malformed sequence counts as one
// byte.
int charLength(const char* p, const char* end) {
  unsigned char lead = static_cast<unsigned char>(*p);
  int n;
  if (lead < 0x80)
    return 1;
  else if ((lead & 0xe0) == 0xc0)
    n = 2;
  else if ((lead & 0xf0) == 0xe0)
    n = 3;
  else if ((lead & 0xf8) == 0xf0)
    n = 4;
  else
    return 1;
  if (end - p < n)
    return 1;
  for (int i = 1; i < n; i++)
    if ((static_cast<unsigned char>(p[i]) & 0xc0) != 0x80)
      return 1;
  return n;
}

bool isBreak(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

} // namespace

void MarkUp::Handler::onMargin(char) {
}

void MarkUp::parse(const char* text, Handler* handler) {
  if (!text || !*text)
    return;
  int style = 0;
  int link = 0;
  DString run(static_cast<int>(strlen(text)) + 1);
  const char* p = text;
  while (*p) {
    run.truncate(0);
    bool emptyLine = false;
    // A run ends at a code or after a newline; only a code is read below, so
    // a doubled caret that starts the next line stays a literal caret.
    bool atCode = false;
    while (*p) {
      if (*p == '^') {
        if (p[1] != '^') {
          atCode = true;
          break;
        }
        run.append("^", 1);
        p += 2;
        continue;
      }
      if (*p == '\n') {
        emptyLine = run.length() == 0 && (p == text || p[-1] == '\n');
        run.append("\n", 1);
        p++;
        break;
      }
      const char* start = p;
      while (*p && *p != '^' && *p != '\n')
        p++;
      run.append(start, static_cast<int>(p - start));
    }
    if (run.length() > 0)
      handler->onText(run.c_str(), style, link, emptyLine);
    if (!atCode)
      continue;

    char code = *++p;
    if (code == 'b' || code == 'u' || code == 'n') {
      style = code == 'b' ? 1 : code == 'u' ? 2 : 0;
      p++;
    } else if (code == 'm') {
      char op = p[1];
      if (op != '+' && op != '-' && op != '0' && op != '@')
        throw ExceptionFmt("Bad margin operator %c", op);
      handler->onMargin(op);
      p += 2;
    } else if (code == '}') {
      link = 0;
      p++;
    } else if (code >= '1' && code <= '9') {
      int number = 0;
      while (*p >= '0' && *p <= '9') {
        number = number * 10 + (*p - '0');
        if (number > maxLinkNumber)
          throw Exception("Malformed hyperlink");
        p++;
      }
      if (*p != '{')
        throw Exception("Malformed hyperlink");
      link = number;
      p++;
    } else {
      throw ExceptionFmt("Bad mark-up char %c", code);
    }
  }
}

MarkUp::Stripper::Stripper(const char* text) {
  reserve(static_cast<int>(text ? strlen(text) : 0) + 1);
  parse(text, this);
}

void MarkUp::Stripper::onText(const char* text, int, int, bool) {
  append(text);
}

MarkUp::Layout::Layout(Callback* callback, int wrapWidth)
    : callback_(callback), wrapWidth_(wrapWidth > 0 ? wrapWidth : 0x7fffffff) {
}

void MarkUp::Layout::onMargin(char op) {
  switch (op) {
  case '+':
    margin_ += 6;
    x_ += 6;
    break;
  case '-':
    margin_ -= 6;
    x_ -= 6;
    break;
  case '0':
    margin_ = x_ = 0;
    break;
  case '@':
    margin_ = x_;
    break;
  default:
    throw ExceptionFmt("Bad margin operator: %c", op);
  }
}

void MarkUp::Layout::onText(const char* text, int style, int link, bool emptyLine) {
  callback_->setStyle(link ? 2 : style, link);
  int h = callback_->fontHeight();
  if (emptyLine)
    h /= 2;
  const char* end = text + strlen(text);
  const char* s = text;
  for (;;) {
    const char* lineEnd = nullptr;
    int lineWidth = 0;
    const char* pos = s;
    for (;;) {
      const char* e = pos;
      while (e < end && !isBreak(*e))
        e += charLength(e, end);
      int w = callback_->textWidth(s, e);
      bool overflows = static_cast<int64_t>(x_) + w > wrapWidth_;
      if (overflows && lineEnd)
        break;
      if (overflows && x_ != margin_) {
        x_ = margin_;
        y_ += h;
      }
      lineEnd = e;
      lineWidth = w;
      if (e == end || *e == '\n')
        break;
      pos = e + 1;
    }
    callback_->addText(s, lineEnd, x_, y_, x_ + lineWidth, y_ + h);
    x_ += lineWidth;
    if (x_ > width_)
      width_ = x_;
    if (y_ + h > height_)
      height_ = y_ + h;
    if (lineEnd == end)
      break;
    x_ = margin_;
    y_ += h;
    s = lineEnd + 1;
    if (*lineEnd != '\n')
      while (s < end && (*s == ' ' || *s == '\t'))
        s++;
    if (s >= end)
      break;
  }
}

void MarkUp::appendEscaped(DString& out, const char* text) {
  if (text)
    out.appendReplacing(text, "^", "^^");
}

void MarkUp::appendEscapedLine(DString& out, const char* text) {
  if (text)
    appendEscaped(out, strOneLine(text).c_str());
}

} // namespace plat
