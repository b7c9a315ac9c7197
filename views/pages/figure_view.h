#pragma once
// Figures shown on their own: the figure's picture in a pannable image
// window under its title, and a button bar whose note button (command
// 1001) opens the figure's note in a pop-up. Takes every row whose own
// table type is "figure".

#include <QAbstractScrollArea>
#include <QImage>
#include <optional>
#include <string>

#include "content/content_database.h"
#include "core/navigation/page_view.h"
#include "frame/popup.h"
#include "platform/qt/fonts.h"
#include "widgets/title_bar.h"

namespace vrok {

class ButtonBar;
class MainWindow;

// The picture at a scroll offset on white; dragging pans it, the scroll
// bars scroll it. Without a picture the window is empty.
class ImageCanvas : public QAbstractScrollArea {
 public:
  explicit ImageCanvas(QWidget* parent);
  void SetImage(QImage image);
  const QImage& Image() const { return image_; }
  QPoint Offset() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void UpdateRanges();

  QImage image_;
  std::optional<QPoint> dragFrom_;
};

// The image window: the plain title above the canvas.
class ImageWindow : public TitledPane {
 public:
  explicit ImageWindow(QWidget* parent);
  ImageCanvas& Canvas() const { return *canvas_; }
  void SetFigure(std::u16string title, QImage image, std::optional<std::size_t> variant,
                 std::u16string note);
  void Report(nlohmann::json& pane) const override;

 private:
  ImageCanvas* canvas_ = nullptr;
  std::u16string title_;
  std::optional<std::size_t> variant_;
  std::u16string note_;
};

class FigureView : public PageView {
 public:
  static constexpr int kNoteCommand = 1001;

  FigureView(MainWindow& main, const ContentDatabase& db);
  ~FigureView() override;

  bool Accept(PageId page, const std::uint8_t* data, std::uint32_t length) override;
  void Show() override {}

  // Command 1001 opens the note; other commands are not the view's.
  bool OnCommand(int commandId);

  ImageWindow& Window() {
    MakeWidgets();
    return *window_;
  }
  ButtonBar& Buttons() {
    MakeWidgets();
    return *buttons_;
  }
  FootnotePopup& Popup() { return popup_; }
  const std::u16string& Note() const { return note_; }

 private:
  void MakeWidgets();

  MainWindow& main_;
  const ContentDatabase& db_;
  platform::PageFontUse font_;
  ImageWindow* window_ = nullptr;
  ButtonBar* buttons_ = nullptr;
  FootnotePopup popup_;
  std::u16string note_;
  RowIndex row_ = 0;
};

}  // namespace vrok
