#include "shell/reader_app.h"

#include <QFile>

#include "content/format.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/fonts.h"
#include "platform/qt/screen_window.h"
#include "render/figure_view.h"
#include "render/grid_view.h"
#include "render/hierarchy_view.h"
#include "render/index_views.h"
#include "render/tree_views.h"
#include "render/popup.h"
#include "shell/automation.h"
#include "shell/main_window.h"
#include "shell/shell_view.h"
#include "shell/splash_view.h"
#include "shell/tab_bar.h"
#include "tools/flow_chart_view.h"
#include "tools/questionnaire_view.h"

namespace vrok {

namespace {
// A content file's header is 78 bytes; anything shorter cannot be one.
constexpr qint64 kMinContentFile = 78;

bool UsableContentFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) && file.size() >= kMinContentFile;
}

QString PrefixName() {
  return QString::fromLatin1(format::kPrefixName.data(),
                             static_cast<qsizetype>(format::kPrefixName.size()));
}

void InstallationError(unsigned stringId) {
  platform::ShowMessage(platform::LoadString(stringId), u"Vrok", platform::MessageIcon::kStop,
                        platform::MessageButtons::kOk);
}
}  // namespace

ReaderApp::ReaderApp(platform::Registry registry) : registry_(std::move(registry)) {}

ReaderApp::~ReaderApp() {
  if (shell_ || tabs_ || indexList_ || linked_ || hierarchy_ || grids_ || splash_ || menuIndex_ ||
      figures_ || flowCharts_ || fieldIndex_ || questionnaires_ || tight_)
    ExitInstance();
}

bool ReaderApp::CheckInstallation() {
  const auto dir = registry_.InstallDir();
  if (!dir) {
    InstallationError(platform::kStrInvalidRegistry);
    return false;
  }
  const QString prefix = *dir + QLatin1Char('/') + PrefixName();
  if (!UsableContentFile(prefix + QStringLiteral("-Data.pdb")) ||
      !UsableContentFile(prefix + QStringLiteral("-Strings.pdb"))) {
    InstallationError(platform::kStrDatabaseDamaged);
    return false;
  }
  return true;
}

bool ReaderApp::InitInstance() {
  // The screen's dots per inch were fixed when the program started.
  screen_ = std::make_unique<platform::ScreenWindow>();
  main_ = new MainWindow(*screen_, QStringLiteral("Vrok"), QStringLiteral("Tarvessa"));
  if (!CheckInstallation()) return false;
  screen_->show();
  RegisterWindow();

  const QString prefix = platform::ProgramFile(PrefixName());
  db_ = std::make_unique<ContentDatabase>(prefix.toStdString());
  RegisterPageNames(*db_, names_);
  RegisterHome(names_, registry_.CanOpen() ? registry_.InitialTab() : std::nullopt);

  // Creation order: shell view, tab bar, ..., splash view, ...
  shell_ = std::make_unique<ShellView>(*main_, *db_, names_, history_, userMap_, registry_);
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

  // The pop-up open now is the topmost viewer for scripts and the report.
  SetPopupSource([] {
    const PopupHtmlDialog* popup = PopupHtmlDialog::Shown();
    return popup != nullptr ? popup->Report() : nlohmann::json(nullptr);
  });
  SetPopupWidget([]() -> QWidget* { return PopupHtmlDialog::Shown(); });

  main_->Navigate(names_[pages::kSplash], nullptr, 0, true);
  return true;
}

void ReaderApp::RegisterWindow() {
  // Destroying the window from outside ends the program the way Exit does:
  // the loop ends and the views are destroyed in ExitInstance. A second
  // reader of the same user finds the first one registered and goes without.
  window_ = WindowRegistry().Register(kReaderWindowClass, [] { platform::PostQuit(); });
  if (!window_) return;
  windowNotifier_ = std::make_unique<QSocketNotifier>(window_->Fd(), QSocketNotifier::Read);
  QObject::connect(windowNotifier_.get(), &QSocketNotifier::activated,
                   [this] { window_->HandleReadable(); });
}

int ReaderApp::ExitInstance() {
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
  // The views have removed their uses of the page font; this removal only
  // succeeds for a use the views did not account for.
  platform::RemoveFontResource(platform::ProgramFile(QLatin1String(platform::kPageFontFile)));
  return 0;
}

}  // namespace vrok
