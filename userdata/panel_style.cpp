#include "userdata/panel_style.h"

#include "platform/qt/environment.h"
#include "userdata/ticked_list.h"

namespace vrok {

void UseScreenFont(QWidget& widget) {
  QFont font = widget.font();
  font.setPixelSize(platform::ScaleY(12));
  widget.setFont(font);
}

TitleArgs HeadingArgs(std::u16string_view text) {
  TitleArgs args;
  args.text = std::u16string(text);
  args.textColour = Qt::white;
  args.background = QColor(132, 150, 164);
  return args;
}

void ReportRows(const TickedList& list, nlohmann::json& pane) {
  nlohmann::json items = nlohmann::json::array();
  for (const auto& title : list.Titles()) items.push_back(platform::ToQ(title).toStdString());
  pane["items"] = std::move(items);
  pane["ticked"] = list.TickedPositions();
}

}  // namespace vrok
