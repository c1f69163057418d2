// A scan control whose stop comes after a given number of pause points (never
// when the limit is negative), and which counts the pause points it passed.
#pragma once

#include "engine/threads/scan_control.h"

namespace cvn::test {

class StopAfter : public threads::ScanControl {
 public:
  explicit StopAfter(long pauses = -1) : limit_(pauses) {}
  bool Terminated() const override { return limit_ >= 0 && pauses_ >= limit_; }
  bool CancelRequested() const override { return Terminated(); }
  void CheckPause() override { ++pauses_; }
  long pauses() const { return pauses_; }

 private:
  long limit_;
  long pauses_ = 0;
};

}  // namespace cvn::test
