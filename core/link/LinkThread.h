#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "host/RequestPoint.h"

namespace bf {

// The one thread that talks to the camera while camera work runs: the window (or bfk) posts
// jobs, and the thread runs them one after another, each to its end. A long job (the live view)
// takes the requests posted meanwhile at its RequestPoint, between two reads: a request is a job
// that may run there, nested in the long one (a setting sent while frames stream in, the Stop
// click). A job posted with Post never runs nested; requests posted after it wait behind it, so
// the camera gets everything in the order it was posted.
//
// Threads: Post, PostRequest, WaitIdle and Idle from any thread but the link thread (Post and
// PostRequest also from it); TakeRequests only on the link thread, from inside a job. Jobs report
// their own failures; one that throws all the same has its exception dropped here.
class LinkThread final : public RequestPoint {
 public:
  LinkThread();
  // Runs what was posted before, then ends the thread and joins it. A job that runs forever
  // (a live view nobody stops) keeps the destructor waiting: stop it first.
  ~LinkThread() override;
  LinkThread(const LinkThread&) = delete;
  LinkThread& operator=(const LinkThread&) = delete;

  void Post(std::function<void()> job);
  void PostRequest(std::function<void()> request);

  // Link thread, inside a job: runs the requests at the front of the queue, in order, and stops
  // at the first job that may not run nested.
  void TakeRequests() override;

  // Blocks until nothing runs and nothing waits.
  void WaitIdle();
  bool Idle() const;
  // Nothing waits to be run and no request runs nested in the job under way (which may be one
  // that goes on until it is stopped, the live view).
  bool NothingWaiting() const;
  bool OnLinkThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Entry {
    std::function<void()> job;
    bool request = false;
  };

  void Run();
  void RunOne(std::function<void()>& job);

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Entry> queue_;
  int running_ = 0;
  int nested_ = 0;  // requests running inside a job's TakeRequests
  bool stopping_ = false;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace bf
