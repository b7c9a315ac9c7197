#pragma once
// The pane that shows generated pages: a rich title on top and the HTML
// viewer below it. A page view plugs in through two interfaces: its
// PageSource (render/page_source.h) builds the pages and answers picture
// requests; its LinkSink is told about taps on book links.
//
// Link targets are the decimal page id, optionally followed by "#" and an
// anchor ("120#a2"). Targets that begin with "http" are web links and do
// nothing; any other target goes to the sink, with page 0 when it does not
// start with a digit.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/navigation/page_view.h"
#include "widgets/title_bar.h"

namespace vrok {

class HtmlPane;
class MainWindow;
class PageSource;
class ViewerControl;

class LinkSink {
 public:
  virtual ~LinkSink() = default;
  virtual void OnLink(HtmlPane& pane, PageId page, const std::u16string& anchor) = 0;
  // Told every picture request of an interactive pane; most views ignore it.
  virtual void OnImageRequest(HtmlPane& pane, std::u16string_view source, std::uint32_t cookie) {
    (void)pane;
    (void)source;
    (void)cookie;
  }
};

class HtmlPane : public RichTitledPane {
 public:
  // The source builds the pages; the sink (may be null) hears link taps.
  // Neither is owned.
  HtmlPane(QWidget* parent, PageSource* source, LinkSink* sink = nullptr);

  void SetPageSource(PageSource* source);
  void SetLinkSink(LinkSink* sink) { sink_ = sink; }
  // A pane that is not interactive still shows pages and pictures but
  // ignores link taps. Panes start interactive.
  void SetInteractive(bool interactive) { interactive_ = interactive; }
  bool Interactive() const { return interactive_; }

  // Builds the page with the source, shows it and scrolls to the top;
  // nothing without a source. The previous page is replaced, not cleared.
  void ShowPage(PageId page);
  // Shows a document built elsewhere, from the top.
  void ShowHtml(const std::u16string& html);
  void Clear();
  void JumpToAnchor(const std::u16string& name);
  int ScrollPosition() const;
  void SetScrollPosition(int position);
  // The exact document last given to the viewer.
  const std::u16string& Document() const;

  ViewerControl& Viewer() const { return *viewer_; }

  // A tap on a link with this raw HREF, as the viewer reports it.
  void OnLinkTapped(std::u16string_view href);

  void Report(nlohmann::json& pane) const override;

 private:
  ViewerControl* viewer_ = nullptr;
  PageSource* source_ = nullptr;
  LinkSink* sink_ = nullptr;
  bool interactive_ = true;
};

// Navigates to a tapped link: the anchor travels as zero-terminated UTF-16
// text (its bytes, terminator included); a link without an anchor carries
// no data.
void NavigateToLink(MainWindow& main, PageId page, const std::u16string& anchor);

}  // namespace vrok
