#include "views/pages/figure_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include "content/schema.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "core/pages/titles.h"
#include "frame/footnotes_bar.h"
#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "frame/picture_loader.h"
#include "platform/qt/environment.h"
#include "widgets/button_bar.h"
#include "platform/qt/theme.h"

namespace vrok {

ImageCanvas::ImageCanvas(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("image"));
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setCursor(Qt::OpenHandCursor);
}

void ImageCanvas::SetImage(QImage image) {
  image_ = std::move(image);
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  UpdateRanges();
  viewport()->update();
}

QPoint ImageCanvas::Offset() const {
  return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ImageCanvas::UpdateRanges() {
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, image_.width() - view.width()));
  horizontalScrollBar()->setPageStep(view.width());
  horizontalScrollBar()->setSingleStep(platform::ScaleX(16));
  verticalScrollBar()->setRange(0, std::max(0, image_.height() - view.height()));
  verticalScrollBar()->setPageStep(view.height());
  verticalScrollBar()->setSingleStep(platform::ScaleY(16));
}

void ImageCanvas::paintEvent(QPaintEvent*) {
  QPainter g(viewport());
  // Round the figure only; the figure itself is drawn as it is.
  g.fillRect(viewport()->rect(), platform::CurrentColours().page);
  if (!image_.isNull()) g.drawImage(-Offset(), image_);
}

void ImageCanvas::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateRanges();
}

void ImageCanvas::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragFrom_ = event->position().toPoint();
}

void ImageCanvas::mouseMoveEvent(QMouseEvent* event) {
  if (!dragFrom_) return;
  // The picture follows the stylus; the scroll bars keep it in range.
  const QPoint at = event->position().toPoint();
  const QPoint moved = at - *dragFrom_;
  dragFrom_ = at;
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
  verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
}

void ImageCanvas::mouseReleaseEvent(QMouseEvent*) { dragFrom_.reset(); }

ImageWindow::ImageWindow(QWidget* parent) : TitledPane(parent) {
  setObjectName(QStringLiteral("figure"));
  UseWhiteBackground(*this);
  canvas_ = new ImageCanvas(this);
  SetContent(canvas_);
  hide();
}

void ImageWindow::SetFigure(std::u16string title, QImage image, std::optional<std::size_t> variant,
                            std::u16string note) {
  TitleArgs args;
  args.text = title;
  args.textColour = Qt::black;
  args.background = QColor(0xAF, 0xAF, 0xAF);
  args.collapsible = true;
  CreateWithTitle(args);
  title_ = std::move(title);
  variant_ = variant;
  note_ = std::move(note);
  canvas_->SetImage(std::move(image));
}

void ImageWindow::Report(nlohmann::json& pane) const {
  pane["kind"] = "FigureView";
  pane["title"] = platform::ToQ(title_).toStdString();
  pane["variant"] = variant_ ? nlohmann::json(*variant_) : nlohmann::json(nullptr);
  const QImage& image = canvas_->Image();
  pane["image"] = {image.width(), image.height()};
  pane["note"] = platform::ToQ(note_).toStdString();
}

FigureView::FigureView(MainWindow& main, const ContentDatabase& db)
    : main_(main), db_(db), popup_(&main) {
  FollowLinksInMain(popup_, main);
}

void FigureView::MakeWidgets() {
  // Made when the view is first asked for them, not at start-up.
  if (window_ != nullptr) return;
  window_ = new ImageWindow(&main_);
  buttons_ =
      NewFootnotesBar(main_, "figure-buttons", kNoteCommand, [this](int id) { OnCommand(id); });
}

FigureView::~FigureView() {
  delete window_;
  delete buttons_;
}

bool FigureView::Accept(PageId page, const std::uint8_t*, std::uint32_t) {
  if (!OwnTableTypeIs(db_, page, u"figure")) return false;
  row_ = page;
  MakeWidgets();
  const std::u16string title = PlainTextOf(ShownName(db_, page));
  main_.SetTitle(title);  // the history names the page by it
  main_.AddPane(0, kSideBottom, buttons_);
  main_.AddPane(0, kSideFill, window_);
  LoadedPicture picture = LoadPicture(db_, page);
  note_ = ChildTextOf(NodeCursor(db_, page), u"note");
  window_->SetFigure(title, std::move(picture.image), picture.variant, note_);
  buttons_->ShowButton(kNoteCommand, !note_.empty());
  return true;
}

bool FigureView::OnCommand(int commandId) {
  if (commandId != kNoteCommand || note_.empty()) return false;
  const QRect over(window_->mapTo(&main_, QPoint(0, 0)), window_->size());
  const std::u16string caption =
      ReadableTitles() ? PlainTextOf(ShownName(db_, row_)) : std::u16string();
  return popup_.Show(caption, note_, over.topLeft(), over,
                     FootnotePopup::Placement::kOverWindow);
}

}  // namespace vrok
