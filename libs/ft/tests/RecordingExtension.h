// Test doubles for the file-transfer message tests: a byte builder for wire
// messages, and an extension that records every handler call as a line of
// text instead of acting on it (file data of one file is joined into one line
// so that deliveries in different pieces compare equal).
#pragma once

#include "ft/Extension.h"
#include "ft/ShareEntry.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace ft_test {

class Bytes {
public:
  Bytes& u8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& u16(std::uint16_t v) { return u8(v >> 8).u8(v & 0xFF); }
  Bytes& u32(std::uint32_t v) { return u16(v >> 16).u16(v & 0xFFFF); }
  Bytes& u64(std::uint64_t v) { return u32(v >> 32).u32(v & 0xFFFFFFFF); }
  Bytes& str(const std::string& s) {
    u32(static_cast<std::uint32_t>(s.size()));
    return raw(s);
  }
  Bytes& raw(const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& raw(const std::vector<std::uint8_t>& v) {
    b.insert(b.end(), v.begin(), v.end());
    return *this;
  }
  // An entry without attributes.
  Bytes& entry(const std::string& name, std::uint32_t flags, std::uint64_t size) {
    return str(name).u64(size).u64(1).u64(2).u64(3).u32(flags).u32(0);
  }
  std::vector<std::uint8_t> b;
};

class RecordingExtension : public ft::Extension {
public:
  const char* getName() const override { return "FileTransfer"; }
  bool acceptMessage(ft::ConnectionId) override { return true; }
  bool useCompression(ft::ConnectionId) override { return false; }

  void handleShareCtrl(ft::ConnectionId, std::uint32_t sid, std::uint8_t code,
                       std::uint32_t flags) override {
    add("ShareCtrl " + n(sid) + " " + n(code) + " " + n(flags));
  }
  void handleShareReq(ft::ConnectionId, std::uint32_t sid, const char* path,
                      std::uint32_t depth) override {
    add("ShareReq " + n(sid) + " '" + path + "' " + n(depth));
  }
  void handleShareEOF(ft::ConnectionId, std::uint32_t sid) override { add("ShareEOF " + n(sid)); }
  void handleShareEntry(ft::ConnectionId, std::uint32_t sid, ft::ShareEntry* entry) override {
    std::unique_ptr<ft::ShareEntry> owned(entry);
    add("ShareEntry " + n(sid) + " " + entry->name + " " + n(entry->flags) + " " + n(entry->size) +
        " attrs=" + n(entry->attributes.size()));
  }
  void handleFileReq(ft::ConnectionId, const char* name, ft::FileId id, std::uint64_t window,
                     std::uint64_t start, std::uint64_t end, std::uint8_t flags) override {
    add("FileReq " + std::string(name) + " " + ids(id) + " " + n(window) + " " + n(start) + " " +
        n(end) + " " + n(flags));
  }
  void handleByteLimit(ft::ConnectionId, ft::FileId id, std::uint64_t limit) override {
    add("ByteLimit " + ids(id) + " " + n(limit));
  }
  void handleFileData(ft::ConnectionId, ft::FileId id, const std::uint8_t* bytes,
                      int count) override {
    dataCalls++;
    std::string head = "FileData " + ids(id) + " ";
    if (calls.empty() || calls.back().compare(0, head.size(), head) != 0)
      calls.push_back(head);
    calls.back().append(reinterpret_cast<const char*>(bytes), count);
  }
  void handleFileEOF(ft::ConnectionId, ft::FileId id) override { add("FileEOF " + ids(id)); }
  void handleFileError(ft::ConnectionId, ft::FileId id, const char* message) override {
    add("FileError " + ids(id) + " '" + message + "'");
  }
  void handleFileAbort(ft::ConnectionId, ft::FileId id) override { add("FileAbort " + ids(id)); }
  void handleShareRelease(ft::ConnectionId, std::uint32_t sid) override {
    add("ShareRelease " + n(sid));
  }

  std::vector<std::string> calls;
  int dataCalls = 0;

private:
  void add(const std::string& s) { calls.push_back(s); }
  static std::string n(std::uint64_t v) { return std::to_string(v); }
  static std::string ids(ft::FileId id) { return "(" + n(id.shareId) + "," + n(id.fileId) + ")"; }
};

} // namespace ft_test
