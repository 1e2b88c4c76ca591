#include "chat/ChatHistory.h"

#include "chat/ChatOptions.h"
#include "chat/ChatRender.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/Time.h"
#include "plat/XMLNode.h"

#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>

static plat::LogWriter vlog("ChatHistory");

namespace chat {

namespace {

// How many "<file>.unreadable.<n>" names are tried for an unreadable file.
const int maxAsideNames = 100;

std::size_t bytesOf(const ChatHistory::Record& r) {
  return r.user.size() + r.text.size() + (r.endpoint ? r.endpoint->size() : 0);
}

// Seconds since the epoch, from the program's one time base (so tests can
// set the clock).
std::int64_t now() {
  const std::uint64_t epochTicks = 116444736000000000ULL;
  std::uint64_t ticks = plat::currentTime();
  if (ticks < epochTicks)
    return -static_cast<std::int64_t>((epochTicks - ticks) / 10000000);
  return static_cast<std::int64_t>((ticks - epochTicks) / 10000000);
}

// A decimal time attribute; false when it holds no number or one beyond 64
// bits.
bool parseTime(const char* text, std::int64_t* out) {
  char* end = nullptr;
  errno = 0;
  long long v = strtoll(text, &end, 10);
  if (end == text || errno == ERANGE)
    return false;
  *out = v;
  return true;
}

// The whole file in one buffer sized from the file itself, so a large
// history is read without growing and copying the buffer. False when the
// file cannot be opened or read.
bool readWholeFile(const char* path, std::string* out) {
  FILE* f = fopen(path, "rbe");
  if (!f)
    return false;
  struct stat st;
  if (fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    out->reserve(static_cast<size_t>(st.st_size) + 1);
  char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0)
    out->append(chunk, n);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// Brackets a change of the view, ending the update also when it fails.
template <typename F> void bracketed(ChatRender* view, F&& change) {
  view->beginUpdate();
  try {
    change();
  } catch (...) {
    view->endUpdate();
    throw;
  }
  view->endUpdate();
}

} // namespace

ChatHistory::ChatHistory(ChatRender* view, ChatOptions* options) : view_(view), options_(options) {
}

std::string ChatHistory::headerText(std::int64_t time) {
  time_t t = static_cast<time_t>(time);
  struct tm tm;
  char text[32];
  if (!localtime_r(&t, &tm) || strftime(text, sizeof(text), "%a, %d %b %Y %H:%M", &tm) == 0)
    snprintf(text, sizeof(text), "%" PRId64, time);
  return text;
}

void ChatHistory::display(const char* user, const char* endpoint, const char* text,
                          std::int64_t time) {
  std::string header = headerText(time);
  if (!header_ || *header_ != header) {
    header_ = header;
    view_->showHeader(header.c_str());
  }
  view_->showMessage(user, endpoint, text);
}

void ChatHistory::addMessage(const char* sender, const char* endpoint, const char* text) {
  if (!sender)
    sender = "";
  if (!text)
    text = "";
  bracketed(view_, [&] {
    display(sender, endpoint, text, now());
    if (options_->keepHistory) {
      Record r{now(), sender, std::nullopt, text};
      if (endpoint)
        r.endpoint = endpoint;
      append(std::move(r));
      trim();
    }
  });
}

void ChatHistory::append(Record record) {
  textBytes_ += bytesOf(record);
  records_.push_back(std::move(record));
}

void ChatHistory::trim() {
  while (!records_.empty() && (records_.size() > maxRecords || textBytes_ > maxTextBytes)) {
    textBytes_ -= bytesOf(records_.front());
    records_.pop_front();
  }
}

void ChatHistory::userJoined(const char* name, const char* endpoint) {
  bracketed(view_, [&] { view_->participantJoined(name, endpoint); });
}

void ChatHistory::userLeft(const char* name, const char* endpoint) {
  bracketed(view_, [&] { view_->participantLeft(name, endpoint); });
}

void ChatHistory::redisplay() {
  header_ = std::string();
  if (!notice_.empty())
    view_->showHeader(notice_.c_str());
  for (const Record& r : records_)
    display(r.user.c_str(), r.endpoint ? r.endpoint->c_str() : nullptr, r.text.c_str(), r.time);
}

std::string ChatHistory::path() const {
  plat::String configured = options_->chatLogFile.getValue();
  plat::EnvExpandedString expanded(configured.c_str());
  return expanded.c_str();
}

void ChatHistory::expiry(std::int64_t count, std::int64_t* start, std::int64_t* cutoff) const {
  std::int64_t keep = options_->expiryMessages;
  std::int64_t days = options_->expiryDays;
  *start = keep != 0 ? std::max<std::int64_t>(count - keep, 0) : 0;
  // In 64 bits, so any number of days gives a cutoff in the past.
  *cutoff = days != 0 ? now() - days * 86400 : 0;
}

void ChatHistory::load() {
  std::string file = path();
  if (file.empty())
    return;
  // The file's text and tree go before the transcript is built, so a long
  // history does not hold both at once.
  std::deque<Record> loaded;
  try {
    loaded = readRecords(file);
  } catch (plat::Exception& e) {
    // Saving would replace a file that is there but unreadable: it goes
    // aside first, kept whole for its owner.
    struct stat st;
    if (lstat(file.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
      setAside(file, e.str());
    throw;
  }
  for (Record& r : loaded)
    append(std::move(r));
  trim();
  bracketed(view_, [&] { redisplay(); });
}

void ChatHistory::setAside(const std::string& file, const char* error) {
  std::string aside;
  for (int n = 0; n < maxAsideNames; n++) {
    std::string name = file + ".unreadable";
    if (n > 0)
      name += "." + std::to_string(n);
    struct stat st;
    if (lstat(name.c_str(), &st) == 0 || errno != ENOENT)
      continue;
    if (rename(file.c_str(), name.c_str()) == 0)
      aside = name;
    else
      vlog.error("rename(%s, %s): %s", file.c_str(), name.c_str(), strerror(errno));
    break;
  }
  if (aside.empty()) {
    unreadable_ = file;
    notice_ = std::string("The chat history file could not be read (") + error +
              ") nor moved aside; it is left as it is and the chat history is not saved.";
  } else {
    notice_ = std::string("The chat history file could not be read (") + error +
              "); it is kept as " + aside + " and a new one is started.";
  }
  vlog.error("%s", notice_.c_str());
  bracketed(view_, [&] {
    view_->showHeader(notice_.c_str());
    // The next line shows its time again below the notice.
    header_ = std::string();
  });
}

std::deque<ChatHistory::Record> ChatHistory::readRecords(const std::string& file) const {
  xml::XMLResults res;
  xml::XMLNode root;
  std::string content;
  if (!readWholeFile(file.c_str(), &content)) {
    res.error = xml::eXMLFileNotFound;
  } else {
    const char* text = content.c_str();
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
      text += 3;
    root = xml::XMLNode::parseString(text, "chat", &res);
  }
  if (res.error != xml::eXMLNoError)
    throw plat::ExceptionFmt("%s:%i:%i: %s", file.c_str(), res.nLine, res.nColumn,
                             xml::XMLNode::errorText(res.error));

  std::int64_t count = root.countChildren("message");
  std::int64_t start, cutoff;
  expiry(count, &start, &cutoff);
  // No more than can be held, and the texts within their bound as they come.
  start = std::max<std::int64_t>(start, count - static_cast<std::int64_t>(maxRecords));
  std::deque<Record> loaded;
  std::size_t bytes = 0;
  int index = 0;
  for (std::int64_t i = 0; i < count; i++) {
    xml::XMLNode message = root.childNamedFrom("message", &index);
    if (i < start)
      continue;
    const char* time = message.attributeValue("time");
    const char* text = message.attributeValue("text");
    const char* user = message.attributeValue("user");
    std::int64_t t;
    if (!time || !text || !user || !parseTime(time, &t) || t <= cutoff)
      continue;
    Record r{t, user, std::nullopt, text};
    if (const char* endpoint = message.attributeValue("endpoint"))
      r.endpoint = endpoint;
    bytes += bytesOf(r);
    loaded.push_back(std::move(r));
    while (bytes > maxTextBytes) {
      bytes -= bytesOf(loaded.front());
      loaded.pop_front();
    }
  }
  return loaded;
}

void ChatHistory::save() {
  std::string file = path();
  if (file.empty())
    return;
  if (file == unreadable_)
    throw plat::ExceptionFmt("Chat history not saved: %s could not be read and is left as it is",
                             file.c_str());
  xml::XMLNode root = xml::XMLNode::createTopNode("chat");
  std::int64_t n = static_cast<std::int64_t>(records_.size());
  std::int64_t start, cutoff;
  expiry(n, &start, &cutoff);
  char time[24];
  for (std::int64_t i = start; i < n; i++) {
    const Record& r = records_[static_cast<size_t>(i)];
    if (cutoff != 0 && r.time <= cutoff)
      continue;
    xml::XMLNode message = root.addChild("message");
    snprintf(time, sizeof(time), "%" PRId64, r.time);
    message.addAttribute("text", r.text.c_str());
    message.addAttribute("time", time);
    message.addAttribute("user", r.user.c_str());
    if (r.endpoint)
      message.addAttribute("endpoint", r.endpoint->c_str());
  }
  int error = root.writeFile(file.c_str());
  if (error != xml::eXMLNoError)
    throw plat::ExceptionFmt("Error writing chat history %s: %s", file.c_str(),
                             xml::XMLNode::errorText(error));
}

} // namespace chat
