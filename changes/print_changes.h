// The printout of the changes tree: the whole tree or one branch, laid out
// page by page on a canvas. The walk, its order and its group headers are
// the text export's (export_changes.h); the texts come from the view
// (changes_view.h), so paper shows what the tree shows.
//
// The layout is portable: it draws through PrintCanvas, which the Win32
// side implements over a printer or metafile device context
// (ui/print_canvas_win32.h) and tests implement by recording the calls.
// Every position is in device pixels, with the origin at the top left of the
// printable area of the page.
//
// Threads: main thread only (the tree is the view's).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "changes/change_tree.h"

namespace cvn::changes {

// Where a printout is drawn. The layout calls BeginJob first, then only
// drawing and measuring calls and NewPage, and EndJob last, exactly once,
// whatever BeginJob returned. A call that returns false has failed: the
// layout stops at once and ends the job as not completed.
//
// Text is UTF-8 and drawn on one line from its top-left corner, in the
// current font (regular until SetBold says otherwise); the canvas never
// wraps. Wrapping, centring and right alignment are built here on the
// measuring calls, so that what is measured is what is drawn.
class PrintCanvas {
 public:
  virtual ~PrintCanvas() = default;

  // Starts the document `document_name` and its first page.
  virtual bool BeginJob(std::string_view document_name) = 0;
  // Ends the current page and starts the next.
  virtual bool NewPage() = 0;
  // Ends the document: completed, the current page is ended and the
  // document sent; otherwise whatever was started is dropped. False when a
  // completed document could not be sent.
  virtual bool EndJob(bool completed) = 0;

  // The printable area of a page; the same for the whole job.
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  // The height of the font's characters at the device's resolution (its
  // point size in pixels), always positive.
  virtual int FontHeight() const = 0;
  // The height of one picture of the image list; 0 when there is none.
  virtual int PictureHeight() const = 0;

  // Chooses the bold or the regular variant of the font for what follows.
  virtual bool SetBold(bool bold) = 0;
  // The height of one line of text in the current font.
  virtual int TextHeight() = 0;
  // The width of `text` on one line in the current font.
  virtual int TextWidth(std::string_view text) = 0;
  // The length in bytes of the longest start of `text` at most `width`
  // wide: a whole number of characters, 0 when not even the first fits.
  virtual size_t FitText(std::string_view text, int width) = 0;
  virtual bool DrawString(int x, int y, std::string_view text) = 0;
  virtual bool DrawLine(int x1, int y1, int x2, int y2) = 0;
  // Draws picture `index` of the image list scaled to a square of `side`
  // pixels with its top-left corner at (x, y). An index the list does not
  // hold draws nothing and succeeds.
  virtual bool DrawPicture(int index, int x, int y, int side) = 0;

  // The lines of `text` wrapped to at most `width` pixels: a line breaks
  // after the last space that fits, and the spaces at a break are dropped; a
  // word wider than a line breaks after the last character that fits; a line
  // holds at least one character, so every text ends. Empty text is one
  // empty line. The views point into `text`.
  std::vector<std::string_view> WrapText(std::string_view text, int width);
  // The height of `text` wrapped as WrapText does.
  int MeasureWrapped(std::string_view text, int width);
  // Draws the part of `text` that fits between `x` and `right` on one line.
  bool DrawClipped(int x, int y, int right, std::string_view text);
  // One line centred between `left` and `right`; from `left` and cut at
  // `right` when it is wider.
  bool DrawCentred(int left, int right, int y, std::string_view text);
  // One line ending at `right`; from `left` and cut at `right` when it is
  // wider.
  bool DrawRightAligned(int left, int right, int y, std::string_view text);
};

struct PrintOptions {
  std::string identifier;  // the monitored application, for the title
  std::string date_time;   // the current date and time as the user reads them
  bool hex = false;        // binary data as hexadecimal digits
};

// Prints the branch at `start` (kNoNode or the top: the whole tree) on
// `canvas`. Nodes are initialised on the way, as for the export. False when a
// canvas call failed: the printout stops there and the job is ended as not
// completed; the caller reports the failure ("Printing error !").
//
// The layout: margins of 50 pixels left and right; a line step L of the font
// height (at least 16) plus 4. The bold title centred at the top (y 30),
// "Corvane," with the date below it, a rule. Then the top node and the
// branch roots, each with its picture, and the changes from 2L + 50: a key or
// folder change as its picture and its full path, wrapped; any other change
// below a group header (the path-node picture and the path of the key or
// folder that holds it, written once for a run of changes in the same
// place), indented by L, as its picture and "name  =  data", wrapped; a
// changed value or file as its name, and "before  --->  after" wrapped on the
// lines below. Pictures are squares of the font or picture height, whichever
// is larger, with the text L + 4 to their right. Something that does not fit
// above the bottom 30 pixels starts a new page; pages after the first begin
// with their number right-aligned over a rule. A text taller than a page
// goes on over the next pages line by line.
bool PrintChanges(ChangeTree& tree, NodeId start, const PrintOptions& options, PrintCanvas& canvas);

}  // namespace cvn::changes
