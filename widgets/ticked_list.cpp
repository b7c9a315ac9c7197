#include "widgets/ticked_list.h"

#include "platform/qt/environment.h"
#include "widgets/artwork.h"
#include "widgets/button_bar.h"
#include "widgets/check_list.h"
#include "widgets/panel_style.h"

namespace vrok {

TickedList::TickedList(QWidget* parent, int deleteId) : QWidget(parent) {
  UseScreenFont(*this);
  UseWhiteBackground(*this);
  list_ = new CheckList(this, QRect(), kListId, QStringLiteral("check"));
  TitleArgs noTitle;
  noTitle.show = false;
  list_->CreateWithTitle(noTitle);
  list_->SetListener({[this](CheckList&, std::uint32_t value) {
                        if (chosen_) chosen_(static_cast<int>(value));
                      },
                      nullptr});
  // The strip under the list is (dpiX x 30 + 48) / 96 pixels high.
  strip_ = new ButtonBar(this, platform::ScaleX(30));
  strip_->AddButton(deleteId, art::ButtonBitmap(art::kDelete));
  strip_->SetListener([this](int) {
    if (delete_) delete_(TickedPositions());
  });
}

void TickedList::Fill(const std::vector<std::u16string>& titles) {
  titles_ = titles;
  list_->Clear();
  for (std::size_t i = 0; i < titles.size(); ++i)
    list_->AddItem(titles[i], static_cast<std::uint32_t>(i));
}

std::vector<int> TickedList::TickedPositions() const {
  std::vector<int> positions;
  for (const std::uint32_t value : list_->Ticked()) positions.push_back(static_cast<int>(value));
  return positions;
}

void TickedList::resizeEvent(QResizeEvent*) {
  const int strip = strip_->height();
  list_->setGeometry(0, 0, width(), std::max(0, height() - strip));
  // The delete button keeps a small margin from the right edge.
  strip_->setGeometry(0, height() - strip, width() - platform::ScaleX(4), strip);
}

void TickedList::ReportRows(nlohmann::json& pane) const {
  nlohmann::json items = nlohmann::json::array();
  for (const auto& title : titles_) items.push_back(platform::ToQ(title).toStdString());
  pane["items"] = std::move(items);
  pane["ticked"] = TickedPositions();
}

}  // namespace vrok
