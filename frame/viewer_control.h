#pragma once
// The HTML viewer: a QTextBrowser that takes a whole page at once, reports
// link taps with the link's raw HREF text (it never follows a link itself),
// asks its page source for every picture, jumps to named anchors, and
// scrolls to a position the way the pages expect (two cancelling line
// scrolls after the position is set).

#include <QTextBrowser>
#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "widgets/screen_report.h"

namespace vrok {

class PageSource;

class ViewerControl : public QTextBrowser, public LinkTarget {
 public:
  explicit ViewerControl(QWidget* parent);

  // Where pictures come from; null answers every request with no picture.
  void SetPageSource(PageSource* source) { source_ = source; }
  // Told the raw HREF of every tapped link.
  void SetLinkListener(std::function<void(const std::u16string& href)> listener) {
    linkListener_ = std::move(listener);
  }
  // Told every picture request (source text, cookie) before the page source
  // answers it.
  void SetImageListener(std::function<void(const std::u16string& source, std::uint32_t cookie)> l) {
    imageListener_ = std::move(l);
  }

  // Lays the document out with drawing off meanwhile. A long one is taken
  // in pieces: the first at once, the rest appended from the event loop a
  // few milliseconds at a time, so that the first screen shows early.
  void ShowHtml(const std::u16string& html);
  // Appends the pieces still waiting, at once. Whatever needs the whole
  // document (anchors, links, find in page, printing) calls it first.
  void FinishLoading();
  // True while pieces of the document are still waiting.
  bool Loading() const { return nextPiece_ < pieces_.size(); }
  // Piece sizes in characters: the first and each later one. A document
  // shorter than twice the first is shown whole. 0 turns pieces off.
  void SetPieceSizes(std::size_t first, std::size_t next) {
    firstPiece_ = first;
    laterPieces_ = next;
  }
  // Empties the viewer.
  void Clear();
  // The exact document last given (empty after Clear).
  const std::u16string& Document() const { return document_; }
  void JumpToAnchor(const std::u16string& name);

  int ScrollPosition() const;
  enum class LineScroll { kDown, kUp };
  // Sets the vertical position, then scrolls one line each way: down then
  // up for positions up to 30, up then down from 31. The position ends at
  // p (or the end of the document when p lies beyond it).
  void SetScrollPosition(int p);
  // The two line scrolls of the last SetScrollPosition, in order.
  const std::vector<LineScroll>& LastLineScrolls() const { return lineScrolls_; }

  // Picture requests answered so far, and how many of them got a picture.
  int ImageRequests() const { return imageRequests_; }
  int ImagesShown() const { return imagesShown_; }
  // The HREF of the link that Tab has moved the focus to, or empty.
  QString FocusedLink() const;

  // The raw HREF of every link in the document, in document order.
  std::vector<std::u16string> Links();
  // A tap on the first link with exactly this HREF; false when the
  // document has none.
  bool TapLink(const std::u16string& href) override;

 protected:
  QVariant loadResource(int type, const QUrl& name) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void LinkTapped(const std::u16string& href);
  // Delivers the resize a hidden viewer has not yet heard of, on an empty
  // document.
  void TakePendingResize();
  // Hears now of a pending resize that leaves the page's width as laid out.
  void SettleResize();
  // Appends waiting pieces until they run out or budgetMs have passed
  // (no limit when negative).
  void AppendPieces(int budgetMs);
  // The furthest scroll position within what has been appended so far.
  int LoadedEnd() const;

  PageSource* source_ = nullptr;
  std::function<void(const std::u16string&)> linkListener_;
  std::function<void(const std::u16string&, std::uint32_t)> imageListener_;
  std::u16string document_;
  std::vector<std::u16string> pieces_;  // the document's pieces while it loads
  std::size_t nextPiece_ = 0;
  bool trailingBlock_ = false;  // the empty paragraph the pieces go in front of
  std::size_t firstPiece_ = 16000;
  std::size_t laterPieces_ = 8000;
  QTimer* pieceTimer_ = nullptr;
  std::vector<LineScroll> lineScrolls_;
  QString pressedHref_;
  std::uint32_t nextCookie_ = 1;
  int imageRequests_ = 0;
  int imagesShown_ = 0;
};

}  // namespace vrok
