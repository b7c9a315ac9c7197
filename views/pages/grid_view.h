#pragma once
// Grid tables on screen. GridView takes every row of a table of type
// "table": it shows the table in a GridControl under its title and, for one
// of its footnote rows, the footnote in a pop-up.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"
#include "platform/qt/timer.h"
#include "views/pages/grid_control.h"
#include "widgets/rich_text.h"
#include "widgets/screen_report.h"
#include "widgets/title_bar.h"

namespace vrok {

class ButtonBar;
class MainWindow;
class PageNameMap;

// The grid window: the table's plain title above the grid. Commands sent
// to the page (1111) go to its handler.
class GridWindow : public TitledPane, public CommandTarget {
 public:
  explicit GridWindow(QWidget* parent);
  GridControl& Grid() const { return *grid_; }
  void SetTitle(const std::u16string& title);
  void SetCommandHandler(std::function<bool(int)> handler) { handler_ = std::move(handler); }
  bool OnCommand(int commandId) override { return handler_ && handler_(commandId); }

 private:
  GridControl* grid_ = nullptr;
  std::function<bool(int)> handler_;
};

class GridView : public PageView {
 public:
  static constexpr int kFootnotesCommand = 1001;
  static constexpr int kAboutCommand = 1111;

  GridView(MainWindow& main, const ContentDatabase& db, PageNameMap& names);
  ~GridView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;

  // 1001 shows the footnotes, 1111 goes to "aboutKESTOR"; false for others.
  bool OnCommand(int commandId);

  GridWindow& Window() {
    MakeWidgets();
    return *window_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }
  GridModel& Model() { return model_; }
  FootnotePopup& Popup() { return popup_; }
  const std::u16string& Footnotes() const { return footnotes_; }

 private:
  void MakeWidgets();
  QRect GridRect() const;

  MainWindow& main_;
  const ContentDatabase& db_;
  PageNameMap& names_;
  platform::PageFontUse font_;
  GridModel model_;
  std::optional<RowIndex> shownTable_;
  int fontHeight_ = 0;  // of the font the table was laid out with
  GridWindow* window_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  FootnotePopup popup_;
  std::u16string footnotes_;
  bool relayout_ = false;
  // A footnote row to open once the grid is on screen; where the tap that
  // led to it was, when a link in the grid was tapped.
  std::optional<RowIndex> pendingFootnote_;
  std::optional<QPoint> tapPoint_;
  std::optional<QPoint> pendingTapPoint_;
};

}  // namespace vrok
