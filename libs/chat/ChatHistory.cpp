#include "chat/ChatHistory.h"

#include "chat/ChatOptions.h"
#include "chat/ChatRender.h"
#include "plat/DirName.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/ReplacementFile.h"
#include "plat/Time.h"
#include "plat/XMLNode.h"
#include "plat/unix/OwnedFd.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
// history is read without growing and copying the buffer. Answers 0, or the
// error that kept it from being read: EFBIG for a file larger than any
// history (left unread), EINVAL for something that is not a regular file (a
// pipe would never end).
int readWholeFile(const char* path, std::string* out) {
  os::OwnedFd fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0)
    return errno;
  struct stat st;
  if (fstat(fd.get(), &st) != 0)
    return errno;
  if (!S_ISREG(st.st_mode))
    return EINVAL;
  if (static_cast<unsigned long long>(st.st_size) > ChatHistory::maxFileBytes)
    return EFBIG;
  out->reserve(static_cast<size_t>(st.st_size) + 1);
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd.get(), chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    if (n == 0)
      return 0;
    // A file that grows while it is read stops at the bound all the same.
    if (out->size() + static_cast<size_t>(n) > ChatHistory::maxFileBytes)
      return EFBIG;
    out->append(chunk, static_cast<size_t>(n));
  }
}

// Drops the oldest records beyond the bounds; bytes is their texts' total.
void trimRecords(std::deque<ChatHistory::Record>* records, std::size_t* bytes) {
  while (!records->empty() &&
         (records->size() > ChatHistory::maxRecords || *bytes > ChatHistory::maxTextBytes)) {
    *bytes -= bytesOf(records->front());
    records->pop_front();
  }
}

// A lock on the history file's folder (the file itself is replaced by each
// save, so a lock on it would go with the old file): shared while the file
// is read, exclusive while it is read, merged and written. Another program
// holds it only for the length of one save; should one hold it for longer
// (stopped, say), the history goes on without it after a few seconds rather
// than hang the program.
class FolderLock {
public:
  FolderLock(const std::string& file, bool exclusive) {
    plat::DirName dir(file.c_str());
    fd_.reset(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd_.get() < 0)
      return; // no folder: the read or write says why
    const int stepMs = 10, waitMs = 5000;
    for (int waited = 0; flock(fd_.get(), (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0;) {
      if (errno == EINTR)
        continue;
      if (errno != EWOULDBLOCK || waited >= waitMs) {
        vlog.error("The chat history folder %s could not be locked: %s", dir.c_str(),
                   errno == EWOULDBLOCK ? "another program holds it" : strerror(errno));
        fd_.reset();
        return;
      }
      usleep(stepMs * 1000);
      waited += stepMs;
    }
  }

private:
  os::OwnedFd fd_;
};

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

ChatHistory::Listener::~Listener() = default;

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
      unsaved_++;
      trim();
    }
  });
  if (unsaved_ > 0 && listener_)
    listener_->recordAdded();
}

void ChatHistory::append(Record record) {
  textBytes_ += bytesOf(record);
  records_.push_back(std::move(record));
}

void ChatHistory::trim() {
  trimRecords(&records_, &textBytes_);
  unsaved_ = std::min(unsaved_, records_.size());
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
  if (!*expanded.c_str())
    return std::string();
  // The file a link leads to is the history, whether it exists yet or not.
  // A path that cannot be followed stays as it is: reading or writing it
  // tells why.
  try {
    return plat::fileResolveLinks(expanded.c_str()).c_str();
  } catch (plat::Exception&) {
    return expanded.c_str();
  }
}

ChatHistory::FileStamp ChatHistory::stampOf(const std::string& file) {
  FileStamp stamp;
  struct stat st;
  if (stat(file.c_str(), &st) != 0)
    return stamp;
  stamp.exists = true;
  stamp.dev = st.st_dev;
  stamp.ino = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtimeSec = st.st_mtim.tv_sec;
  stamp.mtimeNsec = st.st_mtim.tv_nsec;
  return stamp;
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
  {
    FolderLock lock(file, false);
    FileStamp stamp = stampOf(file);
    try {
      loaded = readRecords(file);
    } catch (plat::Exception& e) {
      // Saving would replace a file that is there but unreadable: it goes
      // aside first, kept whole for its owner. (A device or a pipe is no
      // file of ours to move.)
      struct stat st;
      if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        setAside(file, e.str());
      throw;
    }
    stamp_ = stamp;
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
  int readError = readWholeFile(file.c_str(), &content);
  if (readError == EFBIG)
    throw plat::ExceptionFmt("%s:0:0: larger than a chat history can be (over %zu bytes)",
                             file.c_str(), maxFileBytes);
  if (readError == EINVAL)
    throw plat::ExceptionFmt("%s:0:0: not a regular file", file.c_str());
  if (readError != 0) {
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
  FolderLock lock(file, true);
  // Unless the file is as this history left it, another program saved lines
  // since: they are read, and this history's new lines go in among them.
  std::deque<Record> merged;
  bool mergeWithFile = false;
  FileStamp stamp = stampOf(file);
  if (stamp.exists && !(stamp == stamp_)) {
    try {
      merged = readRecords(file);
      mergeWithFile = true;
    } catch (plat::Exception& e) {
      struct stat st;
      if (lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        setAside(file, e.str());
      if (file == unreadable_)
        throw;
    }
  }
  std::size_t mergedBytes = 0;
  if (mergeWithFile) {
    for (std::size_t i = records_.size() - unsaved_; i < records_.size(); i++)
      merged.push_back(records_[i]);
    std::stable_sort(merged.begin(), merged.end(),
                     [](const Record& a, const Record& b) { return a.time < b.time; });
    for (const Record& r : merged)
      mergedBytes += bytesOf(r);
    trimRecords(&merged, &mergedBytes);
  }
  try {
    write(file, mergeWithFile ? merged : records_);
  } catch (plat::Exception& e) {
    throw plat::ExceptionFmt("Error writing chat history %s: %s", file.c_str(), e.str());
  }
  if (mergeWithFile) {
    records_ = std::move(merged);
    textBytes_ = mergedBytes;
  }
  unsaved_ = 0;
  stamp_ = stampOf(file);
}

void ChatHistory::write(const std::string& file, const std::deque<Record>& records) const {
  xml::XMLNode root = xml::XMLNode::createTopNode("chat");
  std::int64_t n = static_cast<std::int64_t>(records.size());
  std::int64_t start, cutoff;
  expiry(n, &start, &cutoff);
  char time[24];
  for (std::int64_t i = start; i < n; i++) {
    const Record& r = records[static_cast<size_t>(i)];
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
  std::string text = root.fileText();
  // A device or a pipe named as the history (/dev/null, say) is written
  // as it is, never replaced by a file.
  struct stat st;
  if (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    os::OwnedFd fd(open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    size_t done = 0;
    while (fd.get() >= 0 && done < text.size()) {
      ssize_t n = ::write(fd.get(), text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        throw plat::SystemExceptionFmt("fileRewrite(%s)", n < 0 ? errno : EIO, file.c_str());
      done += static_cast<size_t>(n);
    }
    if (fd.get() < 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, file.c_str());
    return;
  }
  std::unique_ptr<plat::ReplacementFile> replacement;
  try {
    replacement = std::make_unique<plat::ReplacementFile>(file.c_str(), true);
  } catch (const plat::SystemException& e) {
    // A folder the user may not write to refuses the new file, while the
    // history itself may still be theirs to rewrite where it lies.
    if (e.getErrno() != EACCES && e.getErrno() != EPERM)
      throw;
    os::OwnedFd fd(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0)
      throw plat::SystemExceptionFmt("fileOpen(%s)", errno, file.c_str());
    plat::fileRewriteInPlace(fd.get(), text.data(), text.size(), file.c_str());
    return;
  }
  replacement->write(text.data(), text.size());
  replacement->commit();
}

} // namespace chat
