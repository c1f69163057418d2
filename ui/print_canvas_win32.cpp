#include "ui/print_canvas_win32.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/win32/wide_text.h"

namespace cvn::ui {

namespace {

// `text` as UTF-16, and for each code unit the length of the start of `text`
// that ends with the unit's character (with the character's start for the
// first unit of a surrogate pair, so that half a pair never counts). Bytes
// that are not UTF-8 become U+FFFD.
void WideWithEnds(std::string_view text, std::wstring& wide, std::vector<size_t>& ends) {
  wide.clear();
  ends.clear();
  size_t i = 0;
  while (i < text.size()) {
    const uint8_t lead = static_cast<uint8_t>(text[i]);
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if (lead < 0x80) {
      code = lead;
    } else if (lead >= 0xC0 && lead < 0xF8) {
      length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      code = lead & (0x7F >> length);
      size_t n = 1;
      for (;
           n < length && i + n < text.size() && (static_cast<uint8_t>(text[i + n]) & 0xC0) == 0x80;
           ++n)
        code = code << 6 | (static_cast<uint8_t>(text[i + n]) & 0x3F);
      if (n < length || code > 0x10FFFF) code = 0xFFFD;
      length = n;
    }
    if (code >= 0x10000) {
      wide += static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
      ends.push_back(i);
      wide += static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<wchar_t>(code);
    }
    i += length;
    ends.push_back(i);
  }
}

std::wstring Wide(std::string_view text) {
  std::wstring wide;
  std::vector<size_t> ends;
  WideWithEnds(text, wide, ends);
  return wide;
}

HFONT MakeFont(const PrintFont& font, int height, bool bold) {
  LOGFONTW log = {};
  log.lfHeight = -height;
  log.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  log.lfCharSet = font.charset;
  log.lfOutPrecision = OUT_DEFAULT_PRECIS;
  log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  log.lfQuality = DEFAULT_QUALITY;
  log.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring name = platform::win32::ToWide(font.name);
  std::wmemcpy(log.lfFaceName, name.c_str(), std::min<size_t>(name.size(), LF_FACESIZE - 1));
  return CreateFontIndirectW(&log);
}

}  // namespace

// ---------------------------------------------------------------------------
// PrinterDevice

PrinterDevice::PrinterDevice(HDC printer) : dc_(printer) {}

int PrinterDevice::PageWidth() const {
  return GetDeviceCaps(dc_, HORZRES);
}
int PrinterDevice::PageHeight() const {
  return GetDeviceCaps(dc_, VERTRES);
}
int PrinterDevice::PixelsPerInch() const {
  return GetDeviceCaps(dc_, LOGPIXELSY);
}

bool PrinterDevice::StartDocument(std::wstring_view name) {
  const std::wstring document(name);
  DOCINFOW info = {};
  info.cbSize = sizeof(info);
  info.lpszDocName = document.c_str();
  started_ = StartDocW(dc_, &info) > 0;
  return started_;
}

HDC PrinterDevice::StartPage() {
  page_open_ = ::StartPage(dc_) > 0;
  return page_open_ ? dc_ : nullptr;
}

bool PrinterDevice::EndPage() {
  page_open_ = false;
  return ::EndPage(dc_) > 0;
}

bool PrinterDevice::EndDocument(bool completed) {
  if (!started_) return false;
  started_ = false;
  if (completed && (!page_open_ || EndPage()) && EndDoc(dc_) > 0) return true;
  page_open_ = false;
  AbortDoc(dc_);
  return false;
}

// ---------------------------------------------------------------------------
// MetafileDevice

MetafileDevice::MetafileDevice(int width, int height, int pixels_per_inch)
    : width_(width), height_(height), pixels_per_inch_(pixels_per_inch) {
  // A metafile's logical units are its reference device's pixels (the
  // screen's), and its frame is given in hundredths of a millimetre of
  // that device: the page's pixels become as many screen pixels.
  HDC screen = GetDC(nullptr);
  frame_ = {0, 0,
            MulDiv(width, GetDeviceCaps(screen, HORZSIZE) * 100, GetDeviceCaps(screen, HORZRES)),
            MulDiv(height, GetDeviceCaps(screen, VERTSIZE) * 100, GetDeviceCaps(screen, VERTRES))};
  ReleaseDC(nullptr, screen);
}

MetafileDevice::~MetafileDevice() {
  EndDocument(false);
  DropPages();
}

void MetafileDevice::DropPages() {
  for (HENHMETAFILE page : pages_) DeleteEnhMetaFile(page);
  pages_.clear();
}

bool MetafileDevice::StartDocument(std::wstring_view) {
  DropPages();
  return true;
}

HDC MetafileDevice::StartPage() {
  page_dc_ = CreateEnhMetaFileW(nullptr, nullptr, &frame_, L"Corvane\0Changes\0");
  return page_dc_;
}

bool MetafileDevice::EndPage() {
  if (page_dc_ == nullptr) return false;
  HENHMETAFILE page = CloseEnhMetaFile(std::exchange(page_dc_, nullptr));
  if (page == nullptr) return false;
  pages_.push_back(page);
  return true;
}

bool MetafileDevice::EndDocument(bool completed) {
  if (completed) return page_dc_ == nullptr || EndPage();
  if (page_dc_ != nullptr) DeleteEnhMetaFile(CloseEnhMetaFile(std::exchange(page_dc_, nullptr)));
  return true;
}

bool MetafileDevice::PlayPage(size_t index, HDC dc) const {
  const RECT area = {0, 0, width_, height_};
  return index < pages_.size() && PlayEnhMetaFile(dc, pages_[index], &area);
}

// ---------------------------------------------------------------------------
// Win32PrintCanvas

int FontPixelHeight(const PrintFont& font, const PrintDevice& device) {
  return std::max(1, MulDiv(font.size, device.PixelsPerInch(), 72));
}

Win32PrintCanvas::Win32PrintCanvas(PrintDevice& device, const PrintFont& font, HIMAGELIST pictures)
    : device_(device), pictures_(pictures), font_height_(FontPixelHeight(font, device)) {
  regular_ = MakeFont(font, font_height_, false);
  bold_font_ = MakeFont(font, font_height_, true);
  // Rules end square at the margins, not a pen's half width beyond them.
  const LOGBRUSH black = {BS_SOLID, RGB(0, 0, 0), 0};
  pen_ = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_FLAT,
                      std::max(1, device.PixelsPerInch() / 150), &black, 0, nullptr);
  if (pictures_ != nullptr) ImageList_GetIconSize(pictures_, &picture_width_, &picture_height_);
}

Win32PrintCanvas::~Win32PrintCanvas() {
  if (picture_dc_ != nullptr) {
    SelectObject(picture_dc_, picture_old_bitmap_);
    DeleteObject(picture_bitmap_);
    DeleteDC(picture_dc_);
  }
  DeleteObject(regular_);
  DeleteObject(bold_font_);
  DeleteObject(pen_);
}

bool Win32PrintCanvas::BeginJob(std::string_view document_name) {
  if (regular_ == nullptr || bold_font_ == nullptr || pen_ == nullptr) return false;
  return device_.StartDocument(Wide(document_name)) && OpenPage();
}

bool Win32PrintCanvas::OpenPage() {
  dc_ = device_.StartPage();
  if (dc_ == nullptr) return false;
  if (text_height_ == 0) {
    TEXTMETRICW metrics = {};
    SelectObject(dc_, bold_font_);
    if (!GetTextMetricsW(dc_, &metrics)) return false;
    bold_text_height_ = metrics.tmHeight;
    SelectObject(dc_, regular_);
    if (!GetTextMetricsW(dc_, &metrics)) return false;
    text_height_ = metrics.tmHeight;
  }
  return SelectObject(dc_, bold_ ? bold_font_ : regular_) != nullptr &&
         SelectObject(dc_, pen_) != nullptr && SetBkMode(dc_, OPAQUE) != 0 &&
         SetBkColor(dc_, RGB(255, 255, 255)) != CLR_INVALID &&
         SetTextColor(dc_, RGB(0, 0, 0)) != CLR_INVALID &&
         SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP) != GDI_ERROR &&
         SetStretchBltMode(dc_, HALFTONE) != 0 && SetBrushOrgEx(dc_, 0, 0, nullptr);
}

bool Win32PrintCanvas::NewPage() {
  // The page's context gives back the stock objects before it ends.
  SelectObject(dc_, GetStockObject(SYSTEM_FONT));
  SelectObject(dc_, GetStockObject(BLACK_PEN));
  dc_ = nullptr;
  return device_.EndPage() && OpenPage();
}

bool Win32PrintCanvas::EndJob(bool completed) {
  if (dc_ != nullptr) {
    SelectObject(dc_, GetStockObject(SYSTEM_FONT));
    SelectObject(dc_, GetStockObject(BLACK_PEN));
    dc_ = nullptr;
  }
  return device_.EndDocument(completed);
}

bool Win32PrintCanvas::SetBold(bool bold) {
  bold_ = bold;
  return SelectObject(dc_, bold ? bold_font_ : regular_) != nullptr;
}

int Win32PrintCanvas::TextWidth(std::string_view text) {
  const std::wstring wide = Wide(text);
  SIZE size = {};
  if (!GetTextExtentPoint32W(dc_, wide.data(), static_cast<int>(wide.size()), &size)) return 0;
  return size.cx;
}

size_t Win32PrintCanvas::FitText(std::string_view text, int width) {
  if (text.empty() || width <= 0) return 0;
  std::wstring wide;
  std::vector<size_t> ends;
  WideWithEnds(text, wide, ends);
  INT fit = 0;
  SIZE size = {};
  if (!GetTextExtentExPointW(dc_, wide.data(), static_cast<int>(wide.size()), width, &fit, nullptr,
                             &size))
    return 0;
  fit = std::clamp(fit, 0, static_cast<int>(wide.size()));
  return fit == 0 ? 0 : ends[fit - 1];
}

bool Win32PrintCanvas::DrawString(int x, int y, std::string_view text) {
  if (text.empty()) return dc_ != nullptr;
  const std::wstring wide = Wide(text);
  const int count = static_cast<int>(wide.size());
  // White behind the text and half a millimetre either side of it, so that
  // a rule under it stops short of it, and never shows past the end of
  // right-aligned text ending where the rule does.
  SIZE size = {};
  if (!GetTextExtentPoint32W(dc_, wide.data(), count, &size)) return false;
  const int pad = std::max(2, device_.PixelsPerInch() / 50);
  const RECT cell = {x - pad, y, x + size.cx + pad, y + TextHeight()};
  return ExtTextOutW(dc_, x, y, ETO_OPAQUE, &cell, wide.data(), static_cast<UINT>(count), nullptr);
}

bool Win32PrintCanvas::DrawLine(int x1, int y1, int x2, int y2) {
  return MoveToEx(dc_, x1, y1, nullptr) && LineTo(dc_, x2, y2);
}

bool Win32PrintCanvas::DrawPicture(int index, int x, int y, int side) {
  if (pictures_ == nullptr || index < 0 || index >= ImageList_GetImageCount(pictures_) ||
      picture_width_ <= 0 || picture_height_ <= 0)
    return true;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = picture_width_;
  info.bmiHeader.biHeight = -picture_height_;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  if (picture_dc_ == nullptr) {
    picture_dc_ = CreateCompatibleDC(nullptr);
    if (picture_dc_ == nullptr) return false;
    picture_bitmap_ =
        CreateDIBSection(picture_dc_, &info, DIB_RGB_COLORS, &picture_bits_, nullptr, 0);
    if (picture_bitmap_ == nullptr) return false;
    picture_old_bitmap_ = SelectObject(picture_dc_, picture_bitmap_);
  }
  // The picture on white paper, then stretched onto the page.
  std::memset(picture_bits_, 0xFF, static_cast<size_t>(picture_width_) * picture_height_ * 4);
  if (!ImageList_Draw(pictures_, index, picture_dc_, 0, 0, ILD_NORMAL)) return false;
  GdiFlush();
  const int lines = StretchDIBits(dc_, x, y, side, side, 0, 0, picture_width_, picture_height_,
                                  picture_bits_, &info, DIB_RGB_COLORS, SRCCOPY);
  return lines > 0;  // 0 or GDI_ERROR when it failed
}

}  // namespace cvn::ui
