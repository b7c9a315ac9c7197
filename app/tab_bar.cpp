#include "app/tab_bar.h"

#include <functional>

#include <QAccessible>

#include "core/navigation/tab_for_page.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/window_mode.h"
#include "widgets/artwork.h"
#include "widgets/picture_button.h"
#include "widgets/screen_report.h"

namespace vrok {

namespace {

struct TabEntry {
  int buttonId;
  int normal, selected, hiNormal, hiSelected;
  const char* name;
  const char* label;
};
constexpr TabEntry kTabs[3] = {
    {1, art::kIndexTab, art::kIndexTabSelected, art::kIndexTabHigh, art::kIndexTabSelectedHigh,
     "tab-index", "INDEX"},
    {0, art::kContentsTab, art::kContentsTabSelected, art::kContentsTabHigh,
     art::kContentsTabSelectedHigh, "tab-contents", "CONTENTS"},
    {2, art::kToolsTab, art::kToolsTabSelected, art::kToolsTabHigh, art::kToolsTabSelectedHigh,
     "tab-tools", "TOOLS"}};

QPixmap TabPicture(const TabEntry& t, bool selected, QSize size = {}) {
  // A desktop window's tabs take any size: drawn at it rather than stretched.
  if (platform::DesktopMode() && !size.isEmpty()) return art::TabAt(t.label, selected, size);
  const bool hi = platform::IsHighResolution();
  return art::LoadBitmap(selected ? (hi ? t.hiSelected : t.selected)
                                  : (hi ? t.hiNormal : t.normal));
}

// The strip shares its width equally between the three buttons.
class TabStrip : public QWidget, public ReportedPane {
 public:
  TabStrip(QWidget* parent, PictureButton* const (&buttons)[3], const int& selected)
      : QWidget(parent), buttons_(buttons), selected_(selected) {}
  std::function<void()> resized;

  void Report(nlohmann::json& pane) const override {
    pane["kind"] = "TabStrip";
    pane["selected"] = selected_;
  }

 protected:
  void resizeEvent(QResizeEvent*) override {
    const int w = width() / 3;
    for (int i = 0; i < 3; ++i) buttons_[i]->setGeometry(i * w, 0, w, height());
    if (resized) resized();
  }

 private:
  PictureButton* const (&buttons_)[3];
  const int& selected_;
};

}  // namespace

TabBar::TabBar(MainWindow& main, const ContentDatabase& db, PageNameMap& names)
    : main_(main), db_(db), names_(names) {
  auto* strip = new TabStrip(&main, buttons_, selected_);
  strip->resized = [this] { Select(selected_); };
  strip_ = strip;
  strip_->setObjectName(QStringLiteral("tab-strip"));
  strip_->hide();
  for (int i = 0; i < 3; ++i) {
    // Drawn when the strip is first shown (Select), not at start-up.
    buttons_[i] = new PictureButton(kTabs[i].buttonId, QPixmap(), strip_);
    buttons_[i]->setObjectName(QString::fromLatin1(kTabs[i].name));
    // Screen readers see a page tab named as the tab reads.
    static constexpr const char* kLabels[3] = {"INDEX", "CONTENTS", "TOOLS"};
    static constexpr const char* kKeys[3] = {"Ctrl+I", "Ctrl+T", "Ctrl+L"};
    buttons_[i]->SetName(QString::fromLatin1(kLabels[i]), QString::fromLatin1(kKeys[i]));
    buttons_[i]->setProperty("tab", true);
    QObject::connect(buttons_[i], &QAbstractButton::clicked, strip_,
                     [this, id = kTabs[i].buttonId] { ButtonTapped(id); });
  }
  // A desktop window's tabs follow the text size; the handheld's are the
  // bitmaps' height.
  const int height = art::kTabHeight * (platform::IsHighResolution() ? 2 : 1);
  strip_->resize(main.width(), platform::DesktopMode() ? platform::ScaleY(22) : height);
}

TabBar::~TabBar() { delete strip_; }

bool TabBar::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (page == names_[pages::kBookmarks] || page == names_[pages::kNotes] ||
      page == names_[pages::kSplash])
    return false;
  main_.AddPane(0, kSideTop, strip_);
  Select(TabForPage(db_, names_, page), false);
  return true;
}

void TabBar::Select(int position, bool redraw) {
  const int before = selected_;
  selected_ = position >= 0 && position < 3 ? position : -1;
  for (int i = 0; i < 3; ++i) {
    const bool selected = i == selected_;
    const bool toggled = (i == before) != selected;
    if (redraw || toggled || buttons_[i]->Picture().isNull())
      buttons_[i]->SetPicture(TabPicture(kTabs[i], selected, buttons_[i]->size()));
    if (!toggled) continue;
    buttons_[i]->setProperty("selected", selected);
    if (QAccessible::isActive()) {
      QAccessible::State changed;
      changed.selected = true;
      changed.checked = true;
      QAccessibleStateChangeEvent event(buttons_[i], changed);
      QAccessible::updateAccessibility(&event);
    }
  }
}

void TabBar::ButtonTapped(int buttonId) {
  static constexpr std::u16string_view kPages[3] = {pages::kContents, pages::kIndex, pages::kTools};
  if (buttonId >= 0 && buttonId < 3) main_.Navigate(names_[kPages[buttonId]], nullptr, 0, true);
}

}  // namespace vrok
