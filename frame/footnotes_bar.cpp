#include "frame/footnotes_bar.h"

#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "widgets/artwork.h"
#include "widgets/button_bar.h"
#include "widgets/picture_button.h"

namespace vrok {

ButtonBar* NewFootnotesBar(MainWindow& main, const char* name, int footnotesCommand,
                           std::function<void(int command)> onCommand, int height) {
  auto* bar = new ButtonBar(&main, height);
  bar->setObjectName(QString::fromLatin1(name));
  bar->AddButton(footnotesCommand, art::ButtonBitmap(art::kFootnotes));
  bar->Button(footnotesCommand)->SetName(QStringLiteral("Footnotes"));
  bar->SetListener(std::move(onCommand));
  bar->hide();
  return bar;
}

void FollowLinksInMain(FootnotePopup& popup, MainWindow& main) {
  popup.SetListener(
      [&main](PageId page, const std::u16string& anchor) { NavigateToLink(main, page, anchor); });
}

}  // namespace vrok
