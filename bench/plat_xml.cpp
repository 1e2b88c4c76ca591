// The XML reader and writer against libxml2 (tree in, tree out) and expat
// (reading only: it builds no tree, so its time is a floor for any reader)
// on the same 10 MB document: a chat history of many messages followed by
// a parameter set. Building a tree by appending is measured against libxml2.
#include "plat/XMLNode.h"

#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <string>

namespace {

const std::string& document() {
  static const std::string doc = [] {
    std::string d = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<history>\n";
    char buf[512];
    for (int i = 0; d.size() < 9 * 1024 * 1024; i++) {
      snprintf(buf, sizeof(buf),
               "\t<message from=\"viewer-%d\" time=\"%d\" kind=\"%s\">\n"
               "\t\tHello &amp; welcome, message %d: the quick brown fox &lt;jumps&gt; over "
               "the lazy dog.\n\t</message>\n",
               i % 17, 1700000000 + i, i % 3 ? "text" : "notice", i);
      d += buf;
    }
    d += "\t<config>\n";
    for (int i = 0; d.size() < 10 * 1024 * 1024; i++) {
      snprintf(buf, sizeof(buf),
               "\t\t<int name=\"Param%d\"\n        description=\"Parameter number %d &amp; more\""
               "        min=\"0\"\n        max=\"65535\">\n"
               "\t\t\t<value data=\"%d\" priority=\"100\"/>\n"
               "\t\t\t<value data=\"%d\" priority=\"50\"/>\n\t\t</int>\n",
               i, i, i % 65536, (i * 7) % 65536);
      d += buf;
    }
    d += "\t</config>\n</history>\n";
    return d;
  }();
  return doc;
}

void setBytes(benchmark::State& state, size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

void BM_ParseZav(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    xml::XMLResults res;
    xml::XMLNode n = xml::XMLNode::parseString(doc.c_str(), "history", &res);
    if (res.error != 0)
      state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(n.countChildNodes());
  }
  setBytes(state, doc.size());
}
BENCHMARK(BM_ParseZav)->Unit(benchmark::kMillisecond);

void BM_ParseLibxml2(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    xmlDocPtr d = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), nullptr, nullptr,
                                XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
    if (!d)
      state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(d);
    xmlFreeDoc(d);
  }
  setBytes(state, doc.size());
}
BENCHMARK(BM_ParseLibxml2)->Unit(benchmark::kMillisecond);

void BM_ParseExpat(benchmark::State& state) {
  const std::string& doc = document();
  for (auto _ : state) {
    long elements = 0;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &elements);
    XML_SetStartElementHandler(
        p, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<long*>(data); });
    XML_SetCharacterDataHandler(p, [](void*, const XML_Char*, int) {});
    if (XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK)
      state.SkipWithError("parse failed");
    XML_ParserFree(p);
    benchmark::DoNotOptimize(elements);
  }
  setBytes(state, doc.size());
}
BENCHMARK(BM_ParseExpat)->Unit(benchmark::kMillisecond);

void BM_WriteZav(benchmark::State& state) {
  bool formatted = state.range(0) != 0;
  xml::XMLNode n = xml::XMLNode::parseString(document().c_str(), nullptr, nullptr);
  size_t bytes = 0;
  for (auto _ : state) {
    int len = 0;
    plat::String s = n.createXMLString(formatted, &len);
    bytes = static_cast<size_t>(len);
    benchmark::DoNotOptimize(s.get());
  }
  setBytes(state, bytes);
}
BENCHMARK(BM_WriteZav)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_WriteLibxml2(benchmark::State& state) {
  int formatted = static_cast<int>(state.range(0));
  const std::string& doc = document();
  xmlDocPtr d = xmlReadMemory(doc.data(), static_cast<int>(doc.size()), nullptr, nullptr,
                              XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
  size_t bytes = 0;
  for (auto _ : state) {
    xmlChar* out = nullptr;
    int len = 0;
    xmlDocDumpFormatMemory(d, &out, &len, formatted);
    bytes = static_cast<size_t>(len);
    benchmark::DoNotOptimize(out);
    xmlFree(out);
  }
  xmlFreeDoc(d);
  setBytes(state, bytes);
}
BENCHMARK(BM_WriteLibxml2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Building a chat history of 100,000 messages by appending, as a saver does.
constexpr int builtMessages = 100000;

void BM_BuildZav(benchmark::State& state) {
  for (auto _ : state) {
    xml::XMLNode h = xml::XMLNode::createTopNode("history");
    char n[16];
    for (int i = 0; i < builtMessages; i++) {
      xml::XMLNode m = h.addChild("message");
      snprintf(n, sizeof(n), "%d", i);
      m.addAttribute("time", n);
      m.addText("Hello & welcome");
    }
    benchmark::DoNotOptimize(h.countChildNodes());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * builtMessages);
}
BENCHMARK(BM_BuildZav)->Unit(benchmark::kMillisecond);

void BM_BuildLibxml2(benchmark::State& state) {
  for (auto _ : state) {
    xmlDocPtr d = xmlNewDoc(BAD_CAST "1.0");
    xmlNodePtr h = xmlNewNode(nullptr, BAD_CAST "history");
    xmlDocSetRootElement(d, h);
    char n[16];
    for (int i = 0; i < builtMessages; i++) {
      xmlNodePtr m = xmlNewChild(h, nullptr, BAD_CAST "message", nullptr);
      snprintf(n, sizeof(n), "%d", i);
      xmlNewProp(m, BAD_CAST "time", BAD_CAST n);
      xmlAddChild(m, xmlNewText(BAD_CAST "Hello & welcome"));
    }
    benchmark::DoNotOptimize(h);
    xmlFreeDoc(d);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * builtMessages);
}
BENCHMARK(BM_BuildLibxml2)->Unit(benchmark::kMillisecond);

} // namespace
