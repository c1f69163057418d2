// How the uninstall log box copes with a long run: 100,000 coloured lines
// through LogBox on the real rich edit under Wine, first as a run delivers
// them (the message loop turns between lines, so the flush timer and
// painting run as in the program), then all at once before Finish (the
// largest flush there can be). Prints the time spent in the appends, in the
// flushes and in the longest flush, against one EM_REPLACESEL per line (with
// its caret move and colour) on a second box in the same process, stopped
// after a minute.
//
//   bench_log_box [lines]    (default 100000)
#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <richedit.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/wide_text.h"
#include "ui/log_box.h"

using namespace cvn;
using Clock = std::chrono::steady_clock;
using uninstall::LogColor;

namespace {

double Since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Line {
  std::string text;
  LogColor color;
};

// Mostly successes, some errors and warnings in between, and the summary.
std::vector<Line> MakeLines(size_t count) {
  std::vector<Line> lines;
  lines.reserve(count);
  for (size_t i = 0; i + 1 < count; ++i) {
    std::string path = "C:\\Program Files\\Bench\\Folder " + std::to_string(i / 1000) + "\\file " +
                       std::to_string(i) + ".dat";
    if (i % 17 == 0) {
      lines.push_back({"DELETING FILE: " + path + " ... ERROR (in use)", {255, 0, 0}});
    } else if (i % 29 == 0) {
      lines.push_back({"DELETING FILE: " + path + " ... FAILS (not found)", {0, 0, 255}});
    } else {
      lines.push_back({"DELETING FILE: " + path + " ... Ok", {0, 128, 0}});
    }
  }
  lines.push_back({"Uninstall complete without errors", {0, 0, 0, true}});
  return lines;
}

HWND MakeBox(HWND parent) {
  RECT client = {};
  GetClientRect(parent, &client);
  return CreateWindowExW(ui::LogBox::kExStyle, ui::LogBox::WindowClass(), L"",
                         WS_CHILD | WS_VISIBLE | ui::LogBox::kStyle, 0, 0, client.right,
                         client.bottom, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

struct Times {
  double appends = 0;  // in Append, without the flushes some of them made
  double flushes = 0;  // in flushes: made by Append, by the timer and by Finish
  double longest = 0;
  size_t flush_count = 0;
  void AddFlush(double ms) {
    flushes += ms;
    longest = std::max(longest, ms);
  }
};

// Dispatches the waiting messages; the box's flush timer counts as a flush.
void Pump(HWND box, Times* times) {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    const bool timer = message.hwnd == box && message.message == WM_TIMER;
    const auto start = Clock::now();
    DispatchMessageW(&message);
    if (timer && times != nullptr) times->AddFlush(Since(start));
  }
}

Times RunLogBox(HWND parent, const std::vector<Line>& lines, bool loop_between_lines) {
  const HWND control = MakeBox(parent);
  Times times;
  {
    ui::LogBox box(control);
    box.Start();
    Pump(control, nullptr);
    for (const Line& line : lines) {
      const size_t flushes = box.flush_count();
      const auto start = Clock::now();
      box.Append(line.text, line.color);
      const double ms = Since(start);
      if (box.flush_count() != flushes) {
        times.AddFlush(ms);
      } else {
        times.appends += ms;
      }
      if (loop_between_lines) Pump(control, &times);
    }
    const auto start = Clock::now();
    box.Finish();
    times.AddFlush(Since(start));
    UpdateWindow(control);
    Pump(control, nullptr);
    times.flush_count = box.flush_count();
  }
  DestroyWindow(control);
  return times;
}

void Print(const char* title, const Times& times, size_t lines) {
  std::printf("%s\n", title);
  std::printf("  appends:        %9.1f ms  (%.2f us per line)\n", times.appends,
              1000 * times.appends / static_cast<double>(lines));
  std::printf(
      "  flushes:        %9.1f ms  in %zu flushes (%.0f lines each)\n", times.flushes,
      times.flush_count,
      static_cast<double>(lines) / static_cast<double>(std::max<size_t>(times.flush_count, 1)));
  std::printf("  longest flush:  %9.1f ms\n", times.longest);
  std::printf("  total:          %9.1f ms\n", times.appends + times.flushes);
}

// The plain way: the caret to the end, the colour, and the line, each line
// on its own.
double LinePerMessage(HWND parent, const std::vector<Line>& lines, double budget_ms, size_t* done,
                      double* last_thousand_ms) {
  const HWND control = MakeBox(parent);
  SendMessageW(control, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  SendMessageW(control, EM_SETTARGETDEVICE, 0, 1);
  SendMessageW(control, EM_SETUNDOLIMIT, 0, 0);
  const auto start = Clock::now();
  auto thousand = start;
  size_t i = 0;
  for (; i < lines.size() && Since(start) < budget_ms; ++i) {
    if (i % 1000 == 0) {
      *last_thousand_ms = Since(thousand);
      thousand = Clock::now();
    }
    GETTEXTLENGTHEX length_query = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    const auto end = static_cast<LONG>(
        SendMessageW(control, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length_query), 0));
    CHARRANGE at_end = {end, end};
    SendMessageW(control, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&at_end));
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.dwEffects = lines[i].color.window_text ? CFE_AUTOCOLOR : 0;
    format.crTextColor = RGB(lines[i].color.red, lines[i].color.green, lines[i].color.blue);
    SendMessageW(control, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    const std::wstring text = (i == 0 ? L"" : L"\r") + platform::win32::ToWide(lines[i].text);
    SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageW(control, EM_SCROLLCARET, 0, 0);
    Pump(control, nullptr);
  }
  *done = i;
  const double ms = Since(start);
  DestroyWindow(control);
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  if (count == 0 || ui::LogBox::WindowClass() == nullptr) return 1;
  const std::vector<Line> lines = MakeLines(count);
  size_t bytes = 0;
  for (const Line& line : lines) bytes += line.text.size() + 1;
  std::printf("%zu lines, %.1f MB of text, through %ls\n", count, bytes / 1e6,
              ui::LogBox::WindowClass());

  const HWND window =
      CreateWindowExW(0, L"STATIC", L"bench_log_box", WS_OVERLAPPEDWINDOW, 0, 0, 700, 400, nullptr,
                      nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  Pump(nullptr, nullptr);

  const Times paced = RunLogBox(window, lines, true);
  Print("log box, the message loop turning between lines (as in a run):", paced, count);
  const Times burst = RunLogBox(window, lines, false);
  Print("log box, every line appended before Finish:", burst, count);

  size_t done = 0;
  double last_thousand = 0;
  const double plain = LinePerMessage(window, lines, 60000, &done, &last_thousand);
  std::printf("one EM_REPLACESEL per line: %zu of %zu lines in %.0f ms%s\n", done, count, plain,
              done < count ? " (stopped at the minute)" : "");
  std::printf("  the last thousand lines took %.1f ms\n", last_thousand);
  const double per_line_box = (paced.appends + paced.flushes) / static_cast<double>(count);
  const double per_line_plain = plain / static_cast<double>(done);
  std::printf("per line: log box %.2f us, one message per line %.2f us (%.0fx)\n",
              1000 * per_line_box, 1000 * per_line_plain, per_line_plain / per_line_box);
  DestroyWindow(window);
  return 0;
}
