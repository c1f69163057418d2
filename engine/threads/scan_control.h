// How a scan or a load learns that it must stop or pause.
//
// The scan threads implement this; the scanners and the loader only ask. A
// stop ends every loop at the next item, leaving a partial store or tree that
// the caller discards. All three are called on the worker thread.
#pragma once

namespace cvn::threads {

class ScanControl {
 public:
  virtual ~ScanControl() = default;

  // The thread has been told to terminate; tested by the scanners' loops.
  virtual bool Terminated() const = 0;
  // The application's state says "stop requested"; tested by the record loop
  // of LoadSnapshot (the thread's terminate flag is set at the same moment,
  // but loading follows the application's state).
  virtual bool CancelRequested() const = 0;
  // The pause point: returns at once unless the main thread asked the worker
  // to park here, in which case it returns when the worker is resumed.
  virtual void CheckPause() = 0;
};

// A control that never stops or pauses, for work that runs to its end.
class RunToEnd final : public ScanControl {
 public:
  bool Terminated() const override { return false; }
  bool CancelRequested() const override { return false; }
  void CheckPause() override {}
};

}  // namespace cvn::threads
