#include "plat/XMLNode.h"

#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/ReplacementFile.h"
#include "plat/StringUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <strings.h>
#include <sys/stat.h>

static plat::LogWriter vlog("Parser");

namespace xml {

// ---------------------------------------------------------------------------
// Node data

namespace {

// Kinds of the entries of pOrder: entry = (index << 2) | kind.
enum OrderKind { orderChild = 0, orderText = 1, orderClear = 2 };

struct AttributeData {
  plat::String name;
  plat::String value;
};

struct ClearData {
  plat::String value;
  const char* openTag;
  const char* closeTag;
};

} // namespace

struct XMLNode::Data {
  plat::String lpszName; // absent for the nameless top node of a parse
  bool isDeclaration = false;
  Data* pParent = nullptr; // not counted
  // The arrays grow geometrically, so that loading a document with very
  // many children of one element stays linear.
  std::vector<XMLNode> pChild;
  std::vector<plat::String> pText;
  std::vector<ClearData> pClear;
  std::vector<AttributeData> pAttribute;
  std::vector<int> pOrder; // document order of children, texts and clears
  int ref_count = 1;
};

const XMLNode XMLNode::emptyXMLNode;
const XMLAttribute XMLNode::emptyXMLAttribute = {nullptr, nullptr};
const XMLClear XMLNode::emptyXMLClear = {nullptr, nullptr, nullptr};

const char* const XMLNode::clearCDATAOpen = "<![CDATA[";
const char* const XMLNode::clearCDATAClose = "]]>";
const char* const XMLNode::clearDOCTYPEOpen = "<!DOCTYPE";
const char* const XMLNode::clearCommentOpen = "<!--";
const char* const XMLNode::clearCommentClose = "-->";
static const char* const clearDOCTYPEClose = ">";
static const char* const clearDOCTYPESubsetClose = "]>";
static const char* const clearPREOpen = "<PRE>";
static const char* const clearPREClose = "</PRE>";
static const char* const clearScriptOpen = "<Script>";
static const char* const clearScriptClose = "</Script>";

XMLNode::XMLNode(Data* d) : d_(d) {
}

// What the reader and writer need of a handle's inside.
struct XMLNodeAccess {
  // A handle taking over the one reference a new Data starts with.
  static XMLNode adopt(XMLNode::Data* d) { return XMLNode(d); }
  static const XMLNode::Data* data(const XMLNode& node) { return node.d_; }
};

XMLNode::XMLNode(const XMLNode& other) : d_(other.d_) {
  if (d_)
    d_->ref_count++;
}

XMLNode& XMLNode::operator=(const XMLNode& other) {
  if (other.d_)
    other.d_->ref_count++;
  Data* old = d_;
  d_ = other.d_;
  release(old);
  return *this;
}

XMLNode::~XMLNode() {
  release(d_);
}

// Drops one reference. Freeing is done with an explicit work list rather
// than by recursion, so that no tree is too deep to free. Children that
// other handles keep alive lose their parent.
void XMLNode::release(Data* d) {
  if (!d || --d->ref_count > 0)
    return;
  std::vector<Data*> work{d};
  while (!work.empty()) {
    Data* cur = work.back();
    work.pop_back();
    for (XMLNode& child : cur->pChild) {
      Data* c = child.d_;
      child.d_ = nullptr;
      if (--c->ref_count == 0)
        work.push_back(c);
      else if (c->pParent == cur)
        c->pParent = nullptr;
    }
    delete cur;
  }
}

// ---------------------------------------------------------------------------
// Global options and character lengths

namespace {

struct Options {
  int characterEncoding = eXMLEncodingUTF8;
  bool guessWideChar = true;
  bool dropWhiteSpace = true;
};
Options options;

struct LengthTable {
  unsigned char len[256];
  explicit LengthTable(int encoding) {
    for (int b = 0; b < 256; b++) {
      int l = 1;
      if (encoding == eXMLEncodingUTF8) {
        if (b >= 0xC2 && b <= 0xDF)
          l = 2;
        else if (b >= 0xE0 && b <= 0xEF)
          l = 3;
        else if (b >= 0xF0 && b <= 0xF4)
          l = 4;
      } else if (encoding == eXMLEncodingShiftJIS) {
        if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEF))
          l = 2;
      }
      len[b] = static_cast<unsigned char>(b == 0 ? 0 : l);
    }
  }
};

const LengthTable utf8Lengths(eXMLEncodingUTF8);
const LengthTable singleByteLengths(eXMLEncodingSingleByte);
const LengthTable shiftJISLengths(eXMLEncodingShiftJIS);

const unsigned char* currentLengths() {
  switch (options.characterEncoding) {
  case eXMLEncodingSingleByte:
    return singleByteLengths.len;
  case eXMLEncodingShiftJIS:
    return shiftJISLengths.len;
  default:
    return utf8Lengths.len;
  }
}

// The position after the character at p. A multi-byte character cut short
// by the terminator ends at the terminator, so no caller steps past it.
inline const char* stepChar(const unsigned char* lengths, const char* p) {
  int l = lengths[static_cast<unsigned char>(*p)];
  if (l <= 1)
    return p + 1;
  for (int k = 1; k < l; k++)
    if (p[k] == '\0')
      return p + k;
  return p + l;
}

inline bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

} // namespace

int XMLNode::setGlobalOptions(int characterEncoding, bool guessWideChar, bool dropWhiteSpace) {
  options.guessWideChar = guessWideChar;
  options.dropWhiteSpace = dropWhiteSpace;
  if (characterEncoding < eXMLEncodingUTF8 || characterEncoding > eXMLEncodingShiftJIS)
    return 1;
  options.characterEncoding = characterEncoding;
  return 0;
}

int XMLNode::guessCharEncoding(const void* buffer, int length, bool useXmlDeclaration) {
  const unsigned char* b = static_cast<const unsigned char*>(buffer);
  if (!b || length < 25)
    return eXMLEncodingUnknown;
  if (b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF)
    return eXMLEncodingUTF8;

  bool validUtf8 = true;
  for (int i = 0; i < length && validUtf8;) {
    unsigned char c = b[i];
    if (c == 0)
      break;
    int l = utf8Lengths.len[c];
    if (l == 1) {
      validUtf8 = c < 0x80;
      i++;
      continue;
    }
    for (int k = 1; k < l && i + k < length; k++)
      if ((b[i + k] & 0xC0) != 0x80)
        validUtf8 = false;
    i += l;
  }
  int guess = validUtf8 ? eXMLEncodingUTF8 : eXMLEncodingSingleByte;
  if (!useXmlDeclaration)
    return guess;

  int n = length < 200 ? length : 200;
  static const char key[] = "encoding";
  const int keyLen = sizeof(key) - 1;
  for (int i = 0; i + keyLen <= n; i++) {
    if (memcmp(b + i, key, keyLen) != 0)
      continue;
    int j = i + keyLen;
    while (j < n && isSpace(static_cast<char>(b[j])))
      j++;
    if (j >= n || b[j] != '=')
      continue;
    j++;
    while (j < n && isSpace(static_cast<char>(b[j])))
      j++;
    if (j >= n || (b[j] != '"' && b[j] != '\''))
      continue;
    j++;
    const char* value = reinterpret_cast<const char*>(b + j);
    int room = n - j;
    auto startsWith = [&](const char* prefix) {
      int pl = static_cast<int>(strlen(prefix));
      return pl <= room && strncasecmp(value, prefix, pl) == 0;
    };
    if (startsWith("utf-8") || startsWith("utf8"))
      return validUtf8 ? eXMLEncodingUTF8 : eXMLEncodingUnknown;
    if (startsWith("shiftjis") || startsWith("shift-jis") || startsWith("sjis"))
      return eXMLEncodingShiftJIS;
    return eXMLEncodingSingleByte;
  }
  return guess;
}

const char* XMLNode::errorText(int code) {
  static const char* const texts[] = {
      "no error",
      "unmatched end tag",
      "no XML tag found",
      "no XML data",
      "missing start tag name",
      "missing end tag name",
      "unmatched end tag",
      "unmatched clear tag end",
      "unexpected token found",
      "no elements found",
      "file not found",
      "first tag not found",
      "unknown character entity",
      "unable to convert between WideChar and MultiByte chars",
      "unable to open file for writing",
      "cannot write into file",
      "base64-string length is not a multiple of 4",
      "base64-string contains an illegal character",
      "base64-string is truncated",
      "base64 decode output buffer is too small",
      "elements nested too deeply",
  };
  if (code < 0 || code >= static_cast<int>(sizeof(texts) / sizeof(texts[0])))
    return "Unknown";
  return texts[code];
}

// ---------------------------------------------------------------------------
// Entities

namespace {

// Decodes the character entities of text[0..len) into a new owned text.
// Returns false and the offset of the offending '&' for an unknown entity,
// a reference without ';', and a reference to character code 0 (which would
// cut the text short).
bool decodeEntities(const unsigned char* lengths, const char* text, size_t len, plat::String* out,
                    size_t* errorOffset) {
  const char* end = text + len;
  const char* amp = static_cast<const char*>(memchr(text, '&', len));
  if (!amp) {
    *out = plat::String(text, static_cast<int>(len));
    return true;
  }
  char* buf = new char[len + 1];
  char* o = buf;
  const char* p = text;
  while (p < end) {
    if (*p != '&') {
      const char* next = stepChar(lengths, p);
      if (next > end)
        next = end;
      while (p < next)
        *o++ = *p++;
      continue;
    }
    const char* rest = p + 1;
    size_t room = static_cast<size_t>(end - rest);
    static const struct {
      const char* name;
      size_t len;
      char c;
    } named[] = {
        {"amp;", 4, '&'}, {"lt;", 3, '<'}, {"gt;", 3, '>'}, {"quot;", 5, '"'}, {"apos;", 5, '\''}};
    bool done = false;
    for (const auto& e : named) {
      if (room >= e.len && strncasecmp(rest, e.name, e.len) == 0) {
        *o++ = e.c;
        p = rest + e.len;
        done = true;
        break;
      }
    }
    if (!done && room >= 1 && *rest == '#') {
      const char* q = rest + 1;
      bool hex = q < end && (*q == 'x' || *q == 'X');
      if (hex)
        q++;
      unsigned value = 0;
      int digits = 0;
      for (; q < end; q++, digits++) {
        char c = *q;
        unsigned d;
        if (c >= '0' && c <= '9')
          d = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
          d = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
          d = static_cast<unsigned>(c - 'A' + 10);
        else
          break;
        // Only the low 8 bits count; keeping them alone avoids overflow.
        value = (value * (hex ? 16 : 10) + d) & 0xFF;
      }
      if (digits > 0 && q < end && *q == ';' && value != 0) {
        *o++ = static_cast<char>(value);
        p = q + 1;
        done = true;
      }
    }
    if (!done) {
      delete[] buf;
      *errorOffset = static_cast<size_t>(p - text);
      return false;
    }
  }
  *o = '\0';
  *out = plat::String::adopt(buf);
  return true;
}

// Whether the multi-byte character of l bytes at p is whole: each of its
// following bytes is present and at or above 0x40. The terminator and every
// byte the reader takes for markup (blanks, quotes, '&', '<', '>', '=', '/',
// '?') lie below 0x40, and no following byte of a valid character does.
bool wholeCharacter(const char* p, int l) {
  for (int k = 1; k < l; k++)
    if (static_cast<unsigned char>(p[k]) < 0x40)
      return false;
  return true;
}

// Hands the text to put(bytes, count) piece by piece, with the five special
// characters written as character entities. Whole multi-byte characters are
// copied as they are; the first byte of one that is not whole is written as a
// character reference, so that the reader, which steps over multi-byte
// characters, does not step over the markup written after it.
template <class Put> void escapeText(const unsigned char* lengths, const char* text, Put put) {
  const char* run = text;
  const char* p = text;
  char reference[8];
  for (;;) {
    unsigned char c = static_cast<unsigned char>(*p);
    const char* entity;
    switch (c) {
    case '\0':
      put(run, static_cast<size_t>(p - run));
      return;
    case '&':
      entity = "&amp;";
      break;
    case '<':
      entity = "&lt;";
      break;
    case '>':
      entity = "&gt;";
      break;
    case '"':
      entity = "&quot;";
      break;
    case '\'':
      entity = "&apos;";
      break;
    default:
      if (lengths[c] <= 1) {
        p++;
        continue;
      }
      if (wholeCharacter(p, lengths[c])) {
        p += lengths[c];
        continue;
      }
      snprintf(reference, sizeof(reference), "&#%d;", c);
      entity = reference;
    }
    put(run, static_cast<size_t>(p - run));
    put(entity, strlen(entity));
    run = ++p;
  }
}

} // namespace

const char* toXMLString(plat::DString& buffer, const char* text) {
  buffer.truncate(0);
  buffer.append("");
  if (text)
    escapeText(currentLengths(), text,
               [&](const char* s, size_t n) { buffer.append(s, static_cast<int>(n)); });
  return buffer.c_str();
}

// ---------------------------------------------------------------------------
// Reading

namespace {

enum TokenType {
  tokEnd,
  tokClear,
  tokQuoted,
  tokWord,
  tokShortClose,  // "/>"
  tokEndTagStart, // "</"
  tokDeclStart,   // "<?"
  tokTagStart,    // "<"
  tokEquals,
  tokTagEnd, // ">"
};

struct ClearKind {
  const char* open;
  const char* close;
};

const ClearKind clearKinds[] = {
    {XMLNode::clearCDATAOpen, XMLNode::clearCDATAClose},
    {XMLNode::clearDOCTYPEOpen, nullptr}, // closer chosen from what follows
    {clearPREOpen, clearPREClose},
    {clearScriptOpen, clearScriptClose},
    {XMLNode::clearCommentOpen, XMLNode::clearCommentClose},
};

struct Token {
  TokenType type;
  const char* start; // first character of the token
  const char* end;   // just after the token
  // Words and quoted values: the text (without quotes).
  const char* valueStart;
  const char* valueEnd;
  // Clears: the tag texts.
  const char* clearOpen;
  const char* clearClose;
};

class Parser {
public:
  Parser(const char* text, const unsigned char* lengths, bool dropWhiteSpace)
      : pos_(text), lengths_(lengths), dropWhiteSpace_(dropWhiteSpace) {}

  enum Outcome {
    closed,    // the element ended normally
    passUp,    // an end tag for an ancestor ended it; see pending_
    endOfText, // the text ended
    aborted,   // a hard error was recorded
  };

  Outcome parseContent(XMLNode::Data* node, int depth);

  int error() const { return error_; }
  const char* errorPos() const { return errorPos_; }
  const char* pos() const { return pos_; }

private:
  Token next();
  Token peek() {
    const char* save = pos_;
    Token t = next();
    pos_ = save;
    return t;
  }
  Outcome parseElement(XMLNode::Data* node, int depth);
  Outcome endOfTextIn(XMLNode::Data* node);
  bool addText(XMLNode::Data* node, const char* start, const char* end);
  void record(int code, const char* at) {
    // The first error is kept, but a hard error replaces a soft one.
    if (error_ == eXMLNoError || (error_ == eXMLUnclosedElements && code != eXMLUnclosedElements)) {
      error_ = code;
      errorPos_ = at;
    }
  }
  bool decode(const char* start, const char* end, plat::String* out) {
    size_t off = 0;
    if (decodeEntities(lengths_, start, static_cast<size_t>(end - start), out, &off))
      return true;
    record(eXMLUnknownEntity, start + off);
    return false;
  }

  const char* pos_;
  const unsigned char* lengths_;
  bool dropWhiteSpace_;
  int error_ = eXMLNoError;
  const char* errorPos_ = nullptr;
  // The end tag being passed up: its name, where it ends, and whether it
  // left an element without its own end tag on the way.
  const char* pendingName_ = nullptr;
  size_t pendingLen_ = 0;
  const char* pendingEnd_ = nullptr;
  bool pendingSkipped_ = false;
};

void appendOrder(XMLNode::Data* d, int kind, size_t index) {
  d->pOrder.push_back(static_cast<int>(index << 2) | kind);
}

Token Parser::next() {
  while (isSpace(*pos_))
    pos_++;
  Token t{};
  t.start = pos_;
  const char* p = pos_;
  char c = *p;
  if (c == '\0') {
    t.type = tokEnd;
    t.end = p;
    return t;
  }
  if (c == '<') {
    // Every clear opener starts with "<!", "<P" or "<S".
    bool maybeClear = p[1] == '!' || p[1] == 'P' || p[1] == 'S';
    for (const ClearKind& k : clearKinds) {
      if (!maybeClear)
        break;
      size_t ol = strlen(k.open);
      if (strncmp(p, k.open, ol) != 0)
        continue;
      const char* content = p + ol;
      const char* close = k.close;
      const char* found;
      if (!close) {
        const char* gt = strchr(content, '>');
        const char* lt = strchr(content, '<');
        close = gt && (!lt || gt < lt) ? clearDOCTYPEClose : clearDOCTYPESubsetClose;
      }
      found = strstr(content, close);
      t.type = tokClear;
      if (!found) {
        // Unterminated: valueStart stays null and the caller reports it.
        t.end = p;
        return t;
      }
      t.valueStart = content;
      t.valueEnd = found;
      t.clearOpen = k.open;
      t.clearClose = close;
      t.end = found + strlen(close);
      pos_ = t.end;
      return t;
    }
    if (p[1] == '/') {
      t.type = tokEndTagStart;
      pos_ = p + 2;
    } else if (p[1] == '?') {
      t.type = tokDeclStart;
      pos_ = p + 2;
    } else {
      t.type = tokTagStart;
      pos_ = p + 1;
    }
    t.end = pos_;
    return t;
  }
  if (c == '/' && p[1] == '>') {
    t.type = tokShortClose;
    pos_ = t.end = p + 2;
    return t;
  }
  if (c == '=' || c == '>') {
    t.type = c == '=' ? tokEquals : tokTagEnd;
    pos_ = t.end = p + 1;
    return t;
  }
  if (c == '"' || c == '\'') {
    const char* q = p + 1;
    while (*q && *q != c && *q != '<')
      q = stepChar(lengths_, q);
    if (*q == c) {
      t.type = tokQuoted;
      t.valueStart = p + 1;
      t.valueEnd = q;
      pos_ = t.end = q + 1;
      return t;
    }
    // An unterminated quote is read as an ordinary word.
  }
  const char* q = p;
  while (*q && !isSpace(*q) && *q != '<' && *q != '>' && *q != '=' && !(*q == '/' && q[1] == '>'))
    q = stepChar(lengths_, q);
  t.type = tokWord;
  t.valueStart = p;
  t.valueEnd = q;
  pos_ = t.end = q;
  return t;
}

bool Parser::addText(XMLNode::Data* node, const char* start, const char* end) {
  if (dropWhiteSpace_) {
    while (start < end && isSpace(*start))
      start++;
    while (end > start && isSpace(end[-1]))
      end--;
  }
  if (start == end)
    return true;
  plat::String text;
  if (!decode(start, end, &text))
    return false;
  appendOrder(node, orderText, node->pText.size());
  node->pText.push_back(std::move(text));
  return true;
}

Parser::Outcome Parser::endOfTextIn(XMLNode::Data* node) {
  if (node->lpszName.get() && !node->isDeclaration)
    record(eXMLUnclosedElements, pos_);
  return endOfText;
}

static bool sameName(const char* a, const char* b, size_t bLen) {
  return a && strlen(a) == bLen && strncasecmp(a, b, bLen) == 0;
}

Parser::Outcome Parser::parseContent(XMLNode::Data* node, int depth) {
  for (;;) {
    const char* textStart = pos_;
    const char* p = pos_;
    while (*p && *p != '<')
      p = stepChar(lengths_, p);
    if (p > textStart && !addText(node, textStart, p))
      return aborted;
    pos_ = p;

    Token t = next();
    switch (t.type) {
    case tokEnd:
      return endOfTextIn(node);

    case tokClear: {
      if (!t.valueStart) {
        record(eXMLUnmatchedClearEnd, t.start);
        return aborted;
      }
      ClearData clear{plat::String(t.valueStart, static_cast<int>(t.valueEnd - t.valueStart)),
                      t.clearOpen, t.clearClose};
      appendOrder(node, orderClear, node->pClear.size());
      node->pClear.push_back(std::move(clear));
      break;
    }

    case tokTagStart:
    case tokDeclStart: {
      Token name = next();
      if (name.type != tokWord) {
        record(eXMLMissingTagName, name.start);
        return aborted;
      }
      if (depth >= XMLNode::maxNestingDepth) {
        record(eXMLNestingTooDeep, t.start);
        return aborted;
      }
      XMLNode::Data* child = new XMLNode::Data;
      const char* nameEnd = name.valueEnd;
      // "<?xml?>": the '?' before '>' closes the declaration.
      if (t.type == tokDeclStart && nameEnd - name.valueStart > 1 && nameEnd[-1] == '?' &&
          peek().type == tokTagEnd)
        nameEnd--;
      child->lpszName = plat::String(name.valueStart, static_cast<int>(nameEnd - name.valueStart));
      child->isDeclaration = t.type == tokDeclStart;
      child->pParent = node;
      appendOrder(node, orderChild, node->pChild.size());
      node->pChild.push_back(XMLNodeAccess::adopt(child));

      Outcome r = parseElement(child, depth + 1);
      if (r == aborted)
        return aborted;
      if (r == endOfText)
        return endOfTextIn(node);
      if (r == passUp) {
        if (!node->lpszName.get()) {
          record(eXMLUnmatchedEndTag, pendingEnd_);
          return aborted;
        }
        if (sameName(node->lpszName.get(), pendingName_, pendingLen_)) {
          if (pendingSkipped_)
            record(eXMLUnclosedElements, pendingEnd_);
          return closed;
        }
        if (!node->isDeclaration)
          pendingSkipped_ = true;
        return passUp;
      }
      break;
    }

    case tokEndTagStart: {
      Token name = next();
      if (name.type != tokWord) {
        record(eXMLMissingEndTagName, name.start);
        return aborted;
      }
      Token gt = next();
      if (gt.type != tokTagEnd) {
        record(eXMLMissingEndTagName, gt.start);
        return aborted;
      }
      size_t len = static_cast<size_t>(name.valueEnd - name.valueStart);
      if (sameName(node->lpszName.get(), name.valueStart, len))
        return closed;
      if (!node->lpszName.get()) {
        record(eXMLUnmatchedEndTag, gt.end);
        return aborted;
      }
      pendingName_ = name.valueStart;
      pendingLen_ = len;
      pendingEnd_ = gt.end;
      pendingSkipped_ = !node->isDeclaration;
      return passUp;
    }

    default:
      // Content scanning stops only at '<' or the end, so no other token
      // can start here.
      record(eXMLUnexpectedToken, t.start);
      return aborted;
    }
  }
}

Parser::Outcome Parser::parseElement(XMLNode::Data* node, int depth) {
  bool decl = node->isDeclaration;
  // In a declaration a '?' ending the last name or value before '>' is not
  // part of it.
  auto trimQuestion = [&](const Token& word) {
    const char* end = word.valueEnd;
    if (decl && end > word.valueStart && end[-1] == '?' && peek().type == tokTagEnd)
      end--;
    return end;
  };
  for (;;) {
    Token t = next();
    switch (t.type) {
    case tokWord: {
      const char* nameEnd = trimQuestion(t);
      if (peek().type != tokEquals) {
        if (nameEnd > t.valueStart) {
          AttributeData a;
          a.name = plat::String(t.valueStart, static_cast<int>(nameEnd - t.valueStart));
          node->pAttribute.push_back(std::move(a));
        }
        break;
      }
      next(); // '='
      Token v = next();
      if (v.type != tokWord && v.type != tokQuoted) {
        record(eXMLUnexpectedToken, v.start);
        return aborted;
      }
      const char* valueEnd = v.type == tokWord ? trimQuestion(v) : v.valueEnd;
      AttributeData a;
      a.name = plat::String(t.valueStart, static_cast<int>(t.valueEnd - t.valueStart));
      if (!decode(v.valueStart, valueEnd, &a.value))
        return aborted;
      node->pAttribute.push_back(std::move(a));
      break;
    }
    case tokTagEnd:
      return parseContent(node, depth);
    case tokShortClose:
      return closed;
    case tokEnd:
      record(eXMLUnclosedElements, t.start);
      return endOfText;
    default:
      record(eXMLUnexpectedToken, t.start);
      return aborted;
    }
  }
}

void lineAndColumn(const unsigned char* lengths, const char* text, const char* at, int* line,
                   int* column) {
  int l = 1, c = 1;
  for (const char* p = text; p < at && *p;) {
    if (*p == '\n') {
      l++;
      c = 1;
      p++;
    } else {
      c++;
      p = stepChar(lengths, p);
    }
  }
  *line = l;
  *column = c;
}

// Finds the first element named so among the children, descending into
// declarations.
XMLNode findFirstTag(const XMLNode& node, const char* name) {
  for (int i = 0; i < node.countChildNodes(); i++) {
    XMLNode child = node.childAt(i);
    if (strcasecmp(child.getName(), name) == 0)
      return child;
    if (child.isDeclaration()) {
      XMLNode found = findFirstTag(child, name);
      if (!found.isEmpty())
        return found;
    }
  }
  return XMLNode();
}

} // namespace

XMLNode XMLNode::parseString(const char* text, const char* firstTag, XMLResults* results) {
  XMLResults dummy;
  XMLResults& res = results ? *results : dummy;
  res = XMLResults();
  if (!text) {
    res.error = eXMLNoElements;
    return XMLNode();
  }
  const unsigned char* lengths = currentLengths();
  XMLNode top(new Data);
  Parser parser(text, lengths, options.dropWhiteSpace);
  parser.parseContent(top.d_, 0);

  int error = parser.error();
  const char* errorPos = parser.errorPos();
  if (top.d_->pChild.empty()) {
    error = eXMLNoTagFound;
    errorPos = parser.pos();
  }

  XMLNode result = top;
  if (top.countAllEntries() == 1 && top.countChildNodes() == 1)
    result = top.childAt(0);

  if (error >= eXMLNoData) {
    result = XMLNode();
  } else if (firstTag && *firstTag &&
             (!result.getName() || strcasecmp(result.getName(), firstTag) != 0)) {
    XMLNode found = findFirstTag(result, firstTag);
    if (found.isEmpty()) {
      error = eXMLFirstTagNotFound;
      errorPos = parser.pos();
    }
    result = found;
  }

  res.error = error;
  if (error != eXMLNoError)
    lineAndColumn(lengths, text, errorPos, &res.nLine, &res.nColumn);
  return result;
}

XMLNode XMLNode::parseOpenFile(FILE* file, const char* firstTag, XMLResults* results) {
  XMLResults dummy;
  XMLResults& res = results ? *results : dummy;
  res = XMLResults();
  std::vector<char> buf;
  size_t used = 0;
  for (;;) {
    if (buf.size() - used < 4096)
      buf.resize(buf.size() < 65536 ? 65536 : buf.size() * 2);
    size_t n = fread(buf.data() + used, 1, buf.size() - used - 1, file);
    used += n;
    if (n == 0)
      break;
  }
  if (ferror(file)) {
    vlog.error("Reading XML file failed");
    res.error = eXMLNoData;
    res.nLine = res.nColumn = 1;
    return XMLNode();
  }
  if (used == 0) {
    res.error = eXMLNoData;
    res.nLine = res.nColumn = 1;
    return XMLNode();
  }
  buf[used] = '\0';
  const char* text = buf.data();
  if (options.guessWideChar && used >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0)
    text += 3;
  return parseString(text, firstTag, &res);
}

XMLNode XMLNode::parseFile(const char* path, const char* firstTag, XMLResults* results) {
  FILE* f = path ? fopen(path, "rb") : nullptr;
  if (!f) {
    if (results) {
      *results = XMLResults();
      results->error = eXMLFileNotFound;
    }
    return XMLNode();
  }
  XMLNode node = parseOpenFile(f, firstTag, results);
  fclose(f);
  return node;
}

XMLNode XMLNode::openFileHelper(const char* path, const char* firstTag) {
  if (FILE* f = fopen(path, "rb")) {
    unsigned char head[200];
    size_t n = fread(head, 1, sizeof(head), f);
    fclose(f);
    int encoding = guessCharEncoding(head, static_cast<int>(n), true);
    if (encoding != eXMLEncodingUnknown)
      setGlobalOptions(encoding, options.guessWideChar, options.dropWhiteSpace);
  }
  XMLResults res;
  XMLNode node = parseFile(path, firstTag, &res);
  if (res.error != eXMLNoError) {
    bool first = res.error == eXMLFirstTagNotFound;
    printf("XML Parsing error inside file '%s'.\n%s\nAt line %i, column %i.\n%s%s%s", path,
           errorText(res.error), res.nLine, res.nColumn, first ? "First Tag should be '" : "",
           first && firstTag ? firstTag : "", first ? "'.\n" : "");
    exit(255);
  }
  return node;
}

// ---------------------------------------------------------------------------
// Querying

const char* XMLNode::getName() const {
  return d_ ? d_->lpszName.get() : nullptr;
}
bool XMLNode::isDeclaration() const {
  return d_ && d_->isDeclaration;
}
int XMLNode::countChildNodes() const {
  return d_ ? static_cast<int>(d_->pChild.size()) : 0;
}
int XMLNode::countTexts() const {
  return d_ ? static_cast<int>(d_->pText.size()) : 0;
}
int XMLNode::countClears() const {
  return d_ ? static_cast<int>(d_->pClear.size()) : 0;
}
int XMLNode::countAttributes() const {
  return d_ ? static_cast<int>(d_->pAttribute.size()) : 0;
}
int XMLNode::countAllEntries() const {
  return countChildNodes() + countTexts() + countClears() + countAttributes();
}

XMLNode XMLNode::parent() const {
  if (!d_ || !d_->pParent)
    return XMLNode();
  d_->pParent->ref_count++;
  return XMLNode(d_->pParent);
}

XMLNode XMLNode::childAt(int i) const {
  if (i < 0 || i >= countChildNodes())
    return XMLNode();
  return d_->pChild[i];
}

int XMLNode::countChildren(const char* name) const {
  int n = 0;
  if (!name)
    return 0;
  for (int i = 0; i < countChildNodes(); i++)
    if (d_->pChild[i].getName() && strcasecmp(d_->pChild[i].getName(), name) == 0)
      n++;
  return n;
}

XMLNode XMLNode::childNamed(const char* name, int i) const {
  int index = 0;
  XMLNode found;
  do
    found = childNamedFrom(name, &index);
  while (!found.isEmpty() && i-- > 0);
  return found;
}

XMLNode XMLNode::childNamedFrom(const char* name, int* index) const {
  int i = index ? *index : 0;
  if (!name || i < 0)
    return XMLNode();
  for (; i < countChildNodes(); i++) {
    const char* n = d_->pChild[i].getName();
    if (n && strcasecmp(n, name) == 0) {
      if (index)
        *index = i + 1;
      return d_->pChild[i];
    }
  }
  return XMLNode();
}

const char* XMLNode::attributeValue(const char* name, int* index) const {
  int i = index ? *index : 0;
  if (!name || i < 0)
    return nullptr;
  for (; i < countAttributes(); i++) {
    const AttributeData& a = d_->pAttribute[i];
    if (a.name.get() && strcasecmp(a.name.get(), name) == 0) {
      if (index)
        *index = i + 1;
      return a.value.get();
    }
  }
  return nullptr;
}

const char* XMLNode::textAt(int i) const {
  if (i < 0 || i >= countTexts())
    return nullptr;
  return d_->pText[i].get();
}

XMLClear XMLNode::clearAt(int i) const {
  if (i < 0 || i >= countClears())
    return emptyXMLClear;
  const ClearData& c = d_->pClear[i];
  return XMLClear{c.value.get(), c.openTag, c.closeTag};
}

XMLAttribute XMLNode::attributeAt(int i) const {
  if (i < 0 || i >= countAttributes())
    return emptyXMLAttribute;
  const AttributeData& a = d_->pAttribute[i];
  return XMLAttribute{a.name.get(), a.value.get()};
}

// ---------------------------------------------------------------------------
// Building

namespace {

// Shifts the indexes of items of this kind at or after index by delta.
void shiftOrder(XMLNode::Data* d, int kind, size_t index, int delta) {
  for (int& e : d->pOrder)
    if ((e & 3) == kind && static_cast<size_t>(e >> 2) >= index)
      e += delta * 4;
}

// Makes room in the document order for a new item of this kind at document
// position pos (-1 or beyond the end appends) and returns its index in the
// array of its kind, which holds count items. Appending costs the same
// however many entries the node holds.
size_t placeEntry(XMLNode::Data* d, int kind, int pos, size_t count) {
  if (pos < 0 || static_cast<size_t>(pos) >= d->pOrder.size()) {
    d->pOrder.push_back(static_cast<int>(count << 2) | kind);
    return count;
  }
  size_t index = 0;
  for (int i = 0; i < pos; i++)
    if ((d->pOrder[i] & 3) == kind)
      index++;
  if (index < count)
    shiftOrder(d, kind, index, 1);
  d->pOrder.insert(d->pOrder.begin() + pos, static_cast<int>(index << 2) | kind);
  return index;
}

void removeOrder(XMLNode::Data* d, int kind, size_t index) {
  int entry = static_cast<int>(index << 2) | kind;
  for (size_t i = 0; i < d->pOrder.size(); i++) {
    if (d->pOrder[i] == entry) {
      d->pOrder.erase(d->pOrder.begin() + static_cast<long>(i));
      break;
    }
  }
  shiftOrder(d, kind, index + 1, -1);
}

} // namespace

XMLNode XMLNode::createTopNode(const char* name, bool isDeclaration) {
  Data* d = new Data;
  d->lpszName = plat::String(name);
  d->isDeclaration = isDeclaration;
  return XMLNode(d);
}

XMLNode XMLNode::addChild(const char* name, bool isDeclaration, int position) {
  return addChildOwned(plat::strDup(name), isDeclaration, position);
}

XMLNode XMLNode::addChildOwned(char* name, bool isDeclaration, int position) {
  if (!d_) {
    delete[] name;
    return XMLNode();
  }
  XMLNode child(new Data);
  child.d_->lpszName = plat::String::adopt(name);
  child.d_->isDeclaration = isDeclaration;
  return addChild(child, position);
}

XMLNode XMLNode::addChild(XMLNode child, int position) {
  if (!d_ || !child.d_)
    return XMLNode();
  for (Data* a = d_; a; a = a->pParent)
    if (a == child.d_)
      return XMLNode();
  if (Data* old = child.d_->pParent) {
    for (size_t i = 0; i < old->pChild.size(); i++) {
      if (old->pChild[i].d_ == child.d_) {
        old->pChild.erase(old->pChild.begin() + static_cast<long>(i));
        removeOrder(old, orderChild, i);
        break;
      }
    }
  }
  size_t index = placeEntry(d_, orderChild, position, d_->pChild.size());
  d_->pChild.insert(d_->pChild.begin() + static_cast<long>(index), child);
  child.d_->pParent = d_;
  return child;
}

XMLAttribute XMLNode::addAttribute(const char* name, const char* value) {
  return addAttributeOwned(plat::strDup(name), plat::strDup(value));
}

XMLAttribute XMLNode::addAttributeOwned(char* name, char* value) {
  if (!d_ || !name) {
    delete[] name;
    delete[] value;
    return emptyXMLAttribute;
  }
  AttributeData a;
  a.name = plat::String::adopt(name);
  a.value = plat::String::adopt(value);
  d_->pAttribute.push_back(std::move(a));
  return attributeAt(countAttributes() - 1);
}

const char* XMLNode::addText(const char* text, int position) {
  return addTextOwned(plat::strDup(text), position);
}

const char* XMLNode::addTextOwned(char* text, int position) {
  if (!d_ || !text) {
    delete[] text;
    return nullptr;
  }
  size_t index = placeEntry(d_, orderText, position, d_->pText.size());
  d_->pText.insert(d_->pText.begin() + static_cast<long>(index), plat::String::adopt(text));
  return d_->pText[index].get();
}

XMLClear XMLNode::addClear(const char* value, const char* openTag, const char* closeTag,
                           int position) {
  return addClearOwned(plat::strDup(value), openTag, closeTag, position);
}

XMLClear XMLNode::addClearOwned(char* value, const char* openTag, const char* closeTag,
                                int position) {
  if (!d_ || !value) {
    delete[] value;
    return emptyXMLClear;
  }
  if (!openTag || !closeTag) {
    openTag = clearCDATAOpen;
    closeTag = clearCDATAClose;
  }
  size_t index = placeEntry(d_, orderClear, position, d_->pClear.size());
  d_->pClear.insert(d_->pClear.begin() + static_cast<long>(index),
                    ClearData{plat::String::adopt(value), openTag, closeTag});
  return clearAt(static_cast<int>(index));
}

void XMLNode::updateName(const char* name) {
  if (d_)
    d_->lpszName = plat::String(name);
}

bool XMLNode::updateAttribute(int i, const char* name, const char* value) {
  if (i < 0 || i >= countAttributes())
    return false;
  AttributeData& a = d_->pAttribute[i];
  if (name)
    a.name = plat::String(name);
  a.value = plat::String(value);
  return true;
}

bool XMLNode::updateAttribute(const char* name, const char* value) {
  int index = 0;
  if (!attributeValue(name, &index) && index == 0)
    return false;
  return updateAttribute(index - 1, nullptr, value);
}

bool XMLNode::deleteAttribute(int i) {
  if (i < 0 || i >= countAttributes())
    return false;
  d_->pAttribute.erase(d_->pAttribute.begin() + i);
  return true;
}

bool XMLNode::deleteAttribute(const char* name) {
  int index = 0;
  if (!attributeValue(name, &index) && index == 0)
    return false;
  return deleteAttribute(index - 1);
}

bool XMLNode::updateText(int i, const char* text) {
  if (i < 0 || i >= countTexts() || !text)
    return false;
  d_->pText[i] = plat::String(text);
  return true;
}

bool XMLNode::deleteText(int i) {
  if (i < 0 || i >= countTexts())
    return false;
  d_->pText.erase(d_->pText.begin() + i);
  removeOrder(d_, orderText, static_cast<size_t>(i));
  return true;
}

bool XMLNode::updateClear(int i, const char* value) {
  if (i < 0 || i >= countClears() || !value)
    return false;
  d_->pClear[i].value = plat::String(value);
  return true;
}

bool XMLNode::deleteClear(int i) {
  if (i < 0 || i >= countClears())
    return false;
  d_->pClear.erase(d_->pClear.begin() + i);
  removeOrder(d_, orderClear, static_cast<size_t>(i));
  return true;
}

// ---------------------------------------------------------------------------
// Writing

namespace {

// Counts the output, and writes it too when given a buffer.
class Sink {
public:
  explicit Sink(char* buf) : buf_(buf) {}
  void put(const char* s, size_t n) {
    if (buf_)
      memcpy(buf_ + len_, s, n);
    len_ += n;
  }
  void put(const char* s) { put(s, strlen(s)); }
  void put(char c) { put(&c, 1); }
  void tabs(int n) {
    for (int i = 0; i < n; i++)
      put('\t');
  }
  void escaped(const unsigned char* lengths, const char* s) {
    escapeText(lengths, s, [this](const char* bytes, size_t n) { put(bytes, n); });
  }
  size_t length() const { return len_; }

private:
  char* buf_;
  size_t len_ = 0;
};

void writeContent(Sink& out, const unsigned char* lengths, const XMLNode::Data* d, int depth,
                  bool formatted);

void writeElement(Sink& out, const unsigned char* lengths, const XMLNode::Data* d, int depth,
                  bool formatted) {
  if (!d->lpszName.get()) {
    // A nameless node has no tag: only its content is written.
    writeContent(out, lengths, d, depth, formatted);
    return;
  }
  if (formatted)
    out.tabs(depth);
  out.put('<');
  if (d->isDeclaration)
    out.put('?');
  out.put(d->lpszName.get());
  for (const AttributeData& a : d->pAttribute) {
    if (!a.name.get() || !*a.name.get())
      continue;
    out.put(' ');
    out.put(a.name.get());
    if (a.value.get()) {
      out.put("=\"", 2);
      out.escaped(lengths, a.value.get());
      out.put('"');
    }
  }
  if (d->isDeclaration) {
    out.put("?>", 2);
    if (formatted)
      out.put('\n');
    writeContent(out, lengths, d, depth, formatted);
    return;
  }
  if (d->pOrder.empty()) {
    out.put("/>", 2);
    if (formatted)
      out.put('\n');
    return;
  }
  out.put('>');
  if (formatted)
    out.put('\n');
  writeContent(out, lengths, d, depth + 1, formatted);
  if (formatted)
    out.tabs(depth);
  out.put("</", 2);
  out.put(d->lpszName.get());
  out.put('>');
  if (formatted)
    out.put('\n');
}

void writeContent(Sink& out, const unsigned char* lengths, const XMLNode::Data* d, int depth,
                  bool formatted) {
  for (int e : d->pOrder) {
    size_t index = static_cast<size_t>(e >> 2);
    switch (e & 3) {
    case orderChild:
      writeElement(out, lengths, XMLNodeAccess::data(d->pChild[index]), depth, formatted);
      break;
    case orderText:
      if (formatted)
        out.tabs(depth);
      out.escaped(lengths, d->pText[index].c_str());
      if (formatted)
        out.put('\n');
      break;
    case orderClear: {
      const ClearData& c = d->pClear[index];
      if (formatted)
        out.tabs(depth);
      out.put(c.openTag);
      out.put(c.value.c_str());
      out.put(c.closeTag);
      if (formatted)
        out.put('\n');
      break;
    }
    }
  }
}

} // namespace

plat::String XMLNode::createXMLString(bool formatted, int* length) const {
  if (length)
    *length = 0;
  if (!d_)
    return plat::String();
  formatted = formatted && options.dropWhiteSpace;
  const unsigned char* lengths = currentLengths();
  auto run = [&](Sink& out) {
    if (d_->lpszName.get())
      writeElement(out, lengths, d_, 0, formatted);
    else
      writeContent(out, lengths, d_, 0, formatted);
  };
  Sink counter(nullptr);
  run(counter);
  char* buf = new char[counter.length() + 1];
  Sink writer(buf);
  run(writer);
  buf[writer.length()] = '\0';
  if (length)
    *length = static_cast<int>(writer.length());
  return plat::String::adopt(buf);
}

std::string XMLNode::fileText(const char* encodingName, bool formatted) const {
  std::string out;
  if (!d_)
    return out;
  if (options.characterEncoding == eXMLEncodingUTF8)
    out += "\xEF\xBB\xBF";
  bool startsWithDeclaration = d_->isDeclaration || (!d_->lpszName.get() && !d_->pChild.empty() &&
                                                     d_->pChild[0].isDeclaration());
  if (!startsWithDeclaration) {
    const char* name = options.characterEncoding == eXMLEncodingUTF8       ? "utf-8"
                       : options.characterEncoding == eXMLEncodingShiftJIS ? "SHIFT-JIS"
                       : encodingName                                      ? encodingName
                                                                           : "ISO-8859-1";
    out += std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?>\n";
  }
  int len = 0;
  plat::String text = createXMLString(formatted, &len);
  out.append(text.c_str(), static_cast<size_t>(len));
  return out;
}

int XMLNode::writeFile(const char* path, const char* encodingName, bool formatted) const {
  if (!d_)
    return eXMLNoError;
  if (!path)
    return eXMLCannotOpenForWriting;
  // A regular file (or a new one) is replaced only once the new content is
  // complete on disk, so a full disk cannot leave it cut short. A device or
  // a pipe is written directly.
  struct stat st;
  bool direct = stat(path, &st) == 0 && !S_ISREG(st.st_mode);
  std::unique_ptr<plat::ReplacementFile> replacement;
  FILE* plainFile = nullptr;
  try {
    if (direct) {
      plainFile = plat::fileOpen(path, "wb");
    } else {
      replacement.reset(new plat::ReplacementFile(path, true));
    }
  } catch (plat::Exception& e) {
    vlog.error("writing %s: %s", path, e.str());
    return eXMLCannotOpenForWriting;
  }
  FILE* f = direct ? plainFile : replacement->get();
  std::string text = fileText(encodingName, formatted);
  bool ok = text.empty() || fwrite(text.data(), text.size(), 1, f) == 1;
  int err = ok ? 0 : errno;
  if (direct) {
    if (fclose(plainFile) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (!ok)
      vlog.error("writing %s: %s", path, strerror(err));
    return ok ? eXMLNoError : eXMLCannotWrite;
  }
  if (!ok) {
    // The replacement's destructor removes the unfinished temporary file.
    vlog.error("writing %s: %s", path, strerror(err));
    return eXMLCannotWrite;
  }
  try {
    replacement->commit();
  } catch (plat::Exception& e) {
    vlog.error("writing %s: %s", path, e.str());
    return eXMLCannotWrite;
  }
  return eXMLNoError;
}

} // namespace xml
