#include "plat/XMLNode.h"

#include "plat/FileOps.h"
#include "plat/StringUtils.h"

#include "FileContents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using xml::XMLNode;
using xml::XMLResults;

namespace {

// Restores the process-wide options when a test changed them.
struct OptionsGuard {
  ~OptionsGuard() { XMLNode::setGlobalOptions(xml::eXMLEncodingUTF8, true, true); }
};

using testing_support::readFile;
using testing_support::TempDir;

void writeFileBytes(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

std::string str(const plat::String& s) {
  return s.c_str();
}

// ---------------------------------------------------------------------------

TEST(XMLNodeParse, ErrorCodesWithLineAndColumn) {
  struct Case {
    const char* text;
    const char* firstTag;
    int error;
    int line, column;
    bool emptyResult;
  } cases[] = {
      {"<a/>", nullptr, xml::eXMLNoError, 0, 0, false},
      // Soft: b is left open; the position is just after "</a>".
      {"<a><b></a>", nullptr, xml::eXMLUnclosedElements, 1, 11, false},
      // Soft: the text ends inside a.
      {"<a><b/>", nullptr, xml::eXMLUnclosedElements, 1, 8, false},
      {"<a", nullptr, xml::eXMLUnclosedElements, 1, 3, false},
      {"just text", nullptr, xml::eXMLNoTagFound, 1, 10, false},
      {"", nullptr, xml::eXMLNoTagFound, 1, 1, false},
      {"<a><>", nullptr, xml::eXMLMissingTagName, 1, 5, true},
      {"<a></>", nullptr, xml::eXMLMissingEndTagName, 1, 6, true},
      {"<a></a b>", nullptr, xml::eXMLMissingEndTagName, 1, 8, true},
      {"<a></b>", nullptr, xml::eXMLUnmatchedEndTag, 1, 8, true},
      {"<a>\n  <b/>\n</c>", nullptr, xml::eXMLUnmatchedEndTag, 3, 5, true},
      {"<a><![CDATA[x</a>", nullptr, xml::eXMLUnmatchedClearEnd, 1, 4, true},
      {"<a><!-- x", nullptr, xml::eXMLUnmatchedClearEnd, 1, 4, true},
      {"<a b=>", nullptr, xml::eXMLUnexpectedToken, 1, 6, true},
      {"<a =x>", nullptr, xml::eXMLUnexpectedToken, 1, 4, true},
      {"<a/>", "config", xml::eXMLFirstTagNotFound, 1, 5, true},
      {"<a>&foo;</a>", nullptr, xml::eXMLUnknownEntity, 1, 4, true},
      {"<a>x &#65</a>", nullptr, xml::eXMLUnknownEntity, 1, 6, true},
      // A reference to code 0 (also through its low 8 bits) would cut the
      // text short: refused.
      {"<a>&#0;</a>", nullptr, xml::eXMLUnknownEntity, 1, 4, true},
      {"<a>&#x100;</a>", nullptr, xml::eXMLUnknownEntity, 1, 4, true},
      {"<a v='&#256;'/>", nullptr, xml::eXMLUnknownEntity, 1, 7, true},
      {"<a>&#;</a>", nullptr, xml::eXMLUnknownEntity, 1, 4, true},
  };
  for (const Case& c : cases) {
    XMLResults res;
    XMLNode n = XMLNode::parseString(c.text, c.firstTag, &res);
    EXPECT_EQ(res.error, c.error) << c.text;
    EXPECT_EQ(res.nLine, c.line) << c.text;
    EXPECT_EQ(res.nColumn, c.column) << c.text;
    EXPECT_EQ(n.isEmpty(), c.emptyResult) << c.text;
  }
}

TEST(XMLNodeParse, NullTextIsNoElements) {
  XMLResults res;
  EXPECT_TRUE(XMLNode::parseString(nullptr, nullptr, &res).isEmpty());
  EXPECT_EQ(res.error, xml::eXMLNoElements);
}

TEST(XMLNodeParse, SoftErrorKeepsTheTree) {
  XMLResults res;
  XMLNode a = XMLNode::parseString("<a><b></a>", nullptr, &res);
  EXPECT_EQ(res.error, xml::eXMLUnclosedElements);
  ASSERT_STREQ(a.getName(), "a");
  ASSERT_EQ(a.countChildNodes(), 1);
  EXPECT_STREQ(a.childAt(0).getName(), "b");
}

TEST(XMLNodeParse, DeclarationHoldsItsFollowingSiblings) {
  const char* doc = "<?xml version=\"1.0\"?><config/>";
  XMLResults res;
  XMLNode decl = XMLNode::parseString(doc, nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(decl.getName(), "xml");
  EXPECT_TRUE(decl.isDeclaration());
  EXPECT_STREQ(decl.attributeValue("version"), "1.0");
  EXPECT_EQ(decl.countAttributes(), 1);
  ASSERT_EQ(decl.countChildNodes(), 1);
  EXPECT_STREQ(decl.childAt(0).getName(), "config");

  XMLNode config = XMLNode::parseString(doc, "config", &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(config.getName(), "config");
  EXPECT_FALSE(config.isDeclaration());
  // Only the found element is kept: the declaration around it is released.
  EXPECT_TRUE(config.parent().isEmpty());

  // The '?' of "?>" is dropped from a last unquoted value and from a bare name.
  XMLNode d2 = XMLNode::parseString("<?pi a=1 b?><r/>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  ASSERT_EQ(d2.countAttributes(), 2);
  EXPECT_STREQ(d2.attributeValue("a"), "1");
  EXPECT_STREQ(d2.attributeAt(1).lpszName, "b");
  XMLNode d3 = XMLNode::parseString("<?pi?><r/>", nullptr, &res);
  EXPECT_STREQ(d3.getName(), "pi");

  // An end tag passing through a declaration is no error.
  XMLNode root = XMLNode::parseString("<root><?pi?><a/></root>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(root.childAt(0).childAt(0).getName(), "a");
}

TEST(XMLNodeParse, DoctypeWithInternalSubsetIsOneClear) {
  const char* doc = "<!DOCTYPE config [\n  <!ELEMENT config (bool?)>\n  <!-- c -->\n]>\n<config/>";
  XMLResults res;
  XMLNode config = XMLNode::parseString(doc, "config", &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(config.getName(), "config");
  XMLNode top = XMLNode::parseString(doc, nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(top.childAt(0).getName(), "config");
  ASSERT_EQ(top.countClears(), 1);
  xml::XMLClear c = top.clearAt(0);
  EXPECT_STREQ(c.lpszOpenTag, "<!DOCTYPE");
  EXPECT_STREQ(c.lpszCloseTag, "]>");
  EXPECT_STREQ(c.lpszValue, " config [\n  <!ELEMENT config (bool?)>\n  <!-- c -->\n");

  XMLNode simple = XMLNode::parseString("<!DOCTYPE html><a/>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(simple.clearAt(0).lpszCloseTag, ">");
  EXPECT_STREQ(simple.clearAt(0).lpszValue, " html");
}

TEST(XMLNodeParse, ClearsAreKeptByteForByte) {
  struct Case {
    const char* text;
    const char* value;
    const char* open;
    const char* close;
  } cases[] = {
      {"<a><![CDATA[ x<y&z ]]></a>", " x<y&z ", "<![CDATA[", "]]>"},
      {"<a><!-- c&d --></a>", " c&d ", "<!--", "-->"},
      {"<a><PRE> <b> </PRE></a>", " <b> ", "<PRE>", "</PRE>"},
      {"<a><Script>if (a<b) x();</Script></a>", "if (a<b) x();", "<Script>", "</Script>"},
  };
  for (const Case& c : cases) {
    XMLResults res;
    XMLNode a = XMLNode::parseString(c.text, nullptr, &res);
    EXPECT_EQ(res.error, 0) << c.text;
    ASSERT_EQ(a.countClears(), 1) << c.text;
    EXPECT_STREQ(a.clearAt(0).lpszValue, c.value);
    EXPECT_STREQ(a.clearAt(0).lpszOpenTag, c.open);
    EXPECT_STREQ(a.clearAt(0).lpszCloseTag, c.close);
  }
  // Lower-case "<pre>" is an ordinary element.
  XMLNode pre = XMLNode::parseString("<pre>x</pre>", nullptr, nullptr);
  EXPECT_STREQ(pre.getName(), "pre");
}

TEST(XMLNodeParse, AttributesQuotedUnquotedAndBare) {
  XMLResults res;
  XMLNode a = XMLNode::parseString("<a x='1 &amp; 2' y=2 z w=\"\"/>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  ASSERT_EQ(a.countAttributes(), 4);
  EXPECT_STREQ(a.attributeValue("X"), "1 & 2");
  EXPECT_STREQ(a.attributeValue("y"), "2");
  EXPECT_STREQ(a.attributeAt(2).lpszName, "z");
  EXPECT_EQ(a.attributeAt(2).lpszValue, nullptr);
  EXPECT_STREQ(a.attributeValue("w"), "");
  EXPECT_EQ(a.attributeValue("missing"), nullptr);
  EXPECT_EQ(a.attributeAt(9).lpszName, nullptr);

  int index = 0;
  XMLNode r = XMLNode::parseString("<r k='1' o='x' k='2'/>", nullptr, &res);
  EXPECT_STREQ(r.attributeValue("k", &index), "1");
  EXPECT_STREQ(r.attributeValue("k", &index), "2");
  EXPECT_EQ(r.attributeValue("k", &index), nullptr);

  // An unterminated quote is read as a word.
  XMLNode q = XMLNode::parseString("<a v='x>t</a>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(q.attributeValue("v"), "'x");
}

TEST(XMLNodeParse, EntitiesInTexts) {
  XMLResults res;
  XMLNode a =
      XMLNode::parseString("<a>&#65;&#x42;&#X43;&LT;&gt;&quot;&apos;&amp;</a>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(a.textAt(0), "ABC<>\"'&");
  // Only the low 8 bits of a reference count.
  XMLNode b = XMLNode::parseString("<a>&#321;</a>", nullptr, &res);
  EXPECT_STREQ(b.textAt(0), "A");
}

TEST(XMLNodeParse, TextsTrimmedInDocumentOrder) {
  XMLResults res;
  XMLNode a = XMLNode::parseString("<a>\n  one <b/>  \n <!--c--> two\t</a>", nullptr, &res);
  EXPECT_EQ(res.error, 0);
  ASSERT_EQ(a.countTexts(), 2);
  EXPECT_STREQ(a.textAt(0), "one");
  EXPECT_STREQ(a.textAt(1), "two");
  EXPECT_EQ(a.countAllEntries(), 4);
  // The order is kept: written back compact it reads the same.
  EXPECT_EQ(str(a.createXMLString(false)), "<a>one<b/><!--c-->two</a>");

  OptionsGuard guard;
  XMLNode::setGlobalOptions(xml::eXMLEncodingUTF8, true, false);
  XMLNode k = XMLNode::parseString("<a> x <b/></a>", nullptr, &res);
  EXPECT_STREQ(k.textAt(0), " x ");
}

TEST(XMLNodeParse, FirstTagSearch) {
  XMLResults res;
  XMLNode n = XMLNode::parseString("<r><x/><config a='1'/><config a='2'/></r>", "CONFIG", &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(n.attributeValue("a"), "1");
  // Several top entries: the nameless top node is the result.
  XMLNode top = XMLNode::parseString("<a/><b/>", nullptr, &res);
  EXPECT_EQ(top.getName(), nullptr);
  EXPECT_EQ(top.countChildNodes(), 2);
}

TEST(XMLNodeParse, EncodingsStepOverMultiByteCharacters) {
  OptionsGuard guard;
  struct Case {
    int encoding;
    const char* text;
    int error;
    int column;
  } cases[] = {
      // 0xE3 starts a 3-byte UTF-8 character that swallows "</": the text ends
      // inside a.
      {xml::eXMLEncodingUTF8, "<a>\xE3</a>", xml::eXMLUnclosedElements, 7},
      {xml::eXMLEncodingSingleByte, "<a>\xE3</a>", xml::eXMLNoError, 0},
      // 0x81 starts a 2-byte Shift-JIS character that swallows '<'.
      {xml::eXMLEncodingShiftJIS, "<a>\x81</a>", xml::eXMLUnclosedElements, 8},
      {xml::eXMLEncodingSingleByte, "<a>\x81</a>", xml::eXMLNoError, 0},
      // Columns count characters: two 3-byte characters are two columns.
      {xml::eXMLEncodingUTF8, "<a>\xE3\x81\x82\xE3\x81\x82</b>", xml::eXMLUnmatchedEndTag, 10},
      {xml::eXMLEncodingSingleByte, "<a>\xE3\x81\x82\xE3\x81\x82</b>", xml::eXMLUnmatchedEndTag,
       14},
      // A lead byte cut short by the end of the text is no overread.
      {xml::eXMLEncodingUTF8, "<a>\xF0", xml::eXMLUnclosedElements, 5},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(XMLNode::setGlobalOptions(c.encoding, true, true), 0);
    XMLResults res;
    XMLNode::parseString(c.text, nullptr, &res);
    EXPECT_EQ(res.error, c.error) << c.encoding << " " << c.text;
    if (c.column) {
      EXPECT_EQ(res.nColumn, c.column) << c.encoding << " " << c.text;
    }
  }
  // An unknown encoding is refused, its flags still applied.
  EXPECT_EQ(XMLNode::setGlobalOptions(7, true, false), 1);
  XMLNode k = XMLNode::parseString("<a> x </a>", nullptr, nullptr);
  EXPECT_STREQ(k.textAt(0), " x ");
}

TEST(XMLNodeParse, DeepNestingIsAnErrorNotACrash) {
  struct Case {
    const char* open;
    int levels;
    int error;
  } cases[] = {
      {"<a>", XMLNode::maxNestingDepth, xml::eXMLUnclosedElements}, // exact fit
      {"<a>", XMLNode::maxNestingDepth + 1, xml::eXMLNestingTooDeep},
      {"<a>", 100000, xml::eXMLNestingTooDeep},
      {"<?a?>", 100000, xml::eXMLNestingTooDeep}, // declarations hold what follows
  };
  for (const Case& c : cases) {
    std::string doc;
    for (int i = 0; i < c.levels; i++)
      doc += c.open;
    XMLResults res;
    XMLNode n = XMLNode::parseString(doc.c_str(), nullptr, &res);
    EXPECT_EQ(res.error, c.error) << c.open << c.levels;
    if (c.error == xml::eXMLNestingTooDeep) {
      EXPECT_TRUE(n.isEmpty());
      EXPECT_EQ(res.nLine, 1);
      EXPECT_EQ(res.nColumn, XMLNode::maxNestingDepth * static_cast<int>(strlen(c.open)) + 1);
      EXPECT_STREQ(XMLNode::errorText(res.error), "elements nested too deeply");
    }
  }
}

TEST(XMLNodeParse, ManyChildrenOfOneElement) {
  std::string doc = "<history>";
  for (int i = 0; i < 100000; i++)
    doc += "<m t='x'>hi</m>";
  doc += "</history>";
  XMLResults res;
  XMLNode h = XMLNode::parseString(doc.c_str(), nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_EQ(h.countChildNodes(), 100000);
  EXPECT_EQ(h.countChildren("M"), 100000);
  EXPECT_STREQ(h.childAt(99999).textAt(0), "hi");
}

TEST(XMLNodeParse, ErrorTexts) {
  EXPECT_STREQ(XMLNode::errorText(0), "no error");
  EXPECT_STREQ(XMLNode::errorText(1), "unmatched end tag");
  EXPECT_STREQ(XMLNode::errorText(6), "unmatched end tag");
  EXPECT_STREQ(XMLNode::errorText(11), "first tag not found");
  EXPECT_STREQ(XMLNode::errorText(19), "base64 decode output buffer is too small");
  EXPECT_STREQ(XMLNode::errorText(21), "Unknown");
  EXPECT_STREQ(XMLNode::errorText(-1), "Unknown");
  EXPECT_STREQ(XMLNode::versionText(), "v2.30");
}

// ---------------------------------------------------------------------------

TEST(XMLNodeFile, ByteOrderMarkEmptyAndMissingFiles) {
  TempDir dir;
  writeFileBytes(dir.file("bom.xml"), "\xEF\xBB\xBF<config/>");
  writeFileBytes(dir.file("empty.xml"), "");
  XMLResults res;
  XMLNode n = XMLNode::parseFile(dir.file("bom.xml").c_str(), nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_STREQ(n.getName(), "config");

  XMLNode::parseFile(dir.file("empty.xml").c_str(), nullptr, &res);
  EXPECT_EQ(res.error, xml::eXMLNoData);
  EXPECT_TRUE(XMLNode::parseFile(dir.file("none.xml").c_str(), nullptr, &res).isEmpty());
  EXPECT_EQ(res.error, xml::eXMLFileNotFound);

  // Without guessing wide characters the mark is text before the element.
  OptionsGuard guard;
  XMLNode::setGlobalOptions(xml::eXMLEncodingUTF8, false, true);
  XMLNode top = XMLNode::parseFile(dir.file("bom.xml").c_str(), nullptr, &res);
  EXPECT_EQ(top.getName(), nullptr);
  EXPECT_STREQ(top.textAt(0), "\xEF\xBB\xBF");
}

TEST(XMLNodeFile, WriteFileAddsDeclarationAndByteOrderMark) {
  OptionsGuard guard;
  TempDir dir;
  XMLNode top = XMLNode::createTopNode("config");
  top.addChild("x").addAttribute("v", "1");
  std::string p = dir.file("out.xml");

  EXPECT_EQ(top.writeFile(p.c_str(), nullptr, false), 0);
  EXPECT_EQ(readFile(p), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                         "<config><x v=\"1\"/></config>");
  struct stat st;
  ASSERT_EQ(stat(p.c_str(), &st), 0);

  XMLNode decl = XMLNode::createTopNode("xml", true);
  decl.addAttribute("version", "1.0");
  decl.addChild("r");
  EXPECT_EQ(decl.writeFile(p.c_str(), nullptr, false), 0);
  EXPECT_EQ(readFile(p), "\xEF\xBB\xBF<?xml version=\"1.0\"?><r/>");

  XMLNode::setGlobalOptions(xml::eXMLEncodingSingleByte, true, true);
  EXPECT_EQ(top.writeFile(p.c_str(), "windows-1252", false), 0);
  EXPECT_EQ(readFile(p), "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
                         "<config><x v=\"1\"/></config>");
  EXPECT_EQ(top.writeFile(p.c_str(), nullptr, false), 0);
  EXPECT_EQ(readFile(p).rfind("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<config>", 0), 0u);
  XMLNode::setGlobalOptions(xml::eXMLEncodingShiftJIS, true, true);
  EXPECT_EQ(top.writeFile(p.c_str(), "ignored", false), 0);
  EXPECT_EQ(readFile(p).rfind("<?xml version=\"1.0\" encoding=\"SHIFT-JIS\"?>\n<config>", 0), 0u);

  EXPECT_EQ(XMLNode().writeFile(p.c_str()), 0);
  EXPECT_EQ(top.writeFile(dir.file("no/such/dir.xml").c_str()), xml::eXMLCannotOpenForWriting);
  EXPECT_EQ(top.writeFile("/dev/full"), xml::eXMLCannotWrite);
}

// A write that fails part-way (a full disk, here a file-size limit) reports
// the failure and leaves the old file as it was, byte for byte, with no
// temporary file beside it. The limit is set in a child process.
TEST(XMLNodeFile, FailedWriteLeavesTheOldFileUntouched) {
  OptionsGuard guard;
  TempDir dir;
  std::string p = dir.file("history.xml");
  const std::string old = "<?xml version=\"1.0\"?>\n<history><m t=\"kept\"/></history>";
  writeFileBytes(p, old);
  XMLNode top = XMLNode::createTopNode("history");
  for (int i = 0; i < 2000; i++)
    top.addChild("m").addAttribute("t", "a message long enough to pass the limit");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1000, 1000};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(top.writeFile(p.c_str()) == xml::eXMLCannotWrite ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(readFile(p), old);
  EXPECT_TRUE(testing_support::tempFilesBeside(p).empty());
  // Without the limit the same write replaces the file.
  EXPECT_EQ(top.writeFile(p.c_str()), 0);
  EXPECT_EQ(readFile(p).size(), 3 + 39 + strlen(top.createXMLString(true).c_str()));
}

TEST(XMLNodeFile, OpenFileHelperEndsTheProcessOnError) {
  TempDir dir;
  writeFileBytes(dir.file("bad.xml"), "<a/>");
  writeFileBytes(dir.file("good.xml"), "<config v='1'/>");
  EXPECT_STREQ(XMLNode::openFileHelper(dir.file("good.xml").c_str(), "config").attributeValue("v"),
               "1");

  std::string out = dir.file("stdout.txt");
  fflush(stdout);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (!freopen(out.c_str(), "w", stdout))
      _exit(3);
    XMLNode::openFileHelper(dir.file("bad.xml").c_str(), "config");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 255);
  EXPECT_EQ(readFile(out), "XML Parsing error inside file '" + dir.file("bad.xml") +
                               "'.\nfirst tag not found\nAt line 1, column 5.\n"
                               "First Tag should be 'config'.\n");
}

TEST(XMLNodeEncoding, GuessCharEncoding) {
  struct Case {
    std::string bytes;
    bool useDeclaration;
    int expected;
  } cases[] = {
      {"<a/>", true, xml::eXMLEncodingUnknown}, // fewer than 25 bytes
      {"\xEF\xBB\xBF<config>.................</config>", true, xml::eXMLEncodingUTF8},
      {"<config>plain ascii text here</config>", true, xml::eXMLEncodingUTF8},
      {"<config>caf\xC3\xA9 au lait, s'il vous plait</config>", true, xml::eXMLEncodingUTF8},
      {"<config>caf\xE9 au lait, s'il vous plait</config>", true, xml::eXMLEncodingSingleByte},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>", true, xml::eXMLEncodingUTF8},
      {"<?xml version=\"1.0\" encoding = 'utf8'?><a>\xE9</a>", true, xml::eXMLEncodingUnknown},
      {"<?xml version=\"1.0\" encoding=\"Shift-JIS\"?><a/>", true, xml::eXMLEncodingShiftJIS},
      {"<?xml version=\"1.0\" encoding=\"sjis\"?><a/>", true, xml::eXMLEncodingShiftJIS},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", true, xml::eXMLEncodingSingleByte},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", false, xml::eXMLEncodingUTF8},
  };
  for (const Case& c : cases)
    EXPECT_EQ(XMLNode::guessCharEncoding(c.bytes.data(), static_cast<int>(c.bytes.size()),
                                         c.useDeclaration),
              c.expected)
        << c.bytes;
}

// ---------------------------------------------------------------------------

XMLNode sampleTree() {
  XMLNode top = XMLNode::createTopNode();
  XMLNode root = top.addChild("chat");
  root.addAttribute("owner", "Ann & \"Bob\" <x>");
  XMLNode m = root.addChild("message");
  m.addAttribute("from", "a'b");
  m.addText("Hello <world> & caf\xC3\xA9");
  m.addChild("empty").addAttribute("flag", nullptr);
  root.addClear(" raw <b> & ");
  root.addClear(" note ", XMLNode::clearCommentOpen, XMLNode::clearCommentClose);
  root.addText("tail");
  return top;
}

TEST(XMLNodeWrite, FormattedAndCompactForms) {
  XMLNode top = sampleTree();
  int len = 0;
  std::string compact = str(top.createXMLString(false, &len));
  EXPECT_EQ(compact,
            "<chat owner=\"Ann &amp; &quot;Bob&quot; &lt;x&gt;\"><message from=\"a&apos;b\">"
            "Hello &lt;world&gt; &amp; caf\xC3\xA9<empty flag/></message>"
            "<![CDATA[ raw <b> & ]]><!-- note -->tail</chat>");
  EXPECT_EQ(len, static_cast<int>(compact.size()));
  std::string formatted = str(top.createXMLString(true));
  EXPECT_EQ(formatted, "<chat owner=\"Ann &amp; &quot;Bob&quot; &lt;x&gt;\">\n"
                       "\t<message from=\"a&apos;b\">\n"
                       "\t\tHello &lt;world&gt; &amp; caf\xC3\xA9\n"
                       "\t\t<empty flag/>\n"
                       "\t</message>\n"
                       "\t<![CDATA[ raw <b> & ]]>\n"
                       "\t<!-- note -->\n"
                       "\ttail\n"
                       "</chat>\n");

  // Without dropping white space only the compact form is possible.
  OptionsGuard guard;
  XMLNode::setGlobalOptions(xml::eXMLEncodingUTF8, true, false);
  EXPECT_EQ(str(top.createXMLString(true)), compact);
}

TEST(XMLNodeWrite, RoundTripsFormattedAndCompact) {
  XMLNode top = sampleTree();
  for (bool formatted : {true, false}) {
    std::string text = str(top.createXMLString(formatted));
    XMLResults res;
    XMLNode back = XMLNode::parseString(text.c_str(), nullptr, &res);
    ASSERT_EQ(res.error, 0) << text;
    EXPECT_EQ(str(back.createXMLString(formatted)), text);
    EXPECT_STREQ(back.attributeValue("owner"), "Ann & \"Bob\" <x>");
    EXPECT_STREQ(back.childNamed("message").textAt(0), "Hello <world> & caf\xC3\xA9");
    EXPECT_EQ(back.childNamed("message").childAt(0).attributeAt(0).lpszValue, nullptr);
  }
}

// Bytes that do not form a whole character of the current encoding (text in
// another encoding, a value cut in the middle of a character) are written so
// that the reader never takes the markup after them for part of a character.
TEST(XMLNodeWrite, IncompleteMultiByteCharactersRoundTrip) {
  OptionsGuard guard;
  struct Case {
    int encoding;
    const char* value;
  } cases[] = {
      {xml::eXMLEncodingUTF8, "caf\xE9"},                // a lead byte last
      {xml::eXMLEncodingUTF8, "caf\xE9 au lait"},        // a lead byte before a blank
      {xml::eXMLEncodingUTF8, "\xE0<x/>&\xC3\""},        // lead bytes before markup
      {xml::eXMLEncodingUTF8, "cut \xE3\x81"},           // a character cut short
      {xml::eXMLEncodingUTF8, "\xF0\x9F'q\xE3\x81\x82"}, // cut, then a whole one
      {xml::eXMLEncodingShiftJIS, "\x81<\x82\xA0\x9F"},  // cut, whole, lead last
      {xml::eXMLEncodingShiftJIS, "a\xE0\"b"},
  };
  for (const Case& c : cases) {
    XMLNode::setGlobalOptions(c.encoding, true, true);
    XMLNode top = XMLNode::createTopNode("r");
    top.addAttribute("v", c.value);
    XMLNode m = top.addChild("m");
    m.addText(c.value);
    m.addAttribute("w", c.value);
    for (bool formatted : {true, false}) {
      std::string text = str(top.createXMLString(formatted));
      XMLResults res;
      XMLNode back = XMLNode::parseString(text.c_str(), nullptr, &res);
      EXPECT_EQ(res.error, 0) << text;
      EXPECT_STREQ(back.attributeValue("v"), c.value) << text;
      EXPECT_STREQ(back.childNamed("m").textAt(0), c.value) << text;
      EXPECT_STREQ(back.childNamed("m").attributeValue("w"), c.value) << text;
    }
  }
  // Whole characters are written as they are.
  XMLNode::setGlobalOptions(xml::eXMLEncodingShiftJIS, true, true);
  plat::DString buf;
  EXPECT_STREQ(xml::toXMLString(buf, "\x82\xA0<\x81"), "\x82\xA0&lt;&#129;");
}

TEST(XMLNodeWrite, EdgeForms) {
  // One child with one attribute: the one empty-element tag, no newline.
  XMLNode top = XMLNode::createTopNode();
  top.addChild("a").addAttribute("b", "c");
  EXPECT_EQ(str(top.createXMLString(false)), "<a b=\"c\"/>");
  // A declaration is followed by its content without an end tag.
  XMLNode d = XMLNode::createTopNode("xml", true);
  d.addAttribute("version", "1.0");
  d.addChild("config").addChild("x");
  EXPECT_EQ(str(d.createXMLString(false)), "<?xml version=\"1.0\"?><config><x/></config>");
  EXPECT_EQ(str(d.createXMLString(true)), "<?xml version=\"1.0\"?>\n<config>\n\t<x/>\n</config>\n");
  // Attributes with empty names are not written; the empty node writes nothing.
  XMLNode e = XMLNode::createTopNode("e");
  e.addAttribute("", "v");
  EXPECT_EQ(str(e.createXMLString(false)), "<e/>");
  int len = 7;
  EXPECT_TRUE(XMLNode().createXMLString(false, &len).isNull());
  EXPECT_EQ(len, 0);

  plat::DString buf;
  EXPECT_STREQ(xml::toXMLString(buf, "a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&apos;");
  EXPECT_STREQ(xml::toXMLString(buf, "plain"), "plain");
}

// ---------------------------------------------------------------------------

TEST(XMLNodeBuild, PositionsUpdatesAndDeletes) {
  XMLNode r = XMLNode::createTopNode("r");
  r.addText("t1");
  r.addChild("c2");
  r.addText("t0", 0);
  r.addChild("c1", false, 1);
  r.addClear("k", nullptr, nullptr, 2);
  EXPECT_EQ(str(r.createXMLString(false)), "<r>t0<c1/><![CDATA[k]]>t1<c2/></r>");
  EXPECT_STREQ(r.childAt(0).getName(), "c1");
  EXPECT_STREQ(r.textAt(1), "t1");

  EXPECT_TRUE(r.deleteText(0));
  EXPECT_TRUE(r.updateText(0, "T1"));
  EXPECT_TRUE(r.updateClear(0, "K"));
  EXPECT_EQ(str(r.createXMLString(false)), "<r><c1/><![CDATA[K]]>T1<c2/></r>");
  EXPECT_TRUE(r.deleteClear(0));
  EXPECT_FALSE(r.deleteClear(0));
  EXPECT_FALSE(r.deleteText(5));

  r.addAttribute("a", "1");
  r.addAttribute("b", "2");
  EXPECT_TRUE(r.updateAttribute("B", "3"));
  EXPECT_TRUE(r.updateAttribute(0, "A", nullptr));
  EXPECT_FALSE(r.updateAttribute("zz", "3"));
  EXPECT_EQ(str(r.createXMLString(false)), "<r A b=\"3\"><c1/>T1<c2/></r>");
  EXPECT_TRUE(r.deleteAttribute("a"));
  EXPECT_FALSE(r.deleteAttribute(3));
  r.updateName("s");
  EXPECT_EQ(str(r.createXMLString(false)), "<s b=\"3\"><c1/>T1<c2/></s>");

  r.addTextOwned(plat::strDup("own"));
  r.addAttributeOwned(plat::strDup("n"), plat::strDup("v"));
  r.addChildOwned(plat::strDup("c3"));
  EXPECT_EQ(str(r.createXMLString(false)), "<s b=\"3\" n=\"v\"><c1/>T1<c2/>own<c3/></s>");
}

// A chat history of 100,000 messages is built by appending, written and read
// back; appending children, texts and clears costs the same however many the
// element already holds.
TEST(XMLNodeBuild, AppendingToALargeElement) {
  const int messages = 100000;
  XMLNode history = XMLNode::createTopNode("history");
  for (int i = 0; i < messages; i++) {
    XMLNode m = history.addChild("m");
    m.addAttribute("n", std::to_string(i).c_str());
    m.addText("hi");
    if (i % 10 == 0)
      history.addText("t");
    if (i % 1000 == 0)
      history.addClear("c", XMLNode::clearCommentOpen, XMLNode::clearCommentClose);
  }
  ASSERT_EQ(history.countChildNodes(), messages);
  EXPECT_EQ(history.countAllEntries(), messages + messages / 10 + messages / 1000);
  int len = 0;
  plat::String text = history.createXMLString(false, &len);
  EXPECT_EQ(std::string(text.c_str()).rfind("<history><m n=\"0\">hi</m>t<!--c--><m n=\"1\">", 0),
            0u);
  XMLResults res;
  XMLNode back = XMLNode::parseString(text.c_str(), nullptr, &res);
  EXPECT_EQ(res.error, 0);
  EXPECT_EQ(back.countChildNodes(), messages);
  EXPECT_EQ(back.countTexts(), messages / 10);
  EXPECT_EQ(back.countClears(), messages / 1000);
  EXPECT_STREQ(back.childAt(messages - 1).attributeValue("n"), "99999");
  EXPECT_EQ(str(back.createXMLString(false)), text.c_str());
}

TEST(XMLNodeBuild, MovingNodesAndLifetimes) {
  XMLNode a = XMLNode::createTopNode("a");
  XMLNode b = XMLNode::createTopNode("b");
  XMLNode x = a.addChild("x");
  XMLNode y = x.addChild("y");
  // A node cannot become a child of itself or of its own descendant.
  EXPECT_TRUE(y.addChild(a).isEmpty());
  EXPECT_TRUE(x.addChild(x).isEmpty());
  EXPECT_TRUE(a.addChild(XMLNode()).isEmpty());
  // Adding an existing node moves it.
  EXPECT_EQ(b.addChild(x), x);
  EXPECT_EQ(a.countChildNodes(), 0);
  EXPECT_EQ(str(a.createXMLString(false)), "<a/>");
  EXPECT_EQ(str(b.createXMLString(false)), "<b><x><y/></x></b>");
  EXPECT_EQ(x.parent(), b);

  // A handle on a child keeps its subtree alive; its parent then reads as empty.
  b = XMLNode();
  EXPECT_TRUE(x.parent().isEmpty());
  EXPECT_STREQ(x.childAt(0).getName(), "y");
  XMLNode parsed = XMLNode::parseString("<r><k><v/></k></r>", nullptr, nullptr).childAt(0);
  EXPECT_STREQ(parsed.getName(), "k");
  EXPECT_TRUE(parsed.parent().isEmpty());
  EXPECT_STREQ(parsed.childAt(0).getName(), "v");

  // Queries on the empty node find nothing.
  XMLNode e;
  EXPECT_EQ(e.getName(), nullptr);
  EXPECT_EQ(e.countAllEntries(), 0);
  EXPECT_TRUE(e.childAt(0).isEmpty());
  EXPECT_TRUE(e.childNamed("a").isEmpty());
  EXPECT_EQ(e.textAt(0), nullptr);
  EXPECT_EQ(e.clearAt(0).lpszValue, nullptr);
  EXPECT_TRUE(e.addChild("a").isEmpty());
  EXPECT_EQ(e.addText("t"), nullptr);
}

TEST(XMLNodeQuery, ChildrenByName) {
  XMLNode r = XMLNode::parseString("<r><a i='0'/><b/><A i='1'/><a i='2'/></r>", nullptr, nullptr);
  EXPECT_EQ(r.countChildren("a"), 3);
  EXPECT_STREQ(r.childNamed("a", 2).attributeValue("i"), "2");
  EXPECT_TRUE(r.childNamed("a", 3).isEmpty());
  int index = 0;
  std::string seen;
  for (XMLNode n = r.childNamedFrom("a", &index); !n.isEmpty(); n = r.childNamedFrom("a", &index))
    seen += n.attributeValue("i");
  EXPECT_EQ(seen, "012");
  EXPECT_EQ(index, 4);
}

} // namespace
