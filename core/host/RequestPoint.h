#pragma once

namespace bf {

// Where a long camera operation (the live view, a copy) takes the requests that came in while it
// ran, such as a setting changed during the live view, a second Start/Stop click or a Cancel:
// between two exchanges with the camera, never in the middle of one, and in the order they came.
// Called only on the thread that runs the operation.
class RequestPoint {
 public:
  virtual ~RequestPoint() = default;
  virtual void TakeRequests() = 0;
};

}  // namespace bf
