#include "ui/main_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>

#include "i18n/translator.h"
#include "platform/locale.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_path.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/context_help.h"
#include "ui/form_translation.h"
#include "ui/options_dialog.h"
#include "ui/program_icon.h"
#include "ui/single_instance.h"
#include "ui/user_guide.h"

namespace cvn::ui {

namespace {

// The window's designed outer size and the client area its components are
// laid out in, at 96 DPI.
constexpr Size kDesignSize = {688, 440};
constexpr Size kDesignClientSize = {672, 401};
// The smallest the user may make the window, at 96 DPI; scaled with integer
// division.
constexpr Size kMinTrackSize = {620, 404};

std::string PlacementKey() {
  static const std::string key = settings::PlacementKeyPath(
      settings::kAppTitle, platform::win32::ToUtf8(MainWindow::kClassName));
  return key;
}

}  // namespace

Size MainWindowMinTrackSize(int dpi) {
  return {kMinTrackSize.width * dpi / kDesignDpi, kMinTrackSize.height * dpi / kDesignDpi};
}

MainWindow::MainWindow(AppContext& context, platform::Registry& registry)
    : Form(platform::win32::ToUtf8(kClassName), kDesignSize, kDesignClientSize),
      context_(context),
      registry_(registry) {}

bool MainWindow::Create() {
  return CreateForm(settings::kAppTitle);
}

void MainWindow::FormCreate() {
  CreateComponents();
  ChooseEnglish();
  ShowPanel(*first_page_);
  FixStartupFolders(context_);
  ReadSettings();
  changes_tree_.Reset();
  tree_view_page_->Clear();
  TranslateWindow();
  applications_ = std::make_unique<MonitoredListView>(
      MonitoredListView::Controls{
          hwnd(), archives_list_->hwnd(),
          [this](std::string_view name) {
            return GetTextByKey(std::string(name) + ".Caption").value_or("");
          }},
      MonitoredListView::Source{file_system_, context_.program_folder, clock_,
                                platform::UserDateTimeFormat()},
      registry_);
  applications_->LoadState();
  FitListColumns();
  worker_context_.program_folder = context_.program_folder;
  worker_context_.windows_folder = context_.windows_folder;
  wizard::WizardView& view = *this;
  wizard_ = std::make_unique<wizard::Wizard>(
      view, context_.settings, worker_context_,
      wizard::WizardPlatform{file_system_, registry_, shell_, clock_}, dispatcher_, changes_tree_,
      platform::win32::ExecutablePath());
  BindWizardEvents();
  applications_->on_selection_changed = [this] { wizard_->FirstPageChanged(); };
  applications_->can_restore = [this](const std::string& id) { return wizard_->CanRestore(id); };
  applications_->on_restore = [this](const std::string& id) { wizard_->RestoreLastUninstall(id); };
  // A pending monitoring brings its own targets.
  wizard_->Resume();
  CopySettingsToControls();
  EnterProgramFolder(context_);
  DragAcceptFiles(hwnd(), TRUE);
  notification_icon_ = std::make_unique<NotificationIcon>(hwnd(), ProgramClassIcon(true));
  ReadColumnWidths();
  tree_view_page_->SetDpi(dpi());
  // The stored widths are at 96 DPI, so that they suit every screen.
  tree_columns_dpi_ = dpi();
  tree_view_page_->SetColumns(Scale(change_column_width_), Scale(before_column_width_));
}

HFONT MainWindow::WindowFont() const {
  return reinterpret_cast<HFONT>(SendMessageW(next_button_->hwnd(), WM_GETFONT, 0, 0));
}

void MainWindow::ShowChangesTree(std::string identifier) {
  tree_view_page_->SetIdentifier(std::move(identifier));
  ShowPanel(*tree_page_);
  tree_view_page_->ShowTree();
}

void MainWindow::ShowPanel(const Component& page) {
  for (const Component* panel : {first_page_, targets_page_, run_page_, tree_page_, log_page_}) {
    ShowWindow(panel->hwnd(), panel == &page ? SW_SHOW : SW_HIDE);
  }
}

void MainWindow::ReadSettings() {
  settings::Settings& settings = context_.settings;
  settings = settings::Settings{};
  settings.program_folder = context_.program_folder;
  try {
    settings::LoadSettings(registry_, settings);
  } catch (const settings::SettingsError& error) {
    // The values read before the bad one stay, the others keep their defaults.
    MessageBoxW(hwnd(), platform::win32::ToWide(error.what()).c_str(),
                platform::win32::ToWide(settings::kAppTitle).c_str(), MB_OK | MB_ICONERROR);
  }
}

void MainWindow::ChooseEnglish() {
  i18n::Translator* translator = i18n::CurrentTranslator();
  if (translator == nullptr) return;
  translator->SetLanguage("English");
  translator->OnTranslated = [this](i18n::TranslatableForm& form) {
    if (form.FormName() == name()) AfterTranslation();
  };
}

void MainWindow::TranslateWindow() {
  i18n::Translator* translator = i18n::CurrentTranslator();
  if (translator == nullptr) return;
  translator->SetLanguage(context_.settings.language);
  FormTranslation form(*this);
  translator->TranslateForm(form);
  ReportLanguageDamage();
}

void MainWindow::AfterTranslation() {
  SetListColumnCaptions();
  if (applications_) applications_->ShowSortArrow();
  log_box_->SetFont(dpi(), font_charset());
  tree_view_page_->SetColumns(tree_view_page_->ColumnWidth(0), tree_view_page_->ColumnWidth(1));
  tree_view_page_->ApplyLook(font_charset(), WindowFont());
  if (SendMessageW(uninstall_choice_->hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED) {
    SetStatus(i18n::Translate("RS_CHOOSE_IDENTIFIER",
                              "Choose the application identifier to uninstall or view."));
  }
}

void MainWindow::ReportLanguageDamage() {
  // A damaged language file leaves the English texts in place; the user
  // learns why once, in the status line.
  if (std::optional<std::string> report = i18n::CurrentTranslator()->TakeDamageReport())
    SetStatus(*report);
}

void MainWindow::SetStatus(std::string_view text) {
  status_label_->SetText(text);
}

void MainWindow::ReadColumnWidths() {
  const settings::ColumnWidths widths = settings::LoadColumnWidths(registry_);
  if (widths.change) change_column_width_ = *widths.change;
  if (widths.before) before_column_width_ = *widths.before;
}

void MainWindow::Show(int show_command) {
  FormShow();
  ShowWindow(hwnd(), show_maximized_ ? SW_SHOWMAXIMIZED : show_command);
  UpdateWindow(hwnd());
}

void MainWindow::FormShow() {
  min_track_size_ = MainWindowMinTrackSize(dpi());
  RestorePlacement();
}

void MainWindow::RestorePlacement() {
  const auto placement = settings::LoadWindowPlacement(registry_, PlacementKey());
  if (!placement) return;
  if (placement->maximized) {
    show_maximized_ = true;
    return;
  }
  RECT bounds = {};
  GetWindowRect(hwnd(), &bounds);
  const int width = placement->width.value_or(bounds.right - bounds.left);
  const int height = placement->height.value_or(bounds.bottom - bounds.top);
  const int left = placement->left.value_or(bounds.left);
  const int top = placement->top.value_or(bounds.top);
  SetWindowPos(hwnd(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SavePlacement() {
  // A minimised window reports its normal bounds only through its placement.
  WINDOWPLACEMENT window = {};
  window.length = sizeof(window);
  GetWindowPlacement(hwnd(), &window);
  const bool minimized = IsIconic(hwnd());
  RECT bounds = window.rcNormalPosition;
  if (!minimized) GetWindowRect(hwnd(), &bounds);

  settings::WindowPlacement placement;
  placement.maximized =
      IsZoomed(hwnd()) || (minimized && (window.flags & WPF_RESTORETOMAXIMIZED) != 0);
  placement.left = bounds.left;
  placement.top = bounds.top;
  placement.width = bounds.right - bounds.left;
  placement.height = bounds.bottom - bounds.top;
  settings::SaveWindowPlacement(registry_, PlacementKey(), placement);
}

void MainWindow::FormClose() {
  SavePlacement();
  change_column_width_ = MulDiv(tree_view_page_->ColumnWidth(0), kDesignDpi, tree_columns_dpi_);
  before_column_width_ = MulDiv(tree_view_page_->ColumnWidth(1), kDesignDpi, tree_columns_dpi_);
  settings::SaveColumnWidths(registry_, change_column_width_, before_column_width_);
  applications_->SaveState();
  settings::SaveSettings(registry_, context_.settings);
}

void MainWindow::FormDestroy() {
  notification_icon_.reset();
  if (i18n::Translator* translator = i18n::CurrentTranslator()) translator->OnTranslated = nullptr;
  PostQuitMessage(0);
}

void MainWindow::FormResize() {
  FitListColumns();
  if (tree_view_page_) tree_view_page_->FitLastColumn();
}

void MainWindow::FormDpiChanged() {
  log_box_->SetFont(dpi(), font_charset());
  if (applications_) applications_->SetDpi(dpi());
  tree_view_page_->SetDpi(dpi());
  tree_view_page_->SetColumns(MulDiv(tree_view_page_->ColumnWidth(0), dpi(), tree_columns_dpi_),
                              MulDiv(tree_view_page_->ColumnWidth(1), dpi(), tree_columns_dpi_));
  tree_columns_dpi_ = dpi();
  tree_view_page_->ApplyLook(font_charset(), WindowFont());
  if (min_track_size_.width == 0) return;  // not shown yet: FormShow sets it
  min_track_size_ = MainWindowMinTrackSize(dpi());
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == StartInstanceMessage()) {
    JustOneStartInstance();
    return 0;
  }
  switch (message) {
    case WM_CLOSE:
      // The wizard asks what closing would lose, and may refuse.
      if (wizard_ && !wizard_->MayClose()) return 0;
      break;
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) MinimizeToNotificationArea();
      break;
    case NotificationIcon::kMessage:
      OnNotificationIcon(static_cast<UINT>(lparam));
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HANDLE>(wparam));
      return 0;
    case kSettleFocusMessage:
      SettleFocus(wparam != 0);
      return 0;
    case kHelpKeyMessage:
      OnHelpKey(wparam != 0, reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_GETMINMAXINFO:
      return GetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lparam));
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (applications_ &&
          applications_->OnNotify(*reinterpret_cast<const NMHDR*>(lparam), &result))
        return result;
      if (tree_view_page_ &&
          tree_view_page_->OnNotify(*reinterpret_cast<const NMHDR*>(lparam), &result))
        return result;
      break;
    }
    case WM_CONTEXTMENU:
      if (applications_ &&
          applications_->OnContextMenu(reinterpret_cast<HWND>(wparam),
                                       {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}))
        return 0;
      if (tree_view_page_ &&
          tree_view_page_->OnContextMenu(reinterpret_cast<HWND>(wparam),
                                         {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)}))
        return 0;
      if (OfferWhatsThis({GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)})) return 0;
      break;
    case WM_CTLCOLORSTATIC:
      if (warning_label_ != nullptr && reinterpret_cast<HWND>(lparam) == warning_label_->hwnd()) {
        return ColorWarningLabel(reinterpret_cast<HDC>(wparam));
      }
      break;
    default:
      break;
  }
  return Form::HandleMessage(message, wparam, lparam);
}

LRESULT MainWindow::GetMinMaxInfo(MINMAXINFO& info) {
  // The limit holds only while the window is visible, so that the stored
  // placement is applied as it was saved.
  if (!IsWindowVisible(hwnd()) || min_track_size_.width == 0) {
    return DefWindowProcW(hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  }
  info.ptMinTrackSize = {min_track_size_.width, min_track_size_.height};
  return 0;
}

LRESULT MainWindow::ColorWarningLabel(HDC dc) {
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

namespace {

// Where a help text about `control` goes: below it, hiding nothing of it.
POINT BelowControl(HWND control) {
  RECT bounds = {};
  GetWindowRect(control, &bounds);
  return {bounds.left, bounds.bottom};
}

}  // namespace

void MainWindow::OnHelpKey(bool shift, HWND focused) {
  if (shift) {
    ShowContextHelp(focused, BelowControl(focused));
    return;
  }
  std::string missing;
  i18n::Translator* translator = i18n::CurrentTranslator();
  const platform::Status opened = OpenUserGuide(
      context_.program_folder, translator ? translator->LanguageCode() : "en", &missing);
  if (opened.ok()) return;
  SetStatus(missing.empty()
                ? opened.ToString()
                : i18n::Translate("RS_GUIDE_MISSING", "The user guide is missing: ") + missing);
}

bool MainWindow::OfferWhatsThis(POINT at) {
  // A keyboard menu key gives (-1, -1): the focused control is meant.
  const bool from_keyboard = at.x == -1 && at.y == -1;
  HWND control = from_keyboard ? GetFocus() : ControlAt(hwnd(), at);
  if (control == nullptr || HelpContextOf(control) == 0) return false;
  if (from_keyboard) at = BelowControl(control);
  // An edit that can be typed in keeps its own menu.
  wchar_t class_name[16] = {};
  GetClassNameW(control, class_name, 16);
  if (lstrcmpiW(class_name, L"Edit") == 0 && IsWindowEnabled(control)) return false;
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1,
              platform::win32::ToWide(GetTextByKey("pmiWhatsThis.Caption").value_or("")).c_str());
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd(), nullptr));
  DestroyMenu(menu);
  if (chosen == 1) ShowContextHelp(control, at);
  return true;
}

void MainWindow::OnOptionsClick() {
  if (!ShowOptionsDialog(hwnd(), context_.settings, registry_)) return;
  // The new language and tree font show at once.
  TranslateWindow();
}

void MainWindow::OnAboutClick() {
  ShowAboutDialog(hwnd());
}

void MainWindow::JustOneStartInstance() {
  RestoreFromNotificationArea();
}

void MainWindow::MinimizeToNotificationArea() {
  // Without an icon to come back by, the window stays on the taskbar.
  if (!notification_icon_ ||
      !notification_icon_->Show(platform::win32::ToWide(settings::kAppTitle)))
    return;
  ShowWindow(hwnd(), SW_HIDE);
}

void MainWindow::RestoreFromNotificationArea() {
  ShowWindow(hwnd(), IsIconic(hwnd()) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd());
  if (notification_icon_) notification_icon_->Hide();
}

void MainWindow::OnNotificationIcon(UINT mouse_message) {
  if (mouse_message == WM_LBUTTONDBLCLK) {
    RestoreFromNotificationArea();
    return;
  }
  if (mouse_message != WM_RBUTTONUP && mouse_message != WM_CONTEXTMENU) return;
  enum : UINT { kRestore = 1, kExit };
  HMENU menu = CreatePopupMenu();
  const auto caption = [this](const char* name) {
    return platform::win32::ToWide(GetTextByKey(std::string(name) + ".Caption").value_or(""));
  };
  AppendMenuW(menu, MF_STRING, kRestore, caption("pmiRestore").c_str());
  AppendMenuW(menu, MF_STRING, kExit, caption("pmiExit").c_str());
  SetMenuDefaultItem(menu, kRestore, FALSE);
  POINT cursor = {};
  GetCursorPos(&cursor);
  // The menu closes when the user clicks elsewhere only if the window is in front.
  SetForegroundWindow(hwnd());
  const UINT chosen =
      static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                       cursor.x, cursor.y, 0, hwnd(), nullptr));
  DestroyMenu(menu);
  if (chosen == kRestore) RestoreFromNotificationArea();
  if (chosen == kExit) {
    // The close questions are asked over a visible window.
    RestoreFromNotificationArea();
    Close();
  }
}

}  // namespace cvn::ui
