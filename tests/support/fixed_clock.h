// A clock that reads what the test sets, for archive dates and log headings.
#pragma once

#include "changes/changes_archive.h"

namespace cvn::test {

class FixedClock final : public changes::Clock {
 public:
  explicit FixedClock(double now = changes::MakeDateTime(2024, 3, 5, 14, 7, 9)) : now_(now) {}
  double Now() const override { return now_; }
  void Set(double now) { now_ = now; }

 private:
  double now_;
};

}  // namespace cvn::test
