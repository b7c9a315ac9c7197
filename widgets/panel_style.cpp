#include "widgets/panel_style.h"

#include "platform/qt/environment.h"

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

}  // namespace vrok
