#include "ui/print_job.h"

#include <cderr.h>
#include <commdlg.h>
#include <winspool.h>

#include "changes/print_changes.h"
#include "i18n/translator.h"
#include "ui/print_canvas_win32.h"

namespace cvn::ui {

namespace {

// Whether any printer, local or connected, is installed.
bool PrinterInstalled() {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 4, nullptr, 0, &needed,
                &count);
  return needed > 0;
}

}  // namespace

PrintResult PrintChangesWithDialog(HWND owner, changes::ChangeTree& tree, changes::NodeId selected,
                                   const PrintJobOptions& options) {
  // Without a printer the dialog has nothing to offer, and would say so in
  // a box of its own.
  if (!PrinterInstalled()) return PrintResult::kNoPrinter;

  PRINTDLGW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOWARNING | PD_USEDEVMODECOPIESANDCOLLATE |
                 (selected == changes::kNoNode ? PD_NOSELECTION : 0);
  dialog.nCopies = 1;
  const bool chosen = PrintDlgW(&dialog);
  const DWORD error = chosen ? 0 : CommDlgExtendedError();
  if (dialog.hDevMode != nullptr) GlobalFree(dialog.hDevMode);
  if (dialog.hDevNames != nullptr) GlobalFree(dialog.hDevNames);
  if (!chosen) {
    if (error == 0) return PrintResult::kCancelled;
    if (error == PDERR_NODEFAULTPRN || error == PDERR_NODEVICES || error == PDERR_PRINTERNOTFOUND)
      return PrintResult::kNoPrinter;
    return PrintResult::kFailed;
  }
  if (dialog.hDC == nullptr) return PrintResult::kFailed;

  const changes::NodeId start = (dialog.Flags & PD_SELECTION) != 0 ? selected : changes::kNoNode;
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  bool printed;
  {
    PrinterDevice device(dialog.hDC);
    const PrintFont font = {options.font_name, options.font_size, options.font_charset};
    HIMAGELIST pictures = options.make_pictures != nullptr
                              ? options.make_pictures(FontPixelHeight(font, device))
                              : nullptr;
    {
      Win32PrintCanvas canvas(device, font, pictures);
      printed = changes::PrintChanges(tree, start,
                                      {options.identifier, options.date_time, options.hex}, canvas);
    }
    if (pictures != nullptr) ImageList_Destroy(pictures);
  }
  DeleteDC(dialog.hDC);
  SetCursor(previous);
  return printed ? PrintResult::kPrinted : PrintResult::kFailed;
}

std::string PrintResultMessage(PrintResult result) {
  switch (result) {
    case PrintResult::kFailed:
      return i18n::Translate("RS_PRINT_ERROR", "Printing error !");
    case PrintResult::kNoPrinter:
      return i18n::Translate("RS_NO_PRINTER", "No printer is installed.");
    default:
      return {};
  }
}

}  // namespace cvn::ui
