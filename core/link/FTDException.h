#pragma once
#include <cstdint>

#include "link/StatusText.h"

namespace bf {

// A failed D2XX call: carries the library's nonzero status. Thrown by value, caught by
// reference. Not derived from std::exception on purpose: every camera handler catches exactly
// this type and shows GetText(); nothing else should swallow it by accident.
class FTDException {
 public:
  explicit FTDException(uint32_t code) : code_(code) {}
  virtual ~FTDException() = default;
  FTDException(const FTDException&) = default;
  FTDException& operator=(const FTDException&) = default;

  // The Russian status text; empty for a code above 17.
  virtual const char* GetText() const { return StatusText(code_); }
  virtual uint32_t GetCode() const { return code_; }

 private:
  uint32_t code_;
};

}  // namespace bf
