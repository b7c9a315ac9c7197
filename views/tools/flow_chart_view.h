#pragma once
// Flow charts on screen: the pages FlowChartSource builds, in two HTML
// panes used in turn (each opened chart goes to the pane not on screen, so
// that changing pages does not flicker). A link inside the open chart is
// shown in the pane on screen without navigating, so that the path of
// steps survives; any other link navigates.

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "core/tools/flow_chart.h"
#include "frame/html_pane.h"
#include "platform/qt/fonts.h"

namespace vrok {

class MainWindow;

class FlowChartView : public PageView, public LinkSink {
 public:
  FlowChartView(MainWindow& main, const ContentDatabase& db);
  ~FlowChartView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}
  void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) override;

  // The pane on screen (or last shown).
  HtmlPane& Pane();
  const FlowChartSource& Source() const { return source_; }

 private:
  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  FlowChartSource source_;
  HtmlPane* panes_[2] = {nullptr, nullptr};
  int current_ = 0;
};

}  // namespace vrok
