#include "views/pages/hierarchy_view.h"

#include <cstring>

#include "content/node_cursor.h"
#include "content/schema.h"
#include "core/navigation/history_list.h"
#include "core/pages/link_target.h"
#include "core/pages/page_text.h"
#include "frame/footnotes_bar.h"
#include "frame/main_window.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "widgets/artwork.h"
#include "widgets/button_bar.h"
#include "widgets/picture_button.h"
#include "widgets/screen_report.h"
#include "widgets/title_bar.h"

namespace vrok {

namespace {

ScreenMetrics EmulatedScreen() {
  const platform::Screen& s = platform::ScreenMetrics();
  return ScreenMetrics{s.width, s.height, s.dpiX, s.dpiY};
}

// The page pane also takes the view's own commands (1111) from scripts.
class HierarchyPane : public HtmlPane, public CommandTarget {
 public:
  HierarchyPane(QWidget* parent, HierarchyView& view)
      : HtmlPane(parent, nullptr, &view), view_(view) {}
  bool OnCommand(int commandId) override {
    return commandId == HierarchyView::kAboutCommand && view_.OnCommand(commandId);
  }

 private:
  HierarchyView& view_;
};

std::int32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

HierarchyView::HierarchyView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
                             HistoryList& history)
    : main_(main),
      db_(db),
      names_(names),
      history_(history),
      textPage_(db, u"html"),
      listPage_(db, u"hierarchy item"),
      recordPage_(db, EmulatedScreen()),
      extendedPage_(db),
      calculators_(db),
      popup_(&main) {
  popup_.SetFont(PageFontSpec());
  popup_.SetListener(
      [this](PageId page, const std::u16string& anchor) { OnLink(*pane_, page, anchor); });
}

void HierarchyView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (pane_ != nullptr) return;
  pane_ = new HierarchyPane(&main_, *this);
  pane_->setObjectName(QStringLiteral("hierarchy"));
  UseWhiteBackground(*pane_);
  pane_->hide();

  buttons_ = NewFootnotesBar(main_, "hierarchy-buttons", kFootnotesCommand,
                             [this](int id) { OnCommand(id); });
  buttons_->AddButton(kSectionsCommand, art::ButtonBitmap(art::kSections));

  sections_ = new QComboBox(&main_);
  sections_->setObjectName(QStringLiteral("sections"));
  sections_->hide();
  QObject::connect(sections_, &QComboBox::currentIndexChanged, sections_,
                   [this](int index) { ChooseSection(index); });
}

HierarchyView::~HierarchyView() {
  delete sections_;
  delete buttons_;
  delete pane_;
}

bool HierarchyView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  // Whatever comes next, the page being left keeps its scroll position in
  // its history entry: a zero word, then the position.
  if (saveScroll_) {
    const std::uint32_t pos = static_cast<std::uint32_t>(pane_->ScrollPosition());
    const std::uint8_t block[8] = {0,
                                   0,
                                   0,
                                   0,
                                   static_cast<std::uint8_t>(pos),
                                   static_cast<std::uint8_t>(pos >> 8),
                                   static_cast<std::uint8_t>(pos >> 16),
                                   static_cast<std::uint8_t>(pos >> 24)};
    history_.ReplaceShownData(block, sizeof block);
    saveScroll_ = false;
  }

  // The drop-down belongs to the page it was opened on.
  if (sections_ != nullptr) sections_->hide();

  HierarchyPages pages;
  pages.calculators = names_[u"calculators"];
  pages.aZInBrief = names_[u"a_z_in_brief"];
  pages.aZInDetail = names_[u"a_z_in_detail"];
  const HierarchyDecision d = DecideHierarchy(db_, page, pages);
  if (!d.accept) return false;
  MakeWidgets();

  anchor_.clear();
  scroll_.reset();
  if (data != nullptr && length > 0) {
    if (data[0] != 0)
      anchor_ = NavigationText(data, length);
    else if (length >= 8)  // a shorter block carries nothing we can read
      scroll_ = ReadLe32(data + 4);
  }
  jumpToField_ = d.jumpToField;
  footnotes_ = FootnotesRowOf(db_, d.row);

  PageSource* source = &textPage_;
  sectionEntries_.clear();
  if (d.recordPage) {
    if (d.source == HierarchySource::kExtendedRecord) {
      source = &extendedPage_;
      sectionEntries_ = extendedPage_.SectionsFor(d.row);
    } else {
      source = &recordPage_;
      sectionEntries_ = recordPage_.SectionsFor(d.row);
    }
    main_.AddPane(0, kSideBottom, buttons_);
    buttons_->ShowButton(kFootnotesCommand, footnotes_ != 0);
  } else {
    if (footnotes_ == 0) {
      buttons_->ShowButton(kFootnotesCommand, false);
    } else {
      main_.AddPane(0, kSideBottom, buttons_);
      buttons_->ShowButton(kFootnotesCommand, true);
    }
    if (d.source == HierarchySource::kCalculators)
      source = &calculators_;
    else if (d.source == HierarchySource::kChildList)
      source = &listPage_;
  }

  TitleArgs args;
  args.text = d.title;
  args.textColour = Qt::black;
  args.background = QColor(0xAF, 0xAF, 0xAF);
  pane_->CreateWithTitle(args);
  pane_->SetPageSource(source);
  rowToShow_ = d.row;
  main_.AddPane(0, kSideFill, pane_);
  main_.SetTitle(d.title);

  const QSignalBlocker quiet(sections_);
  sections_->clear();
  if (sectionEntries_.size() < 2) {
    buttons_->ShowButton(kSectionsCommand, false);
  } else {
    for (const SectionEntry& s : sectionEntries_)
      sections_->addItem(platform::ToQ(PlainTextOf(s.label)));
    sections_->setCurrentIndex(-1);
    buttons_->ShowButton(kSectionsCommand, true);
  }

  saveScroll_ = true;
  return true;
}

void HierarchyView::Show() {
  if (rowToShow_) {
    row_ = *rowToShow_;
    rowToShow_.reset();
    pane_->ShowPage(row_);
  }
  if (!anchor_.empty())
    pane_->JumpToAnchor(anchor_);
  else if (jumpToField_ != 0)
    pane_->JumpToAnchor(Decimal(jumpToField_));
  if (scroll_) {
    pane_->SetScrollPosition(*scroll_);
    scroll_.reset();
  }
}

void HierarchyView::OnLink(HtmlPane&, PageId page, const std::u16string& anchor) {
  NodeCursor c(db_, page);
  const bool open = page < db_.RowCount() && c.IsOpen();
  const bool special = open && (c.FieldIs(u"hierarchy item") || c.FieldIs(names::kFootnotes) ||
                                c.FieldIs(names::kFootnote));
  if (open && !special && !anchor.empty()) {
    NodeCursor parent = c;
    const bool inPage = page == row_ || (parent.ToParent() && parent.Row().row == row_);
    if (inPage) {
      pane_->JumpToAnchor(anchor);
      return;
    }
  }
  if (!popup_.ShowForLink(db_, page, main_, *pane_)) NavigateToLink(main_, page, anchor);
}

bool HierarchyView::OnCommand(int commandId) {
  switch (commandId) {
    case kFootnotesCommand: {
      std::u16string text;
      if (footnotes_ == 0 || !AppendFootnotes(db_, footnotes_, text)) return false;
      popup_.ShowFromPage(u"Footnotes", text, main_, *pane_, true);
      return true;
    }
    case kSectionsCommand: {
      if (sectionEntries_.size() < 2) return false;
      // Opens upwards from the bar, which sits at the bottom of the screen.
      const int h = sections_->sizeHint().height();
      sections_->setGeometry(0, buttons_->y() - h, main_.width(), h);
      sections_->show();
      sections_->raise();
      if (!platform::Automated()) sections_->showPopup();
      return true;
    }
    case kAboutCommand:
      main_.Navigate(names_[pages::kAbout], nullptr, 0, true);
      return true;
    default:
      return false;
  }
}

void HierarchyView::ChooseSection(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= sectionEntries_.size()) return;
  const std::u16string anchor = Decimal(sectionEntries_[static_cast<std::size_t>(index)].row);
  pane_->JumpToAnchor(anchor);
  // The page now stands at that section, as a link to it would have left
  // it: a bookmark made next reopens there.
  std::u16string block = anchor;
  block.push_back(u'\0');
  main_.SetCurrentPage(main_.CurrentPage(), reinterpret_cast<const std::uint8_t*>(block.data()),
                       static_cast<std::uint32_t>(block.size() * sizeof(char16_t)));
  sections_->hide();
  const QSignalBlocker quiet(sections_);
  sections_->setCurrentIndex(-1);
}

}  // namespace vrok
