#include "widgets/button_bar.h"

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/window_mode.h"
#include "widgets/artwork.h"
#include "widgets/picture_button.h"

namespace vrok {

namespace {

// What a button says (its tooltip and its name for screen readers), from
// its picture: every bar button has a picture of its own.
QString NameOfPicture(int bitmapId) {
  switch (bitmapId) {
    case art::kFootnotes: return QStringLiteral("Footnotes");
    case art::kSections: return QStringLiteral("Sections");
    case art::kDelete: return QStringLiteral("Delete");
    case art::kSave: return QStringLiteral("Save");
    case art::kCancel: return QStringLiteral("Cancel");
    case art::kQuestionBack: return QStringLiteral("Back");
    case art::kQuestionNext: return QStringLiteral("Next");
    case art::kCalculate: return QStringLiteral("Calculate");
    case art::kClearAnswers: return QStringLiteral("Clear");
    default: return {};
  }
}

}  // namespace

ButtonBar::ButtonBar(QWidget* parent, int height) : QWidget(parent) {
  setObjectName(QStringLiteral("button-bar"));
  resize(width(), height > 0 ? height : platform::MenuBarHeight());
  ownHeight_ = height <= 0;
  dpiY_ = platform::ScreenMetrics().dpiY;
}

void ButtonBar::AddButton(int commandId, int bitmapId) {
  auto* button = new PictureButton(
      commandId,
      platform::DesktopMode() ? art::ButtonAt(bitmapId, platform::ScreenMetrics().dpiY / 96.0)
                              : art::LoadMaskedBitmap(bitmapId),
      this);
  bitmaps_.push_back(bitmapId);
  // Named by the standard picture, whichever resolution was loaded.
  for (const int id : {art::kFootnotes, art::kSections, art::kDelete, art::kSave, art::kCancel,
                       art::kQuestionBack, art::kQuestionNext, art::kCalculate, art::kClearAnswers})
    if (art::ButtonBitmap(id) == bitmapId || id == bitmapId) button->SetName(NameOfPicture(id));
  connect(button, &QAbstractButton::clicked, this, [this, commandId] {
    if (listener_) listener_(commandId);
  });
  buttons_.push_back(button);
  LayOut();
  button->show();
}

PictureButton* ButtonBar::Button(int commandId) const {
  for (PictureButton* b : buttons_)
    if (b->Id() == commandId) return b;
  return nullptr;
}

void ButtonBar::ShowButton(int commandId, bool show) {
  PictureButton* b = Button(commandId);
  if (b == nullptr) {
    platform::ShowMessage(u"Error, there isn't button on that id", u"Vrok",
                          platform::MessageIcon::kStop, platform::MessageButtons::kOk, this);
    return;
  }
  b->setVisible(show);
}

void ButtonBar::Redraw() {
  const bool desktop = platform::DesktopMode();
  const qreal scale = platform::ScreenMetrics().dpiY / 96.0;
  for (std::size_t i = 0; i < buttons_.size(); ++i)
    buttons_[i]->SetPicture(desktop ? art::ButtonAt(bitmaps_[i], scale)
                                    : art::LoadMaskedBitmap(bitmaps_[i]));
  const int dpi = platform::ScreenMetrics().dpiY;
  if (ownHeight_)
    resize(width(), platform::MenuBarHeight());
  else if (dpi != dpiY_ && dpiY_ > 0)
    resize(width(), (height() * dpi + dpiY_ / 2) / dpiY_);
  dpiY_ = dpi;
  LayOut();
}

void ButtonBar::LayOut() {
  // A hidden button keeps its place.
  const int gap = (platform::ScreenMetrics().dpiX + 24) * 2 / 96;
  int right = width();
  for (PictureButton* b : buttons_) {
    const QSize s = b->Picture().size();
    right -= s.width();
    b->setGeometry(right, (height() - s.height()) / 2, s.width(), s.height());
    right -= gap;
  }
}

bool ButtonBar::OnCommand(int commandId) {
  PictureButton* b = Button(commandId);
  if (b == nullptr || !b->isVisible() || !b->isEnabled()) return false;
  b->click();
  return true;
}

void ButtonBar::resizeEvent(QResizeEvent*) { LayOut(); }

}  // namespace vrok
