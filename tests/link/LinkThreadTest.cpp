// The link thread: jobs in the order posted, requests taken between a long job's reads, and the
// way back to the GUI thread.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/PostedGuiQueue.h"
#include "link/LinkThread.h"
#include "live/LinkLiveHost.h"
#include "live/LiveTestRig.h"

namespace bf {
namespace {

TEST(LinkThread, RequestsRunInsideTheLongJobUpToTheFirstJobThatMayNotNest) {
  std::vector<std::string> order;  // written on the link thread only, read after WaitIdle
  std::promise<void> posted;
  std::shared_future<void> allPosted = posted.get_future().share();
  LinkThread thread;
  thread.Post([&] {
    order.push_back("live view begins");
    allPosted.wait();
    thread.TakeRequests();  // between two reads
    order.push_back("live view ends");
  });
  thread.PostRequest([&] { order.push_back("setting"); });
  thread.PostRequest([&] { order.push_back("stop"); });
  thread.Post([&] { order.push_back("copy"); });
  thread.PostRequest([&] { order.push_back("setting after the copy"); });
  posted.set_value();
  thread.WaitIdle();
  EXPECT_EQ(order, (std::vector<std::string>{"live view begins", "setting", "stop",
                                             "live view ends", "copy", "setting after the copy"}));
  EXPECT_TRUE(thread.Idle());
  EXPECT_TRUE(thread.NothingWaiting());
}

TEST(LinkThread, EndingRunsWhatWasPostedBeforeAndOutlivesAThrowingJob) {
  std::vector<int> ran;
  std::thread::id jobThread;
  {
    LinkThread thread;
    thread.Post([] { throw std::runtime_error("a failure nobody caught"); });
    thread.Post([&] {
      jobThread = std::this_thread::get_id();
      ran.push_back(1);
    });
    thread.PostRequest([&] { ran.push_back(2); });
  }
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  EXPECT_NE(jobThread, std::this_thread::get_id());
}

TEST(PostedGuiQueue, AskRunsOnTheOwnerThreadAndWaitsForTheAnswer) {
  PostedGuiQueue gui;
  LinkThread thread;
  std::thread::id askedOn;
  int answer = 0;
  bool rethrown = false;
  thread.Post([&] {
    gui.Ask([&] {
      askedOn = std::this_thread::get_id();
      answer = 42;
    });
    // The answer is there when Ask returns.
    if (answer == 42) gui.Post([&] { answer = 43; });
    try {
      gui.Ask([] { throw std::runtime_error("no"); });
    } catch (const std::runtime_error&) {
      rethrown = true;
    }
  });
  // The test's thread is the GUI thread: it runs the calls until the link thread is done.
  while (!thread.Idle()) {
    gui.Calls().RunAll();
    gui.Calls().WaitFor(std::chrono::milliseconds(1));
  }
  gui.Calls().RunAll();
  EXPECT_EQ(askedOn, std::this_thread::get_id());
  EXPECT_EQ(answer, 43);
  EXPECT_TRUE(rethrown);
}

TEST(LinkLiveHost, FramesWaitingForTheWindowAreReplacedByTheNewestAndDroppedByAClear) {
  PostedGuiQueue gui;
  test::ScriptedLiveHost window;
  LinkLiveHost host(window, gui);
  FrameHeader header;
  const std::vector<uint8_t> first{1}, second{2}, third{3};
  host.ShowFrame(header, first);
  host.ShowFrame(header, second);
  EXPECT_EQ(gui.Calls().RunAll(), 1u);  // one call for both
  ASSERT_EQ(window.payloads.size(), 1u);
  EXPECT_EQ(window.payloads[0], second);

  host.ShowFrame(header, third);
  host.ClearDisplay();
  gui.Calls().RunAll();
  EXPECT_EQ(window.payloads.size(), 1u);  // the third never showed after the clearing
  EXPECT_EQ(window.clears, 1);
}

TEST(LinkLiveHost, TheWindowsInputDecidesAndWhatTheLoopWritesIsShownAndReadBack) {
  PostedGuiQueue gui;
  test::ScriptedLiveHost window;
  LinkLiveHost host(window, gui);
  host.SetInput({true, false, kFrameTimeoutDetectorOff});
  host.ReadControls();
  EXPECT_EQ(host.State().streamingFlag, 1);
  EXPECT_EQ(host.State().frameTimeout, kFrameTimeoutDetectorOff);
  // A bad header pops the button out: the window shows it, and the loop reads it back so.
  host.State().streamingFlag = 0;
  host.WriteControls();
  host.SetButtonState(LiveViewState::Off);
  host.ReadControls();
  EXPECT_EQ(host.State().streamingFlag, 0);
  window.buttonPushed = true;
  window.state.streamingFlag = 1;
  gui.Calls().RunAll();
  EXPECT_FALSE(window.buttonPushed);
  EXPECT_EQ(window.buttonState, LiveViewState::Off);
}

}  // namespace
}  // namespace bf
