#include "app/reader_app.h"

#include "app/keyboard.h"
#include "widgets/accessible.h"


#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "app/shell_view.h"
#include "app/splash_view.h"
#include "app/settings_dialog.h"
#include "app/tab_bar.h"
#include "app/theme_setting.h"
#include "content/book_files.h"
#include "content/content_database.h"
#include "frame/main_window.h"
#include "frame/popup.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/fonts.h"
#include "platform/qt/screen_window.h"
#include "app/automation.h"
#include "app/shell_view.h"
#include "app/splash_view.h"
#include "app/tab_bar.h"
#include "frame/main_window.h"
#include "frame/popup.h"
#include "views/search/search_view.h"
#include "views/pages/figure_view.h"
#include "views/pages/grid_view.h"
#include "views/pages/hierarchy_view.h"
#include "views/pages/index_views.h"
#include "views/pages/tree_views.h"
#include "views/tools/flow_chart_view.h"
#include "views/tools/questionnaire_view.h"

namespace vrok {

namespace {
bool UsableContentFile(const QString& path) { return IsUsableContentFile(path.toStdString()); }

QString PrefixName() {
  return QString::fromLatin1(format::kPrefixName.data(),
                             static_cast<qsizetype>(format::kPrefixName.size()));
}

QString CanonicalFolder(const QString& folder) {
  const QFileInfo info(folder);
  const QString canonical = info.canonicalFilePath();
  return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

// A decimal page id, or none for a page name.
std::optional<qulonglong> PageNumber(const QString& page) {
  if (page.isEmpty()) return std::nullopt;
  for (const QChar c : page)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
  bool ok = false;
  const qulonglong n = page.toULongLong(&ok);
  return ok ? n : ~0ULL;
}

void InstallationError(unsigned stringId) {
  platform::ShowMessage(platform::LoadString(stringId), u"Vrok", platform::MessageIcon::kStop,
                        platform::MessageButtons::kOk);
}
}  // namespace

std::string FolderWindowClass(const QString& folder) {
  // FNV-1a, 64 bits: a short, stable name for any path.
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : CanonicalFolder(folder).toUtf8()) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  char name[32];
  std::snprintf(name, sizeof name, "%.*s-%016llx", static_cast<int>(kReaderWindowClass.size()),
                kReaderWindowClass.data(), static_cast<unsigned long long>(hash));
  return name;
}

bool IsPageText(const QString& page) {
  const auto number = PageNumber(page);
  return !page.isEmpty() && (!number || *number <= 0xFFFFFFFFULL);
}

bool HandOverToRunningReader(const QString& folder, const QString& page) {
  nlohmann::json request{{"folder", CanonicalFolder(folder).toStdString()}};
  if (!page.isEmpty()) request["page"] = page.toStdString();
  const std::string argument =
      request.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (argument.size() > kMaxActivateArgument) return false;
  return WindowRegistry().Activate(FolderWindowClass(folder), argument);
}

ReaderApp::ReaderApp(platform::Registry registry) : registry_(std::move(registry)) {}

ReaderApp::~ReaderApp() {
  if (shell_ || tabs_ || indexList_ || linked_ || hierarchy_ || grids_ || splash_ || menuIndex_ ||
      figures_ || flowCharts_ || fieldIndex_ || questionnaires_ || tight_)
    ExitInstance();
}

bool ReaderApp::CheckInstallation() {
  const auto dir = registry_.InstallDir();
  if (!registry_.Problem().isEmpty())
    std::fprintf(stderr, "vrok: %s\n", registry_.Problem().toLocal8Bit().constData());
  if (!dir) {
    // The message box keeps its fixed text; the detail and the cure go to
    // standard error.
    std::fprintf(stderr,
                 "vrok: no \"InstallDir\" value in the registry file %s; run \"vrok --install\" "
                 "in the program folder to write it\n",
                 registry_.File().toLocal8Bit().constData());
    InstallationError(platform::kStrInvalidRegistry);
    return false;
  }
  const QString prefix = *dir + QLatin1Char('/') + PrefixName();
  for (const char* suffix : {"-Data.pdb", "-Strings.pdb"}) {
    const QString file = prefix + QLatin1String(suffix);
    if (UsableContentFile(file)) continue;
    std::fprintf(stderr,
                 "vrok: %s is missing, unreadable or too short to be a content file; copy the "
                 "book's files into %s, or run \"vrok --install\" in the folder that holds "
                 "them (\"InstallDir\" in %s)\n",
                 file.toLocal8Bit().constData(), dir->toLocal8Bit().constData(),
                 registry_.File().toLocal8Bit().constData());
    InstallationError(platform::kStrDatabaseDamaged);
    return false;
  }
  // Files of the right size can still be no book at all.
  const ContentDatabase book(prefix.toStdString());
  if (!book.IsBook()) {
    std::fprintf(stderr, "vrok: %s: %s; replace the book's files with a good copy\n",
                 prefix.toLocal8Bit().constData(), book.FailureReason().c_str());
    InstallationError(platform::kStrDatabaseDamaged);
    return false;
  }
  return true;
}

bool ReaderApp::InitInstance() {
  // Before any window exists, so that every control gets the program's
  // own accessibility interface.
  InstallAccessibility();
  // The screen's dots per inch were fixed when the program started.
  screen_ = std::make_unique<platform::ScreenWindow>();
  main_ = new MainWindow(*screen_, QStringLiteral("Vrok"), QStringLiteral("Tarvessa"));
  if (!CheckInstallation()) return false;
  if (beforeShow_) std::exchange(beforeShow_, nullptr)();
  screen_->show();
  RegisterWindow();
  // Started at the same moment as another reader on this folder, which
  // registered first: hand over to it before the user's files are opened.
  if (handOverPage_ && !folderWindow_ &&
      WindowRegistry().Find(FolderWindowClass(platform::ProgramFolder())) &&
      HandOverToRunningReader(platform::ProgramFolder(), *handOverPage_)) {
    handedOver_ = true;
    return false;
  }

  const QString prefix = platform::ProgramFile(PrefixName());
  db_ = std::make_unique<ContentDatabase>(prefix.toStdString());
  RegisterPageNames(*db_, names_);
  RegisterHome(names_, registry_.CanOpen() ? registry_.InitialTab() : std::nullopt);

  // Creation order: shell view, tab bar, ..., splash view, ...
  shell_ = std::make_unique<ShellView>(*main_, *db_, names_, history_, userMap_, registry_);
  shell_->Settings().SetThemeListener([this](platform::ThemeChoice c) { UseTheme(*this, c); });
  tabs_ = std::make_unique<TabBar>(*main_, *db_, names_);
  indexList_ = std::make_unique<IndexListView>(*main_, *db_, names_);
  linked_ = std::make_unique<LinkedTreeView>(*main_, *db_);
  hierarchy_ = std::make_unique<HierarchyView>(*main_, *db_, names_, history_);
  grids_ = std::make_unique<GridView>(*main_, *db_, names_);
  splash_ = std::make_unique<SplashView>(*main_, *db_, names_);
  menuIndex_ = std::make_unique<MenuIndexView>(*main_, *db_);
  figures_ = std::make_unique<FigureView>(*main_, *db_);
  flowCharts_ = std::make_unique<FlowChartView>(*main_, *db_);
  fieldIndex_ = std::make_unique<FieldIndexView>(*main_, *db_);
  questionnaires_ = std::make_unique<QuestionnaireView>(*main_, *db_);
  tight_ = std::make_unique<TightHierarchyView>(*main_, *db_);

  // Registration order, which is the order navigation asks the views in:
  // shell view, index list, menu index, linked tight hierarchy, tab bar,
  // hierarchy, grid, splash, figure, flow chart, field index,
  // questionnaire, tight hierarchy.
  main_->RegisterView(shell_.get());
  main_->RegisterView(indexList_.get());
  main_->RegisterView(menuIndex_.get());
  main_->RegisterView(linked_.get());
  main_->RegisterView(tabs_.get());
  main_->RegisterView(hierarchy_.get());
  main_->RegisterView(grids_.get());
  main_->RegisterView(splash_.get());
  main_->RegisterView(figures_.get());
  main_->RegisterView(flowCharts_.get());
  main_->RegisterView(fieldIndex_.get());
  main_->RegisterView(questionnaires_.get());
  main_->RegisterView(tight_.get());
  AddBookSearch(prefix.toStdString());
  InstallKeyboard(*this);

  main_->Navigate(names_[pages::kSplash], nullptr, 0, true);
  return true;
}

void ReaderApp::RegisterWindow() {
  // Destroying the window from outside ends the program the way Exit does:
  // the loop ends and the views are destroyed in ExitInstance. A second
  // reader of the same user finds the first one registered and goes without.
  const WindowRegistry registry;
  window_ = registry.Register(kReaderWindowClass, [] { platform::PostQuit(); });
  if (window_) {
    windowNotifier_ = std::make_unique<QSocketNotifier>(window_->Fd(), QSocketNotifier::Read);
    QObject::connect(windowNotifier_.get(), &QSocketNotifier::activated,
                     [this] { window_->HandleReadable(); });
  }
  // Registered by folder as well: a second start on the same folder finds
  // this reader and hands over to it instead of running beside it.
  folderWindow_ = registry.Register(
      FolderWindowClass(platform::ProgramFolder()), [] { platform::PostQuit(); },
      [this](std::string_view request) { return TakeHandOver(request); });
  if (folderWindow_) {
    folderNotifier_ = std::make_unique<QSocketNotifier>(folderWindow_->Fd(), QSocketNotifier::Read);
    QObject::connect(folderNotifier_.get(), &QSocketNotifier::activated,
                     [this] { folderWindow_->HandleReadable(); });
  }
}

void ReaderApp::ShowPage(const QString& page) {
  if (!main_ || !IsPageText(page)) return;
  const auto number = PageNumber(page);
  const PageId target = number ? static_cast<PageId>(*number) : names_[platform::FromQ(page)];
  main_->Navigate(target, nullptr, 0, true);
}

bool ReaderApp::TakeHandOver(std::string_view request) {
  const nlohmann::json r = nlohmann::json::parse(request, nullptr, false);
  if (!r.is_object() || !r.contains("folder") || !r["folder"].is_string()) return false;
  // The class name is a hash: make sure the request really is for our folder.
  if (QString::fromStdString(r["folder"].get<std::string>()) !=
      CanonicalFolder(platform::ProgramFolder()))
    return false;
  QString page;
  if (r.contains("page")) {
    if (!r["page"].is_string()) return false;
    page = QString::fromStdString(r["page"].get<std::string>());
    if (!IsPageText(page)) return false;
  }
  // Later, from the event loop: the request is answered first, and the
  // navigation does not run inside the socket's notification.
  QTimer::singleShot(0, screen_.get(), [this, page] {
    screen_->setWindowState((screen_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    screen_->show();
    screen_->raise();
    screen_->activateWindow();
    if (!page.isEmpty()) ShowPage(page);
  });
  return true;
}

int ReaderApp::ExitInstance() {
  folderNotifier_.reset();
  folderWindow_.reset();
  windowNotifier_.reset();
  window_.reset();
  // Destruction order: shell view, index list, linked tight hierarchy,
  // hierarchy, grid, tab bar, splash, figure, flow chart, menu index, field
  // index, questionnaire, tight hierarchy.
  shell_.reset();
  indexList_.reset();
  linked_.reset();
  hierarchy_.reset();
  grids_.reset();
  tabs_.reset();
  splash_.reset();
  figures_.reset();
  flowCharts_.reset();
  menuIndex_.reset();
  fieldIndex_.reset();
  questionnaires_.reset();
  tight_.reset();
  search_.reset();  // waits for an index build under way
  // The views have removed their uses of the page font; this removal only
  // succeeds for a use the views did not account for.
  platform::RemoveFontResource(platform::ProgramFile(QLatin1String(platform::kPageFontFile)));
  return 0;
}

}  // namespace vrok
