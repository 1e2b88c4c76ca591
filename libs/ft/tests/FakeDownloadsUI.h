// A view double for the downloads list model: rows record what the model set
// on them, and the view records its own calls as lines of text. The view owns
// its rows and deletes each when the model removes it.
#pragma once

#include "ft/DownloadsDialog.h"

#include <memory>
#include <string>
#include <vector>

namespace ft_test {

class FakeRow : public ft::DownloadsDialog::Download {
public:
  void setIconPath(const char* path) override { icons.push_back(path); }
  void setMultipleIcon() override { multipleIcon = true; }
  void setName(const char* n) override { name = n; }
  void setProgress(std::uint16_t v) override { progress = v; }
  void showProgress() override { progressShown = true; }
  void hideProgress() override { progressShown = false; }
  void setStatus(const char* text, bool f) override {
    status = text;
    failed = f;
    statuses.push_back(text);
  }
  void setActions(const std::vector<ft::DownloadsDialog::Action>& a) override { actions = a; }

  // The actions as display names joined by "|".
  std::string actionText() const {
    std::string s;
    for (ft::DownloadsDialog::Action a : actions)
      s += (s.empty() ? "" : "|") + std::string(ft::DownloadsDialog::actionName(a));
    return s;
  }

  std::vector<std::string> icons;
  bool multipleIcon = false;
  std::string name;
  int progress = -1;
  bool progressShown = false;
  std::string status;
  bool failed = false;
  std::vector<std::string> statuses;
  std::vector<ft::DownloadsDialog::Action> actions;
};

class FakeDownloadsUI : public ft::DownloadsDialog::UI {
public:
  void show() override { calls.push_back("show"); }
  ft::DownloadsDialog::Download* newDownload() override {
    rows.emplace_back(new FakeRow);
    return rows.back().get();
  }
  void addDownload(ft::DownloadsDialog::Download*) override { calls.push_back("add"); }
  void removeDownload(ft::DownloadsDialog::Download* row) override {
    calls.push_back("remove");
    for (auto it = rows.begin(); it != rows.end(); ++it)
      if (it->get() == row) {
        rows.erase(it);
        return;
      }
    calls.push_back("remove of an unknown row");
  }
  void openDownload(const char* path) override { calls.push_back(std::string("open ") + path); }
  void setClearEnabled(bool on) override { clearEnabled = on; }
  void notifyComplete() override { calls.push_back("notifyComplete"); }
  void notifyFailed() override { calls.push_back("notifyFailed"); }
  void showMessage(const char* text) override { calls.push_back(std::string("message ") + text); }

  FakeRow* row(size_t i) { return rows.at(i).get(); }

  std::vector<std::unique_ptr<FakeRow>> rows;
  std::vector<std::string> calls;
  bool clearEnabled = false;
};

} // namespace ft_test
