// The printout's canvas on Win32 device contexts: a printer's, or one
// enhanced metafile per page for previews and tests. Text is drawn with the
// changes tree's font at the device's resolution (a bold variant for the
// title) in black on an opaque white background, so the page number hides
// the rule under it; pictures come from an image list, scaled with halftone
// stretching.
//
// Threads: main thread; one job at a time on a device.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "changes/print_changes.h"

namespace cvn::ui {

// Where a printout's pages go. The canvas calls StartDocument once, then
// StartPage and EndPage in turn, then EndDocument once, whatever
// StartDocument returned.
class PrintDevice {
 public:
  virtual ~PrintDevice() = default;

  // The printable area in pixels and the vertical resolution; fixed.
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  virtual int PixelsPerInch() const = 0;

  // False when the document cannot be started.
  virtual bool StartDocument(std::wstring_view name) = 0;
  // The context to draw the new page on, valid until EndPage; null when the
  // page cannot be started.
  virtual HDC StartPage() = 0;
  virtual bool EndPage() = 0;
  // Sends the document when `completed` (false when that fails); otherwise
  // drops whatever was started of it, an open page included.
  virtual bool EndDocument(bool completed) = 0;
};

// A printer, through the device context the print dialog gave; the caller
// keeps and deletes the context.
class PrinterDevice final : public PrintDevice {
 public:
  explicit PrinterDevice(HDC printer);

  int PageWidth() const override;
  int PageHeight() const override;
  int PixelsPerInch() const override;
  bool StartDocument(std::wstring_view name) override;
  HDC StartPage() override;
  bool EndPage() override;
  bool EndDocument(bool completed) override;

 private:
  HDC dc_;
  bool started_ = false;
  bool page_open_ = false;
};

// Pages recorded as enhanced metafiles, `width` by `height` pixels at
// `pixels_per_inch`. Their logical units are those pixels, so a page plays
// back one to one into a bitmap of that size (PlayPage). The finished pages
// stay when a job is dropped; a new job starts from none.
class MetafileDevice : public PrintDevice {
 public:
  MetafileDevice(int width, int height, int pixels_per_inch);
  ~MetafileDevice() override;
  MetafileDevice(const MetafileDevice&) = delete;
  MetafileDevice& operator=(const MetafileDevice&) = delete;

  int PageWidth() const override { return width_; }
  int PageHeight() const override { return height_; }
  int PixelsPerInch() const override { return pixels_per_inch_; }
  bool StartDocument(std::wstring_view name) override;
  HDC StartPage() override;
  bool EndPage() override;
  bool EndDocument(bool completed) override;

  // The finished pages in order; the device owns them.
  const std::vector<HENHMETAFILE>& pages() const { return pages_; }
  // A page is being drawn.
  bool PageOpen() const { return page_dc_ != nullptr; }
  // Plays page `index` onto `dc` at (0, 0), one logical unit to a pixel.
  bool PlayPage(size_t index, HDC dc) const;

 private:
  void DropPages();

  int width_, height_, pixels_per_inch_;
  RECT frame_{};  // the page in hundredths of a millimetre of the reference screen
  HDC page_dc_ = nullptr;
  std::vector<HENHMETAFILE> pages_;
};

// The font of the printout: the changes tree's.
struct PrintFont {
  std::string name = "Tahoma";
  int size = 8;  // points
  uint8_t charset = DEFAULT_CHARSET;
};

// The height of the font's characters on `device` in pixels: the canvas's
// FontHeight, at least 1.
int FontPixelHeight(const PrintFont& font, const PrintDevice& device);

class Win32PrintCanvas final : public changes::PrintCanvas {
 public:
  // `pictures` (not owned, may be null for none) must outlive the canvas.
  Win32PrintCanvas(PrintDevice& device, const PrintFont& font, HIMAGELIST pictures);
  ~Win32PrintCanvas() override;
  Win32PrintCanvas(const Win32PrintCanvas&) = delete;
  Win32PrintCanvas& operator=(const Win32PrintCanvas&) = delete;

  bool BeginJob(std::string_view document_name) override;
  bool NewPage() override;
  bool EndJob(bool completed) override;
  int PageWidth() const override { return device_.PageWidth(); }
  int PageHeight() const override { return device_.PageHeight(); }
  int FontHeight() const override { return font_height_; }
  int PictureHeight() const override { return picture_height_; }
  bool SetBold(bool bold) override;
  int TextHeight() override { return bold_ ? bold_text_height_ : text_height_; }
  int TextWidth(std::string_view text) override;
  size_t FitText(std::string_view text, int width) override;
  bool DrawString(int x, int y, std::string_view text) override;
  bool DrawLine(int x1, int y1, int x2, int y2) override;
  bool DrawPicture(int index, int x, int y, int side) override;

 private:
  // Starts a page and prepares its context.
  bool OpenPage();

  PrintDevice& device_;
  HIMAGELIST pictures_;
  int font_height_;
  int picture_width_ = 0, picture_height_ = 0;
  HFONT regular_ = nullptr, bold_font_ = nullptr;
  HPEN pen_ = nullptr;
  HDC dc_ = nullptr;  // the open page's
  bool bold_ = false;
  int text_height_ = 0, bold_text_height_ = 0;
  // A picture at its own size on white, before it is stretched onto the page.
  HDC picture_dc_ = nullptr;
  HBITMAP picture_bitmap_ = nullptr;
  HGDIOBJ picture_old_bitmap_ = nullptr;
  void* picture_bits_ = nullptr;
};

}  // namespace cvn::ui
