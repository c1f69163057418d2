// Printing the changes tree as a user asks for it: the print dialog, then
// the printout (changes/print_changes.h) on the chosen printer.
//
// Threads: main thread. The call is modal and returns when the job has been
// handed to the spooler, dropped or refused; it never leaves a job open.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdint>
#include <string>

#include "changes/change_tree.h"

namespace cvn::ui {

struct PrintJobOptions {
  std::string identifier;  // the monitored application, for the title
  std::string date_time;   // the current date and time as the user reads them
  bool hex = false;        // binary data as hexadecimal digits (Settings::binary_as_hex)
  // The changes tree's font (Settings::tree_font_name, tree_font_size) and
  // the character set of the interface language.
  std::string font_name = "Tahoma";
  int font_size = 8;
  uint8_t font_charset = DEFAULT_CHARSET;
  // Makes the tree's pictures, in the order of changes::ImageIndex, `size`
  // pixels square: ui::CreateChangePictures. The job asks for them at the
  // printer's font height, so they print as sharp as the text, and destroys
  // them. Null, or a null list, prints no pictures.
  HIMAGELIST (*make_pictures)(int size) = nullptr;
};

enum class PrintResult {
  kPrinted,    // sent to the printer
  kCancelled,  // the user closed the dialog without printing
  kNoPrinter,  // no printer is installed; known before the dialog, which is not shown
  kFailed,     // the dialog or the printer failed; the job, if any, was dropped
};

// Shows the print dialog over `owner` and prints what the user chose: with
// "Selection" the branch at `selected`, otherwise the whole tree. Selection
// is offered only when `selected` is a node (not kNoNode). The cursor is an
// hourglass while the pages are made; the caller disables its window around
// the call. The result says what to tell the user (PrintResultMessage).
PrintResult PrintChangesWithDialog(HWND owner, changes::ChangeTree& tree, changes::NodeId selected,
                                   const PrintJobOptions& options);

// The message for a result, translated: "Printing error !" for kFailed,
// "No printer is installed." for kNoPrinter; empty for the others.
std::string PrintResultMessage(PrintResult result);

}  // namespace cvn::ui
