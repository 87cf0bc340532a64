#pragma once
// The copy dialog's host and the operator's answers for copies run in a benchmark: posted calls
// run on the benchmark's thread, the save dialog names the benchmark's file, messages are kept.
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "flash/CopySession.h"
#include "host/PostedCalls.h"
#include "host/RequestPoint.h"
#include "host/UserPrompts.h"

class BenchHost final : public bf::CopyDialogHost {
 public:
  void StartTicks(bf::CopyClock) override {}
  void StopTicks() override {}
  void ShowProgress(const bf::CopyDisplay&) override {}
  void CloseDialog(int) override { closed = true; }
  void RunPosted() { posted_.RunAll(); }
  void RunUntilClosed() {
    while (!closed) {
      posted_.Wait();
      RunPosted();
    }
  }
  bool closed = false;

 private:
  bf::PostedCalls posted_;
};

class BenchPrompts final : public bf::UserPrompts, public bf::RequestPoint {
 public:
  BenchPrompts(std::string path, BenchHost& host) : path_(std::move(path)), host_(host) {}
  bf::MessageAnswer ShowMessage(const std::string& text, const std::string&, bf::MessageIcon,
                                bf::MessageButtons) override {
    messages += text + "\n";
    return bf::MessageAnswer::Ok;
  }
  std::optional<std::string> ChooseSaveFile(const bf::FileDialogRequest&) override { return path_; }
  std::optional<std::string> ChooseOpenFile(const bf::FileDialogRequest&) override { return {}; }
  void TakeRequests() override { host_.RunPosted(); }
  void SetBusyCursor(bool) override {}
  std::string messages;

 private:
  std::string path_;
  BenchHost& host_;
};
