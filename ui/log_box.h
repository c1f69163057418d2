// The log box of the uninstall log page: a read-only rich edit in "Courier
// New", without word wrap, that shows the lines of a run each in its own
// colour. It is emptied, disabled and given the button-face background when
// a run starts, and enabled again with the window background when it ends.
//
// Lines are queued and reach the control in batches: a flush moves the
// caret to the end once and then sends one EM_SETCHARFORMAT and one
// EM_REPLACESEL per run of lines of the same colour. An Append flushes at
// once when the last flush is at least kFlushInterval old; otherwise a timer
// on the control flushes the queue when the interval is up. So the box is
// updated at most about ten times a second, a line never waits longer than
// the interval while the message loop runs, and a busy engine (whose calls
// keep the queue full, before timers) still sees its lines flushed by its
// own Appends. Finish flushes whatever is left.
//
// The owner creates the control (WindowClass(), kStyle, kExStyle) and keeps
// the box for the control's lifetime. Main thread only.
#pragma once

#include "platform/win32/windows_api.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "uninstall/uninstall_view.h"

namespace cvn::ui {

class LogBox {
 public:
  // The window class to create the control with: "RICHEDIT50W" from
  // Msftedit.dll, or "RichEdit20W" from riched20.dll where the first is
  // missing. The first call loads the library, which stays loaded; null
  // when neither can be loaded.
  static const wchar_t* WindowClass();
  // Read-only, multi-line, scroll bars both ways (shown when needed); no
  // word wrap. WS_CHILD and WS_VISIBLE are the creator's.
  static constexpr DWORD kStyle = WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                  ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL;
  static constexpr DWORD kExStyle = WS_EX_CLIENTEDGE;
  static constexpr int kFontPoints = 9;
  static constexpr std::chrono::milliseconds kFlushInterval{100};

  // Takes over `rich_edit`, a control of WindowClass(): switches off word
  // wrap, undo and the text limit, gives it "Courier New" at the control's
  // DPI in the default character set, and subclasses it for the flush timer
  // and to keep its font when its window hands every control a new one.
  explicit LogBox(HWND rich_edit);
  // Leaves the control as it is (it may already be gone).
  ~LogBox();
  LogBox(const LogBox&) = delete;
  LogBox& operator=(const LogBox&) = delete;

  HWND hwnd() const { return hwnd_; }

  // The start of a run: drops queued lines, empties, disables and gives the
  // box the button-face background.
  void Start();
  // Queues `utf8_line` as the box's next line, in `color`. A line break or
  // NUL inside the line shows as a space, so each line stays one line.
  void Append(std::string_view utf8_line, uninstall::LogColor color);
  // Moves the queued lines into the control and scrolls so that the last
  // line shows, at the left edge. Nothing happens when the queue is empty.
  void Flush();
  // The end of a run: flushes, enables the box, gives it the window
  // background and puts the caret at the start of the last line, shown.
  void Finish();
  // "Courier New" of kFontPoints at `dpi` in `charset` (the translator's
  // character set), for the box's text, present and to come.
  void SetFont(int dpi, uint8_t charset);

  // Flushes that moved lines so far; for measurements.
  size_t flush_count() const { return flush_count_; }

 private:
  struct Span {
    size_t end;  // in pending_
    uninstall::LogColor color;
  };
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  void StopTimer();
  void ShowLastLine();
  void ApplyFont();

  HWND hwnd_;
  HFONT font_ = nullptr;
  // Lines queued since the last flush: their text with a CR before each but
  // the box's first line, and the runs of one colour.
  std::wstring pending_;
  std::vector<Span> spans_;
  // Where, in pending_, the last queued line starts.
  size_t pending_last_line_ = 0;
  // The box has a line, shown or queued: the next one starts with a CR.
  bool has_line_ = false;
  // Where, in the control's text, its last line starts.
  long last_line_start_ = 0;
  bool timer_running_ = false;
  std::chrono::steady_clock::time_point last_flush_{};
  size_t flush_count_ = 0;
};

}  // namespace cvn::ui
