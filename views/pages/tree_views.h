#pragma once
// The list-rendered hierarchy views: the book's "tight hierarchy" tables as
// an expandable tree of their "hierarchy item" rows.
//
// TreeList is the tree control (id 100), filled lazily: an item that is not
// a leaf gets an empty placeholder child until it is first expanded. Only
// the program highlights an item; a tap activates it.
//
// LinkedTreeView takes "linked tight hierarchy" tables: the tree under its
// title, each activated item navigating to where it leads.
// TightHierarchyView takes "tight hierarchy" tables: a SplitPane with the
// tree above a preview of the chosen record (FieldListPage). The two never
// take the same page.

#include <QTreeWidget>
#include <functional>
#include <optional>
#include <string>

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "core/pages/child_pages.h"
#include "core/pages/tree_model.h"
#include "frame/html_pane.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"
#include "widgets/screen_report.h"
#include "widgets/title_bar.h"

namespace vrok {

class ButtonBar;
class MainWindow;

class TreeList : public QTreeWidget, public RowTarget {
 public:
  static constexpr int kControlId = 100;
  // The list, the item's row and whether it is a leaf.
  using Activated = std::function<void(TreeList& list, RowIndex row, bool leaf)>;

  explicit TreeList(QWidget* parent);

  // The model is not owned.
  void SetModel(const TreeItemModel* model) { model_ = model; }
  void SetListener(Activated listener) { listener_ = std::move(listener); }
  // Lists root's items as the top level (collapsed).
  void SetRoot(RowIndex root);
  RowIndex Root() const { return root_; }

  // The item showing that row among the items that exist, breadth first.
  QTreeWidgetItem* Find(RowIndex row) const;
  // Creates the items down to the row, scrolls it to the top and
  // highlights it; false when the row is not in the tree.
  bool Reveal(RowIndex row, bool expand);
  void ClearHighlight();
  std::optional<RowIndex> Highlighted() const { return highlighted_; }
  void Activate(QTreeWidgetItem* item);

  // The visible items in order: row, label, depth, expanded, highlighted.
  nlohmann::json ReportItems() const;
  bool TapRow(int row) override;
  bool HoldRow(int row) override { return TapRow(row); }

 private:
  void Append(QTreeWidgetItem* parent, RowIndex row);
  void Fill(QTreeWidgetItem* item);
  static RowIndex RowOf(const QTreeWidgetItem* item);

  const TreeItemModel* model_ = nullptr;
  Activated listener_;
  RowIndex root_ = 0;
  std::optional<RowIndex> highlighted_;
};

// A titled pane around a tree list; it reports as "TreeList".
class TreePane : public TitledPane {
 public:
  explicit TreePane(QWidget* parent);
  TreeList& List() const { return *list_; }
  void Report(nlohmann::json& pane) const override;

 private:
  TreeList* list_ = nullptr;
};

// The title, the tree, a splitter bar and the preview pane. The bar has a
// grip at its left and three buttons at its right for the ratios 0.75, 0.5
// and 0.25; dragging it moves the split within 0.25 .. 0.75.
class SplitPane : public TitledPane {
 public:
  SplitPane(QWidget* parent, LinkSink* sink);
  TreeList& List() const { return *list_; }
  HtmlPane& Preview() const { return *preview_; }
  QWidget& Bar() const { return *bar_; }
  float Ratio() const { return ratio_; }
  void SetRatio(float ratio);
  void Report(nlohmann::json& pane) const override;

  // The stylus on the bar, in the pane's coordinates.
  void StylusDown(QPoint at);
  void StylusMove(QPoint at);
  void StylusUp(QPoint at);

  // The bar's height, (R_v x 15 + 48) / 96, and its top.
  static int BarHeight();
  int BarTop(bool halfInIntegers);

 protected:
  void LayOutContent(QRect area) override;

 private:
  TreeList* list_ = nullptr;
  QWidget* bar_ = nullptr;
  HtmlPane* preview_ = nullptr;
  float ratio_ = 0.5F;
  bool dragging_ = false;
  int lastY_ = 0;
};

class LinkedTreeView : public PageView {
 public:
  LinkedTreeView(MainWindow& main, const ContentDatabase& db);
  ~LinkedTreeView() override;
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}
  TreePane& Pane();

 private:
  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  TreeItemModel model_;
  TreePane* pane_ = nullptr;
};

class TightHierarchyView : public PageView, public LinkSink {
 public:
  static constexpr int kFootnotesCommand = 1236;

  TightHierarchyView(MainWindow& main, const ContentDatabase& db);
  ~TightHierarchyView() override;
  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override;
  void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) override;
  bool OnCommand(int commandId);

  SplitPane& Pane() {
    MakeWidgets();
    return *pane_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }

 private:
  void MakeWidgets();

  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  TreeItemModel model_;
  FieldListPage fields_;
  SplitPane* pane_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  FootnotePopup popup_;
  RowIndex footnotes_ = 0;
  std::optional<RowIndex> previewRow_;
  std::u16string anchor_;
  bool revealFromList_ = false;
};

}  // namespace vrok
