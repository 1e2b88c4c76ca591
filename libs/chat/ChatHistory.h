// The chat model: every chat line (received or typed) is shown in the
// transcript with a time header whenever the minute changes, and kept as a
// record while history is on; the records are loaded from and saved to the
// XML history file that the options name, with expiry by age and by count
// applied to what is read and written. Whatever the options say, the records
// held are bounded (maxRecords, maxTextBytes): beyond either the oldest go,
// so a flood of lines neither fills memory nor makes the file grow without
// end. A history file that cannot be read, or that is far larger than this
// model ever writes, is moved aside, never overwritten. Several programs may
// keep the same history file: a save takes a lock on the file's folder,
// reads what the others saved since, adds the lines of its own that are not
// in the file yet and only then replaces the file, so no one's lines are
// lost. The view, the options and the listener are not owned.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

class ChatOptions;

namespace chat {

class ChatRender;

class ChatHistory {
public:
  struct Record {
    std::int64_t time; // seconds since the epoch
    std::string user;
    std::optional<std::string> endpoint; // absent for a line of the local user
    std::string text;
  };

  // The most records held, and the most bytes of their texts (sender,
  // endpoint and line together); no real conversation comes near either.
  static constexpr std::size_t maxRecords = 100000;
  static constexpr std::size_t maxTextBytes = 16 << 20;

  // The largest history file that is read: well above what save() can write
  // (every byte of the texts escaped, and each record's markup), far below
  // what reading it whole would cost.
  static constexpr std::size_t maxFileBytes = 6 * maxTextBytes + 256 * maxRecords;

  // Hears of every line kept that the history file does not have yet.
  class Listener {
  public:
    virtual ~Listener();
    virtual void recordAdded() = 0;
  };

  ChatHistory(ChatRender* view, ChatOptions* options);
  ChatHistory(const ChatHistory&) = delete;
  ChatHistory& operator=(const ChatHistory&) = delete;

  // A chat line; a null endpoint marks the local user.
  void addMessage(const char* sender, const char* endpoint, const char* text);
  void userJoined(const char* name, const char* endpoint);
  void userLeft(const char* name, const char* endpoint);

  // Appends the history file's records (those within the expiry) to the
  // records held and shows them all. Throws plat::Exception
  // "<path>:<line>:<column>: <error>" when the file cannot be read or parsed,
  // before any record is added, and the expansion's error for an unknown
  // environment variable in the path. An existing file that cannot be read
  // or parsed is first renamed to "<path>.unreadable" (or the first free
  // "<path>.unreadable.<n>"), and the notice saying so is logged and shown
  // at the top of the transcript; the next save starts a new file. An empty
  // path does nothing.
  void load();
  // Writes the records within the expiry to the history file, replacing it
  // only once the new file is complete (in a folder that refuses the new
  // file, the file is rewritten in place). When the file changed since this
  // history last read or wrote it, its records are read again and the lines
  // added here since then go in among them by time; the records held become
  // the file's. Throws plat::Exception "Error writing chat history <path>:
  // <why>" when the file cannot be written (the old file then stays as it
  // was; the lines not saved are kept for the next save), when an
  // unreadable file could not be moved aside (it is left untouched), or the
  // path names an unknown environment variable. An empty path writes
  // nothing.
  void save();
  // True while lines are held that the history file does not have.
  bool hasUnsaved() const { return unsaved_ > 0; }
  void setListener(Listener* listener) { listener_ = listener; }
  // Shows every record again with its own time, each minute under a header,
  // after the notice of an unreadable file if there was one.
  void redisplay();

  const std::deque<Record>& records() const { return records_; }
  // What load had to say about an unreadable history file; empty if nothing.
  const std::string& notice() const { return notice_; }

  // The header text of a time: local time as "%a, %d %b %Y %H:%M".
  static std::string headerText(std::int64_t time);

private:
  void display(const char* user, const char* endpoint, const char* text, std::int64_t time);
  // The records of the history file within the expiry; throws as load().
  std::deque<Record> readRecords(const std::string& file) const;
  // The expanded history file path with its links resolved; empty when
  // none.
  std::string path() const;
  // Writes records (within the expiry) to the file.
  void write(const std::string& file, const std::deque<Record>& records) const;
  // The first record index and the time at or before which records expire.
  void expiry(std::int64_t count, std::int64_t* start, std::int64_t* cutoff) const;
  // Moves an unreadable history file aside and says so; error is why it
  // could not be read.
  void setAside(const std::string& file, const char* error);
  void append(Record record);
  // Drops the oldest records beyond maxRecords or maxTextBytes.
  void trim();
  // What the file at the path is: kind, identity, size and modification time.
  struct FileStamp {
    bool exists = false;
    unsigned long long dev = 0, ino = 0;
    long long size = 0, mtimeSec = 0, mtimeNsec = 0;
    bool operator==(const FileStamp& o) const {
      return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
             mtimeSec == o.mtimeSec && mtimeNsec == o.mtimeNsec;
    }
  };
  static FileStamp stampOf(const std::string& file);

  std::deque<Record> records_;
  std::size_t textBytes_ = 0;
  // How many of the last records the history file does not have yet.
  std::size_t unsaved_ = 0;
  // The file as this history last read or wrote it.
  FileStamp stamp_;
  Listener* listener_ = nullptr;
  std::string notice_;
  // The path of an unreadable file that could not be moved aside: save
  // leaves it alone.
  std::string unreadable_;
  std::optional<std::string> header_;
  ChatRender* view_;
  ChatOptions* options_;
};

} // namespace chat
