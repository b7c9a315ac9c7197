#pragma once
// Panes with a title on top: the plain title bar (text without markup,
// expandable to its whole text while pressed), the rich title bar (runs
// with links), and the panes that hold them above their content.

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/pages/markup.h"
#include "widgets/rich_text.h"
#include "widgets/screen_report.h"

namespace vrok {

class PictureButton;

// The title arguments given when a pane is created or re-titled.
struct TitleArgs {
  bool show = true;
  std::u16string text;
  QColor textColour = Qt::white;
  int alignment = 0;          // 0 left, 1 centre, 2 right
  std::optional<QFont> font;  // none keeps the current font
  QColor background{175, 175, 175};
  bool collapsible = false;  // one line, the whole text while pressed
};

// The plain title: PlainTextOf the text, in its own bold font unless given one.
class TitleBar : public QWidget {
 public:
  static constexpr int kIndicatorId = 69;
  static constexpr const char* kPaneKind = "TitledPane";

  explicit TitleBar(QWidget* pane);
  void Configure(const TitleArgs& args);
  // 0 when hidden; else the line height times the lines shown.
  int Height() const;
  // The height its pane gives it: with a border above and below.
  int OuterHeight() const { return Height() == 0 ? 0 : Height() + 2; }
  std::string ReportedTitle() const { return text_.toStdString(); }
  const QString& Text() const { return text_; }
  bool Expanded() const { return !collapsed_; }
  bool IndicatorVisible() const;
  // The lines of the whole title at a client width.
  QStringList Lines(int width) const;

  // Takes the current theme's indicator picture.
  void ApplyTheme();

  // Stylus down and up on the title (or its indicator).
  void Press();
  void Release();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int LineHeight() const;
  void PlaceIndicator();
  // The bold font a title has unless it is given one, at the dots per inch
  // of the moment.
  static QFont OwnFont();

  bool show_ = true;
  QString text_;
  QColor textColour_ = Qt::white;
  QColor background_ = Qt::black;  // black until configured
  int alignment_ = 0;
  QFont font_;
  bool ownFont_ = true;
  bool collapsible_ = false;
  bool collapsed_ = true;
  bool pressed_ = false;
  bool indicatorWasVisible_ = false;
  PictureButton* indicator_ = nullptr;
};

// The rich title: runs laid out by RichLabel with the pane's font; a tap on
// a link run goes to the link listener instead of expanding.
class RichTitleBar : public QWidget {
 public:
  static constexpr const char* kPaneKind = "RichTitledPane";

  explicit RichTitleBar(QWidget* pane);
  void Configure(const TitleArgs& args);
  void SetLinkListener(std::function<void(std::uint32_t page)> listener) {
    linkListener_ = std::move(listener);
  }
  int Height() const;
  int OuterHeight() const { return Height(); }
  std::u16string PlainText() const;
  std::string ReportedTitle() const;
  bool Expanded() const { return !collapsed_; }
  // Taps the first link run with that target; false when there is none.
  bool TapLink(std::uint32_t target);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void LayOut();
  std::vector<TextLine> Lines(std::size_t maxLines) const;

  bool show_ = true;
  std::u16string markup_;
  std::unique_ptr<RichLabel> label_;
  QColor textColour_ = Qt::white;
  QColor background_ = Qt::black;
  int alignment_ = 0;
  FontSpec font_ = PageFontSpec();
  bool ownFont_ = true;  // no font given yet: the page font
  bool collapsible_ = false;
  bool collapsed_ = true;
  bool pressed_ = false;
  QtMeasurer measurer_;
  QPixmap drawn_;
  std::vector<LinkBox> links_;
  std::function<void(std::uint32_t)> linkListener_;
};

// A pane with a title bar of kind Bar above its content. The content is
// laid out below the title by LayOutContent, which derived panes override;
// a single content widget set with SetContent fills the area by default.
template <class Bar>
class TitledPaneOf : public QWidget, public ReportedPane {
 public:
  explicit TitledPaneOf(QWidget* parent) : QWidget(parent), title_(new Bar(this)) {}

  // Moves to the rectangle when one is given and not empty, then titles.
  void CreateWithTitle(const TitleArgs& args, std::optional<QRect> rect = std::nullopt) {
    if (rect && !rect->isEmpty()) {
      setGeometry(*rect);
      update();
    }
    title_->Configure(args);
    Arrange();
  }
  Bar& Title() { return *title_; }
  const Bar& Title() const { return *title_; }
  void SetContent(QWidget* content) {
    content_ = content;
    Arrange();
  }
  void Report(nlohmann::json& pane) const override {
    pane["kind"] = Bar::kPaneKind;
    pane["title"] = title_->ReportedTitle();
    if (const auto* inner = dynamic_cast<const ReportedPane*>(content_)) inner->Report(pane);
  }

 protected:
  void resizeEvent(QResizeEvent*) override { Arrange(); }
  virtual void LayOutContent(QRect area) {
    if (content_ != nullptr) content_->setGeometry(area);
  }
  // The title at the top, full width; the content below it.
  void Arrange() {
    const int h = title_->OuterHeight();
    title_->setVisible(h > 0);
    title_->setGeometry(0, 0, width(), h);
    LayOutContent(QRect(0, h, width(), height() - h));
  }

 private:
  Bar* title_ = nullptr;
  QWidget* content_ = nullptr;
};

// With a plain title: the base of the list panes.
class TitledPane : public TitledPaneOf<TitleBar> {
 public:
  using TitledPaneOf::TitledPaneOf;
};

// With a rich title (the base of the HTML pane).
class RichTitledPane : public TitledPaneOf<RichTitleBar> {
 public:
  using TitledPaneOf::TitledPaneOf;
};

// A white background, so that the panes or the page under a window do not
// show through.
void UseWhiteBackground(QWidget& widget);

}  // namespace vrok
