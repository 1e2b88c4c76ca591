// The system's small, non-validating XML library: reads a whole document held
// in memory into a tree of reference-counted nodes, lets callers query and
// build trees, and writes a tree back as text, formatted with tabs or compact.
// An XMLNode is a handle on shared node data: copying a handle shares the
// data, and the data (with its children, texts, clears and attributes) is
// freed when the last handle goes. A child keeps its own subtree alive after
// its parent is released (its parent then reads as empty).
#pragma once

#include "plat/DString.h"
#include "plat/String.h"

#include <cstdio>
#include <string>
#include <vector>

namespace xml {

// Error codes of reading, writing and base64 decoding; XMLNode::errorText
// gives their texts.
enum XMLError {
  eXMLNoError = 0,
  eXMLUnclosedElements = 1, // soft: the tree built is returned
  eXMLNoTagFound = 2,
  eXMLNoData = 3,
  eXMLMissingTagName = 4,
  eXMLMissingEndTagName = 5,
  eXMLUnmatchedEndTag = 6,
  eXMLUnmatchedClearEnd = 7,
  eXMLUnexpectedToken = 8,
  eXMLNoElements = 9,
  eXMLFileNotFound = 10,
  eXMLFirstTagNotFound = 11,
  eXMLUnknownEntity = 12,
  eXMLCharConversion = 13,
  eXMLCannotOpenForWriting = 14,
  eXMLCannotWrite = 15,
  eXMLBase64LengthNotMultipleOf4 = 16,
  eXMLBase64IllegalCharacter = 17,
  eXMLBase64Truncated = 18,
  eXMLBase64BufferTooSmall = 19,
  // Elements nested deeper than XMLNode::maxNestingDepth: refused so that
  // hostile input cannot exhaust the stack of the recursive reader.
  eXMLNestingTooDeep = 20,
};

// The character encodings the reader knows, only to step over multi-byte
// characters.
enum XMLCharEncoding {
  eXMLEncodingUnknown = 0,
  eXMLEncodingUTF8 = 1,
  eXMLEncodingSingleByte = 2,
  eXMLEncodingShiftJIS = 3,
};

// The outcome of a parse: the error code and, for a non-zero code, the line
// and column of the error position, counted from 1.
struct XMLResults {
  int error = eXMLNoError;
  int nLine = 0;
  int nColumn = 0;
};

// A view of an attribute held by a node; valid while the node data lives
// and the attribute is not changed. The value is null for an attribute
// written without "=".
struct XMLAttribute {
  const char* lpszName;
  const char* lpszValue;
};

// A view of an unparsed section ("clear") held by a node: the content kept
// byte for byte and the library's fixed opening and closing tag texts.
struct XMLClear {
  const char* lpszValue;
  const char* lpszOpenTag;
  const char* lpszCloseTag;
};

class XMLNode {
public:
  XMLNode() : d_(nullptr) {}
  XMLNode(const XMLNode& other);
  XMLNode& operator=(const XMLNode& other);
  ~XMLNode();

  static const XMLNode emptyXMLNode;
  static const XMLAttribute emptyXMLAttribute;
  static const XMLClear emptyXMLClear;

  // The fixed tag texts of the five kinds of unparsed sections.
  static const char* const clearCDATAOpen;
  static const char* const clearCDATAClose;
  static const char* const clearDOCTYPEOpen;
  static const char* const clearCommentOpen;
  static const char* const clearCommentClose;

  // Deepest nesting of elements the reader accepts.
  static constexpr int maxNestingDepth = 1024;

  // Reading. Failures are reported through results and an empty node.
  static XMLNode parseString(const char* text, const char* firstTag, XMLResults* results);
  static XMLNode parseFile(const char* path, const char* firstTag, XMLResults* results);
  static XMLNode parseOpenFile(FILE* file, const char* firstTag, XMLResults* results);
  // Parses the file, guessing its encoding first; on any error prints the
  // error on standard output and ends the process with status 255.
  static XMLNode openFileHelper(const char* path, const char* firstTag);

  // The text of an error code; "Unknown" for codes it does not know.
  static const char* errorText(int code);
  static const char* versionText() { return "v2.30"; }

  // Process-wide options. Returns 0, or 1 for an unknown encoding (whose
  // flags are still applied).
  static int setGlobalOptions(int characterEncoding = eXMLEncodingUTF8, bool guessWideChar = true,
                              bool dropWhiteSpace = true);
  // Guesses the encoding of a buffer: eXMLEncodingUnknown (0) .. 3.
  static int guessCharEncoding(const void* buffer, int length, bool useXmlDeclaration = true);

  // Querying; every lookup that finds nothing gives the empty node, a null
  // text or 0.
  const char* getName() const;
  bool isEmpty() const { return d_ == nullptr; }
  bool isDeclaration() const;
  int countChildNodes() const;
  int countTexts() const;
  int countClears() const;
  int countAttributes() const;
  // Children, attributes, texts and clears together.
  int countAllEntries() const;
  XMLNode parent() const;
  XMLNode childAt(int i) const;
  // Names are compared without regard to case.
  int countChildren(const char* name) const;
  XMLNode childNamed(const char* name, int i = 0) const;
  // The next child named so from position *index (0 when index is null),
  // which is advanced past it.
  XMLNode childNamedFrom(const char* name, int* index) const;
  // The value of the first attribute with that name from position *index
  // (0 when index is null), which is advanced past it.
  const char* attributeValue(const char* name, int* index = nullptr) const;
  const char* textAt(int i) const;
  XMLClear clearAt(int i) const;
  XMLAttribute attributeAt(int i) const;

  // Building. A position of -1 appends; otherwise it is the place among the
  // node's children, texts and clears in document order. The plain variants
  // copy names and values; the "Owned" variants take over texts allocated
  // with new[].
  static XMLNode createTopNode(const char* name = nullptr, bool isDeclaration = false);
  XMLNode addChild(const char* name, bool isDeclaration = false, int position = -1);
  XMLNode addChildOwned(char* name, bool isDeclaration = false, int position = -1);
  // Makes an existing node a child of this one, taking it from its former
  // parent; gives the empty node when the child is empty, this node or one
  // of its ancestors.
  XMLNode addChild(XMLNode child, int position = -1);
  XMLAttribute addAttribute(const char* name, const char* value);
  XMLAttribute addAttributeOwned(char* name, char* value);
  const char* addText(const char* text, int position = -1);
  const char* addTextOwned(char* text, int position = -1);
  // The tag texts are borrowed: pass the fixed texts above or other static
  // texts; null tags give a CDATA section.
  XMLClear addClear(const char* value, const char* openTag = nullptr,
                    const char* closeTag = nullptr, int position = -1);
  XMLClear addClearOwned(char* value, const char* openTag = nullptr, const char* closeTag = nullptr,
                         int position = -1);

  void updateName(const char* name);
  // Replaces name (when not null) and value of the i-th attribute.
  bool updateAttribute(int i, const char* name, const char* value);
  // Replaces the value of the first attribute with that name.
  bool updateAttribute(const char* name, const char* value);
  bool deleteAttribute(int i);
  bool deleteAttribute(const char* name);
  bool updateText(int i, const char* text);
  bool deleteText(int i);
  bool updateClear(int i, const char* value);
  bool deleteClear(int i);

  // Writing. The text of the tree, formatted (only when white space is
  // dropped) or compact; *length gets its length when length is not null.
  plat::String createXMLString(bool formatted = true, int* length = nullptr) const;
  // Writes the tree to a file, with a declaration unless the tree starts
  // with one; returns 0, eXMLCannotOpenForWriting or eXMLCannotWrite (the
  // cause is logged). A regular file is replaced only once the new text is
  // complete on disk (a symbolic link's target, the link kept): on failure it
  // stays as it was.
  int writeFile(const char* path, const char* encodingName = nullptr, bool formatted = true) const;
  // The bytes writeFile writes: the byte-order mark for UTF-8, the
  // declaration when the tree has none, then the tree.
  std::string fileText(const char* encodingName = nullptr, bool formatted = true) const;

  bool operator==(const XMLNode& other) const { return d_ == other.d_; }
  bool operator!=(const XMLNode& other) const { return d_ != other.d_; }

  struct Data;

private:
  friend struct XMLNodeAccess;
  explicit XMLNode(Data* d);
  static void release(Data* d);

  Data* d_;
};

// The text with the five special characters written as character entities,
// in a buffer that is reused from call to call and freed by its owner.
const char* toXMLString(plat::DString& buffer, const char* text);

} // namespace xml
