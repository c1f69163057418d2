#include "changes/print_changes.h"

#include <algorithm>

#include "changes/changes_view.h"
#include "changes/report_walk.h"
#include "i18n/translator.h"

namespace cvn::changes {

namespace {

// The length of the first character of `text` (UTF-8; a stray byte counts as
// one character).
size_t FirstCharLength(std::string_view text) {
  size_t length = 1;
  while (length < text.size() && length < 4 && (static_cast<uint8_t>(text[length]) & 0xC0) == 0x80)
    ++length;
  return std::min(length, text.size());
}

// The start of `text` that can matter for a line `width` pixels wide, cut at
// a character boundary, so that measuring a very long text stays cheap: a
// character takes at most four bytes and, but for zero-width ones (which
// then only end a line early), at least a pixel.
std::string_view MeasurablePart(std::string_view text, int width) {
  size_t limit = 4 * (static_cast<size_t>(std::max(width, 0)) + 16);
  if (text.size() <= limit) return text;
  while (limit > 0 && (static_cast<uint8_t>(text[limit]) & 0xC0) == 0x80) --limit;
  return text.substr(0, limit);
}

constexpr int kLeft = 50;           // the left margin, and the right one from the page width
constexpr int kTop = 30;            // where a page's content starts
constexpr int kBottom = 30;         // kept free below the last line of a page
constexpr int kItemSpacing = 5;     // between items, below their text
constexpr int kPictureSpacing = 4;  // between a picture and its text

// A canvas call failed: the printout ends.
struct CanvasFailure {};

class Printer {
 public:
  Printer(ChangeTree& tree, const PrintOptions& options, PrintCanvas& canvas)
      : tree_(tree),
        canvas_(canvas),
        hex_(options.hex),
        right_(canvas.PageWidth() - kLeft),
        line_height_(std::max(canvas.FontHeight(), 16) + 4),
        side_(std::max(canvas.PictureHeight(), canvas.FontHeight())),
        node_x_(2 * line_height_ + kLeft),
        page_label_(i18n::Translate("RS_PAGE", "Page: ")) {}

  // The title, the program and date line and the rule below them.
  void Heading(std::string_view title, std::string_view date_time) {
    y_ = kTop;
    Check(canvas_.SetBold(true));
    Check(canvas_.DrawCentred(kLeft, right_, y_, title));
    y_ += canvas_.TextHeight();
    Check(canvas_.SetBold(false));
    Check(canvas_.DrawClipped(kLeft, y_, right_, "Corvane,    " + std::string(date_time)));
    y_ += canvas_.TextHeight() + kItemSpacing;
    Check(canvas_.DrawLine(kLeft, y_, right_, y_));
    y_ += 4;
  }

  // The top node or a branch root on one line from `x`; x moves past the
  // picture.
  void Caption(NodeId node, int x) {
    x_ = x;
    const ChangeRecord& data = tree_.Data(node);
    PictureAndLine(ImageIndex(data), CellText(data, ChangeColumn::kName, hex_));
  }

  // A branch root ("File System" or "Registry") from `x`, then its children.
  void Part(NodeId root, int x) {
    Caption(root, x);
    tree_.InitNode(root);
    for (NodeId c = tree_.FirstChild(root); c != kNoNode; c = tree_.NextSibling(c)) Walk(c, "");
  }

  // The node, then its children: first the leaves that are not keys or
  // folders, then the rest (the export's order).
  void Walk(NodeId node, const std::string& prefix) {
    WalkBranch(tree_, node, prefix, [this](NodeId n, const std::string& p) { Print(n, p); });
  }

  int LineHeight() const { return line_height_; }

  static void Check(bool ok) {
    if (!ok) throw CanvasFailure{};
  }

 private:
  void Print(NodeId node, const std::string& prefix) {
    const ChangeRecord& data = tree_.Data(node);
    const NodeKind kind = data.kind;
    const int image = ImageIndex(data);
    x_ = node_x_;
    if (IsKeyOrFolderChange(kind)) {
      last_printed_path_ = prefix + "\\" + data.name;
      PictureAndWrapped(image, last_printed_path_);
      return;
    }
    if (image != kImageDrive && image != kImagePathNode && last_printed_path_ != prefix) {
      last_printed_path_ = prefix;
      PictureAndLine(kImagePathNode, prefix);
      x_ = node_x_;
    }
    const std::string name = CellText(data, ChangeColumn::kName, hex_);
    switch (kind) {
      case NodeKind::kValueAdded:
      case NodeKind::kCounterIncremented:
      case NodeKind::kFileAdded:
      case NodeKind::kFileMovedTo:
        x_ += line_height_;
        PictureAndWrapped(image, name + "  =  " + CellText(data, ChangeColumn::kAfter, hex_));
        break;
      case NodeKind::kValueDeleted:
      case NodeKind::kFileDeleted:
      case NodeKind::kFileMovedFrom:
        x_ += line_height_;
        PictureAndWrapped(image, name + "  =  " + CellText(data, ChangeColumn::kBefore, hex_));
        break;
      case NodeKind::kValueChanged:
      case NodeKind::kFileChanged: {
        x_ += line_height_;
        PictureAndLine(image, name);
        const std::string change = CellText(data, ChangeColumn::kBefore, hex_) + "  --->  " +
                                   CellText(data, ChangeColumn::kAfter, hex_);
        FitOnPage(canvas_.MeasureWrapped(change, right_ - x_));
        Wrapped(change);
        break;
      }
      default:
        break;
    }
  }

  // A picture at x and `text` after it on one line, cut at the right margin.
  void PictureAndLine(int image, std::string_view text) {
    const int height = canvas_.TextHeight();
    FitOnPage(height);
    Check(canvas_.DrawPicture(image, x_, y_, side_));
    x_ += line_height_ + kPictureSpacing;
    Check(canvas_.DrawClipped(x_, y_, right_, text));
    y_ += height + kItemSpacing;
  }

  // A picture at x and `text` after it, wrapped to the right margin.
  void PictureAndWrapped(int image, std::string_view text) {
    FitOnPage(canvas_.MeasureWrapped(text, right_ - (x_ + line_height_)));
    Check(canvas_.DrawPicture(image, x_, y_, side_));
    x_ += line_height_ + kPictureSpacing;
    Wrapped(text);
  }

  // `text` wrapped from x to the right margin. A text taller than a page
  // goes on over the next pages.
  void Wrapped(std::string_view text) {
    const int height = canvas_.TextHeight();
    const std::vector<std::string_view> lines = canvas_.WrapText(text, right_ - x_);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) FitOnPage(height);
      Check(canvas_.DrawString(x_, y_, lines[i]));
      y_ += height;
    }
    y_ += kItemSpacing;
  }

  // Starts a new page when `height` more pixels do not fit on this one.
  void FitOnPage(int height) {
    if (y_ + height + kBottom <= canvas_.PageHeight()) return;
    Check(canvas_.NewPage());
    ++page_;
    y_ = kTop;
    // The page number, right-aligned over a rule at half its height.
    const int text_height = canvas_.TextHeight();
    Check(canvas_.DrawLine(kLeft, y_ + text_height / 2, right_, y_ + text_height / 2));
    Check(canvas_.DrawRightAligned(kLeft, right_, y_, page_label_ + std::to_string(page_)));
    y_ += text_height + 2;
  }

  ChangeTree& tree_;
  PrintCanvas& canvas_;
  const bool hex_;
  const int right_;        // the right margin
  const int line_height_;  // the indentation step
  const int side_;         // of the pictures
  const int node_x_;       // where a change's line starts
  const std::string page_label_;
  int page_ = 1;
  int x_ = kLeft;
  int y_ = kTop;
  std::string last_printed_path_;
};

}  // namespace

std::vector<std::string_view> PrintCanvas::WrapText(std::string_view text, int width) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  do {
    const std::string_view rest = text.substr(start);
    const size_t fit = FitText(MeasurablePart(rest, width), width);
    if (fit >= rest.size()) {
      lines.push_back(rest);
      break;
    }
    // rest[fit] exists: the break may be at a space up to and including it.
    size_t next = rest.find_last_of(' ', fit);
    size_t length = next == std::string_view::npos ? 0 : next;
    while (length > 0 && rest[length - 1] == ' ') --length;
    if (length > 0) {
      while (next < rest.size() && rest[next] == ' ') ++next;
    } else {  // no space after a word: break inside it
      length = fit > 0 ? fit : FirstCharLength(rest);
      next = length;
    }
    lines.push_back(rest.substr(0, length));
    start += next;
  } while (start < text.size());
  return lines;
}

int PrintCanvas::MeasureWrapped(std::string_view text, int width) {
  return static_cast<int>(WrapText(text, width).size()) * TextHeight();
}

bool PrintCanvas::DrawClipped(int x, int y, int right, std::string_view text) {
  return DrawString(x, y, text.substr(0, FitText(MeasurablePart(text, right - x), right - x)));
}

bool PrintCanvas::DrawCentred(int left, int right, int y, std::string_view text) {
  const int width = TextWidth(text);
  if (width > right - left) return DrawClipped(left, y, right, text);
  return DrawString(left + (right - left - width) / 2, y, text);
}

bool PrintCanvas::DrawRightAligned(int left, int right, int y, std::string_view text) {
  const int width = TextWidth(text);
  if (width > right - left) return DrawClipped(left, y, right, text);
  return DrawString(right - width, y, text);
}

bool PrintChanges(ChangeTree& tree, NodeId start, const PrintOptions& options,
                  PrintCanvas& canvas) {
  std::string title = i18n::Translate("RS_CHANGES", "'%s' changes");
  if (size_t at = title.find("%s"); at != std::string::npos)
    title.replace(at, 2, options.identifier);

  bool completed = false;
  try {
    Printer::Check(canvas.BeginJob(title));
    Printer printer(tree, options, canvas);
    printer.Heading(title, options.date_time);
    const int part_x = printer.LineHeight() + kLeft;
    if (start == kNoNode || start == tree.Top()) {
      printer.Caption(tree.Top(), kLeft);
      printer.Part(tree.FileSystemRoot(), part_x);
      printer.Part(tree.RegistryRoot(), part_x);
    } else if (start == tree.FileSystemRoot()) {
      printer.Part(start, kLeft);
    } else if (start == tree.RegistryRoot()) {
      printer.Part(start, part_x);
    } else {
      printer.Walk(start, ContainerPath(tree, start));
    }
    completed = true;
  } catch (const CanvasFailure&) {
  }
  return canvas.EndJob(completed) && completed;
}

}  // namespace cvn::changes
