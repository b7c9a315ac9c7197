#include "frame/html_pane.h"

#include "core/pages/link_target.h"
#include "core/pages/page_source.h"
#include "frame/main_window.h"
#include "frame/viewer_control.h"
#include "platform/qt/environment.h"

namespace vrok {

HtmlPane::HtmlPane(QWidget* parent, PageSource* source, LinkSink* sink)
    : RichTitledPane(parent), source_(source), sink_(sink) {
  viewer_ = new ViewerControl(this);
  viewer_->setObjectName(QStringLiteral("viewer"));
  viewer_->SetPageSource(source);
  viewer_->SetLinkListener([this](const std::u16string& href) { OnLinkTapped(href); });
  viewer_->SetImageListener([this](const std::u16string& src, std::uint32_t cookie) {
    if (interactive_ && sink_ != nullptr) sink_->OnImageRequest(*this, src, cookie);
  });
  Title().SetLinkListener([this](std::uint32_t page) {
    if (interactive_ && sink_ != nullptr) sink_->OnLink(*this, page, std::u16string());
  });
  SetContent(viewer_);
}

void HtmlPane::SetPageSource(PageSource* source) {
  source_ = source;
  viewer_->SetPageSource(source);
}

void HtmlPane::ShowPage(PageId page) {
  if (source_ == nullptr) return;
  ShowHtml(source_->BuildPage(page));
}

void HtmlPane::ShowHtml(const std::u16string& html) {
  viewer_->ShowHtml(html);
  viewer_->SetScrollPosition(0);
}

void HtmlPane::Clear() { viewer_->Clear(); }
void HtmlPane::JumpToAnchor(const std::u16string& name) { viewer_->JumpToAnchor(name); }
int HtmlPane::ScrollPosition() const { return viewer_->ScrollPosition(); }
void HtmlPane::SetScrollPosition(int position) { viewer_->SetScrollPosition(position); }
const std::u16string& HtmlPane::Document() const { return viewer_->Document(); }

void HtmlPane::OnLinkTapped(std::u16string_view href) {
  if (!interactive_ || sink_ == nullptr || href.empty() || IsWebLink(href)) return;
  const ParsedLink link = ParseLinkTarget(href);
  sink_->OnLink(*this, link.page, link.anchor);
}

void HtmlPane::Report(nlohmann::json& pane) const {
  RichTitledPane::Report(pane);
  pane["kind"] = "HtmlPane";
  pane["html"] = platform::ToQ(viewer_->Document()).toStdString();
  pane["scroll"] = viewer_->ScrollPosition();
}

void NavigateToLink(MainWindow& main, PageId page, const std::u16string& anchor) {
  if (anchor.empty()) {
    main.Navigate(page, nullptr, 0, true);
    return;
  }
  std::u16string data = anchor;
  data.push_back(u'\0');
  main.Navigate(page, reinterpret_cast<const std::uint8_t*>(data.data()),
                static_cast<std::uint32_t>(data.size() * sizeof(char16_t)), true);
}

}  // namespace vrok
