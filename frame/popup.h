#pragma once
// Pop-ups over the current page: footnotes, single footnote references,
// figure notes and short texts. PopupHtmlDialog is the modal window itself
// (dialog 1005: a caption with OK, and an HTML viewer, control 1001, filling
// the rest); FootnotePopup sizes it from the measured text and tells its
// listener which page a tapped link leads to.

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

#include "core/navigation/page_view.h"
#include "core/pages/markup.h"
#include "widgets/rich_text.h"

class QLabel;
class QPushButton;

namespace vrok {

class ContentDatabase;
class MainWindow;

class ViewerControl;

class PopupHtmlDialog : public QDialog {
 public:
  // The dialog is drawn inside the owner's top-level window (the screen).
  explicit PopupHtmlDialog(QWidget* owner);

  using Done = std::function<void(std::int32_t page)>;
  // Opens the pop-up over the owner: covering it when placement is empty,
  // else with placement's size centred on it. done hears the page id of a
  // tapped link, or -1 when OK closed it; for a person the pop-up runs
  // modally and done is called before Open returns, in automated runs it
  // stays open until answered. False, changing nothing, when it is open.
  bool Open(const QRect& placement, const std::u16string& caption, const std::u16string& body,
            Done done = {});
  // For the next opening: works the placement out again whenever the owner
  // changes size while the pop-up is open (without one, the placement given
  // to Open is kept). Closing forgets it.
  void SetReplacement(std::function<QRect()> placement) { replacement_ = std::move(placement); }
  // Runs the pop-up to its end: the tapped page id, or -1 after OK, or -1
  // at once when the pop-up is already open.
  std::int32_t Show(const QRect& placement, const std::u16string& caption,
                    const std::u16string& body);

  bool IsOpen() const { return open_; }
  // The part after "#" of the last tapped link.
  const std::u16string& Anchor() const { return anchor_; }
  const std::u16string& Caption() const { return caption_; }
  // The exact document given to the viewer.
  const std::u16string& Html() const { return html_; }
  ViewerControl& Viewer() const { return *viewer_; }
  // Text for the "Copy" button (and Ctrl+C) of the next opening; the
  // button shows only while there is one, and closing forgets it.
  void SetCopyText(std::u16string text);
  // Puts the copy text on the clipboard; false when there is none.
  bool CopyToClipboard();
  // caption, html and geometry, for the screen report.
  nlohmann::json Report() const;

  // The pop-up open now, if any.
  static PopupHtmlDialog* Shown();

  void done(int result) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LinkTapped(const std::u16string& href);
  void Arrange();
  // Sizes and places the dialog over the owner for a placement (see Open).
  void Place(const QRect& placement);

  QWidget* owner_;
  QLabel* captionLabel_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* copy_ = nullptr;
  std::u16string copyText_;
  ViewerControl* viewer_ = nullptr;
  std::u16string caption_;
  std::u16string html_;
  std::u16string anchor_;
  std::int32_t tapped_ = -1;
  bool open_ = false;
  Done done_;
  QRect placement_;
  std::function<QRect()> replacement_;
};

// The pop-up of one page view: measures the text with the page font,
// works out a rectangle that fits the owner's area, and opens the dialog.
class FootnotePopup {
 public:
  enum class Placement { kAtPoint, kOverWindow };

  explicit FootnotePopup(QWidget* owner);
  ~FootnotePopup();
  FootnotePopup(const FootnotePopup&) = delete;
  FootnotePopup& operator=(const FootnotePopup&) = delete;

  // The page font (the default) follows the text size of the moment.
  void SetFont(const FontSpec& font) {
    const FontSpec page = PageFontSpec();
    followPage_ = font.face == page.face && font.height == page.height;
    font_ = font;
  }
  // Hears the page (and anchor) of a link tapped in the pop-up.
  void SetListener(std::function<void(PageId page, const std::u16string& anchor)> listener) {
    listener_ = std::move(listener);
  }

  // Opens the pop-up with the title as caption and the text as body, near
  // the point (kAtPoint) or over the window rectangle (kOverWindow), both
  // in the owner's coordinates. False when a pop-up is already open.
  bool Show(const std::u16string& title, const std::u16string& text, QPoint point, QRect window,
            Placement mode);

  // The rectangle the pop-up gets, in the owner's coordinates: the text's
  // natural size plus a caption and borders, wrapped to the available area
  // when wider, and kept inside that area: the owner's rectangle less
  // (L + 48) / 96 plus a border at the right and the bottom.
  QRect PopupRect(const std::u16string& text, QPoint point, QRect window, Placement mode) const;

  // Shows a pop-up of a page view whose owner is the main window: over the
  // page's pane, or at the last stylus point.
  bool ShowFromPage(const std::u16string& title, const std::u16string& text, MainWindow& main,
                    const QWidget& pane, bool overPane);
  // A link to a "footnotes" row (all its footnotes, over the pane), a
  // "footnote" or a "popup" row (at the last stylus point) opens the pop-up
  // instead of a page; false, showing nothing, for any other page.
  bool ShowForLink(const ContentDatabase& db, PageId page, MainWindow& main, const QWidget& pane);
  QRect AvailableArea() const;
  QRect LastPlacement() const { return last_; }
  PopupHtmlDialog& Dialog() { return *MadeDialog(); }

 private:
  // The dialog, made at first use (most pages never open one, and a
  // viewer costs a good part of start-up); null once the screen deleted it.
  PopupHtmlDialog* MadeDialog();

  QWidget* owner_;
  // A child of the owner's screen, which may delete it first at exit.
  QPointer<PopupHtmlDialog> dialog_;
  bool made_ = false;
  FontSpec font_;
  bool followPage_ = true;
  QRect last_;
  std::function<void(PageId, const std::u16string&)> listener_;
};

}  // namespace vrok
