#include "views/tools/flow_chart_view.h"

#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "frame/main_window.h"
#include "widgets/title_bar.h"

namespace vrok {

FlowChartView::FlowChartView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), source_(db) {}

HtmlPane& FlowChartView::Pane() {
  // The two panes, which take turns, are made when first asked for, not at
  // start-up.
  if (panes_[0] == nullptr) {
    for (HtmlPane*& pane : panes_) {
      pane = new HtmlPane(&main_, &source_, this);
      pane->setObjectName(QStringLiteral("flow-chart"));
      UseWhiteBackground(*pane);
      pane->hide();
    }
  }
  return *panes_[current_];
}

FlowChartView::~FlowChartView() {
  delete panes_[0];
  delete panes_[1];
}

bool FlowChartView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (page >= db_.RowCount() || !FlowChartSource::Accepts(db_, page)) return false;
  source_.Open(page);
  current_ = 1 - current_;
  HtmlPane& pane = Pane();
  const std::u16string heading = ShownName(db_, page);
  TitleArgs args;
  args.text = heading;
  args.textColour = Qt::black;
  args.background = QColor(0xAF, 0xAF, 0xAF);
  args.collapsible = true;
  pane.CreateWithTitle(args);
  pane.ShowPage(page);
  main_.AddPane(0, kSideFill, &pane);
  main_.SetTitle(heading);
  return true;
}

void FlowChartView::OnLink(HtmlPane&, PageId page, const std::u16string& anchor) {
  if (source_.IsInsideChart(page))
    Pane().ShowPage(page);
  else
    NavigateToLink(main_, page, anchor);
}

}  // namespace vrok
