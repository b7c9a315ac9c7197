#include "views/search/search_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "content/hex.h"
#include "content/utf8.h"
#include "core/navigation/page_names.h"
#include "core/pages/link_target.h"
#include "core/search/search_text.h"
#include "frame/find_bar.h"
#include "frame/main_window.h"
#include "frame/popup.h"
#include "frame/viewer_control.h"
#include "platform/qt/environment.h"
#include "widgets/panel_style.h"
#include "platform/qt/theme.h"

namespace vrok {

namespace {

QString Escaped(std::u16string_view text) {
  return platform::ToQ(std::u16string(text)).toHtmlEscaped();
}

// The snippet as HTML with its matched words in bold.
QString SnippetHtml(const search::SearchHit& hit) {
  QString html;
  std::size_t at = 0;
  for (const auto& [begin, end] : hit.bold) {
    if (begin < at || end > hit.snippet.size()) continue;
    html += Escaped(std::u16string_view(hit.snippet).substr(at, begin - at));
    html += QStringLiteral("<b>") +
            Escaped(std::u16string_view(hit.snippet).substr(begin, end - begin)) +
            QStringLiteral("</b>");
    at = end;
  }
  html += Escaped(std::u16string_view(hit.snippet).substr(at));
  return html;
}

}  // namespace

SearchPage::SearchPage(QWidget* parent, search::IndexService& index)
    : QWidget(parent), index_(index) {
  setObjectName(QStringLiteral("book-search"));
  UseScreenFont(*this);
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, platform::CurrentColours().page);
  setPalette(colours);

  box_ = new QLineEdit(this);
  box_->setObjectName(QStringLiteral("search-box"));
  box_->setPlaceholderText(QStringLiteral("Search the book"));
  box_->setClearButtonEnabled(true);
  QObject::connect(box_, &QLineEdit::textChanged, this, [this](const QString& text) {
    query_ = platform::FromQ(text);
    Run();
  });
  QObject::connect(box_, &QLineEdit::returnPressed, this, [this] { TapRow(0); });

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("search-status"));
  status_->setWordWrap(true);
  status_->setTextFormat(Qt::RichText);
  QObject::connect(status_, &QLabel::linkActivated, this, [this](const QString&) {
    if (answer_.suggestion) box_->setText(platform::ToQ(*answer_.suggestion));
  });

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("search-progress"));
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  progress_->hide();

  results_ = new QTextBrowser(this);
  results_->setObjectName(QStringLiteral("search-results"));
  results_->setOpenLinks(false);
  results_->setFrameShape(QFrame::NoFrame);
  QObject::connect(results_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    bool ok = false;
    const int n = url.toString().toInt(&ok);
    if (ok) TapRow(n);
  });

  poll_ = new QTimer(this);
  poll_->setInterval(100);
  QObject::connect(poll_, &QTimer::timeout, this, [this] { Poll(); });
  hide();
}

void SearchPage::SetQuery(const std::u16string& text) {
  query_ = text;
  const QSignalBlocker quiet(box_);
  box_->setText(platform::ToQ(text));
}

void SearchPage::Poll() {
  const search::IndexState state = index_.State();
  if (state == search::IndexState::kBuilding) {
    progress_->setValue(static_cast<int>(index_.Progress() * 100));
    return;
  }
  poll_->stop();
  Run();
}

void SearchPage::Run() {
  index_.Start();
  const search::IndexState state = index_.State();
  progress_->setVisible(state == search::IndexState::kBuilding);
  if (state == search::IndexState::kBuilding) {
    if (!poll_->isActive()) poll_->start();
    answer_ = {};
    status_->setText(QStringLiteral("Building the search index\u2026"));
    results_->clear();
    LayOut();
    return;
  }
  if (state == search::IndexState::kUnavailable) {
    answer_ = {};
    status_->setText(QStringLiteral("Search is not available: the index cannot be built."));
    results_->clear();
    LayOut();
    return;
  }
  const search::SearchAnswer answer = index_.Query(query_, 20);
  // A damaged index found by the query is being built again.
  if (!answer.ok && index_.State() == search::IndexState::kBuilding) {
    Run();
    return;
  }
  Show(answer);
}

void SearchPage::Show(const search::SearchAnswer& answer) {
  answer_ = answer;
  QString status;
  const bool typed = !search::KeyText(query_).empty();
  if (answer.suggestion && answer.corrected) {
    status = QStringLiteral("No results for \u201C%1\u201D. Showing results for <b>%2</b>.")
                 .arg(Escaped(query_), Escaped(*answer.suggestion));
  } else if (answer.hits.empty() && typed) {
    status = QStringLiteral("No results for \u201C%1\u201D.").arg(Escaped(query_));
    if (answer.suggestion)
      status +=
          QStringLiteral(" Did you mean <a href='s'>%1</a>?").arg(Escaped(*answer.suggestion));
  } else if (answer.suggestion) {
    status = QStringLiteral("Did you mean <a href='s'>%1</a>?").arg(Escaped(*answer.suggestion));
  } else if (typed) {
    status = answer.total == 1 ? QStringLiteral("1 result")
                               : QStringLiteral("%1 results").arg(answer.total);
  }
  status_->setText(status);
  QString html;
  for (std::size_t i = 0; i < answer.hits.size(); ++i) {
    const search::SearchHit& hit = answer.hits[i];
    QString path;
    for (const std::u16string& p : hit.path)
      path += (path.isEmpty() ? QString() : QStringLiteral(" \u203A ")) + Escaped(p);
    html += QStringLiteral(
                "<p style='margin-top:6px; margin-bottom:0'>"
                "<a href='%1' style='text-decoration:none; font-weight:bold'>%2</a>")
                .arg(i)
                .arg(Escaped(hit.title));
    if (!hit.section.empty())
      html += QStringLiteral(" <span style='color:%2'>\u203A %1</span>")
                  .arg(Escaped(hit.section), platform::Themed(QColor(0x44, 0x55, 0x66)).name());
    if (!path.isEmpty())
      html +=
          QStringLiteral("<br><span style='color:%2; font-size:small'>%1</span>")
              .arg(path, platform::Themed(QColor(0x66, 0x77, 0x88)).name());
    if (!hit.snippet.empty())
      html += QStringLiteral("<br><span style='color:%2'>%1</span>")
                  .arg(SnippetHtml(hit), platform::Themed(QColor(0x33, 0x33, 0x33)).name());
    html += QStringLiteral("</p>");
  }
  results_->setHtml(html);
  LayOut();
}

bool SearchPage::TapRow(int row) {
  if (row < 0 || row >= static_cast<int>(answer_.hits.size()) || !open_) return false;
  open_(answer_.hits[static_cast<std::size_t>(row)]);
  return true;
}

void SearchPage::Report(nlohmann::json& pane) const {
  pane["kind"] = "SearchResults";
  pane["query"] = ToUtf8(query_);
  switch (index_.State()) {
    case search::IndexState::kReady:
      pane["state"] = "ready";
      break;
    case search::IndexState::kBuilding:
      pane["state"] = "building";
      break;
    case search::IndexState::kUnavailable:
      pane["state"] = "unavailable";
      break;
  }
  pane["total"] = answer_.total;
  pane["suggestion"] =
      answer_.suggestion ? nlohmann::json(ToUtf8(*answer_.suggestion)) : nlohmann::json(nullptr);
  pane["corrected"] = answer_.corrected;
  nlohmann::json results = nlohmann::json::array();
  for (const search::SearchHit& hit : answer_.hits) {
    if (results.size() >= 20) break;
    nlohmann::json path = nlohmann::json::array();
    for (const std::u16string& p : hit.path) path.push_back(ToUtf8(p));
    results.push_back({{"page", hit.page},
                       {"page_data", ToHex(hit.data)},
                       {"title", ToUtf8(hit.title)},
                       {"path", path},
                       {"section", hit.section.empty() ? nlohmann::json(nullptr)
                                                       : nlohmann::json(ToUtf8(hit.section))},
                       {"snippet", ToUtf8(hit.snippet)}});
  }
  pane["results"] = results;
}

void SearchPage::resizeEvent(QResizeEvent*) { LayOut(); }

// The box at the top, the status (and the progress bar while building)
// under it, the results filling the rest.
void SearchPage::LayOut() {
  const int margin = platform::ScaleX(4);
  const int w = std::max(0, width() - 2 * margin);
  int y = margin;
  const int boxHeight = std::max(box_->sizeHint().height(), platform::ScaleY(20));
  box_->setGeometry(margin, y, w, boxHeight);
  y += boxHeight + margin;
  if (!progress_->isHidden()) {
    progress_->setGeometry(margin, y, w, platform::ScaleY(8));
    y += platform::ScaleY(8) + margin;
  }
  if (!status_->text().isEmpty()) {
    const int h = status_->heightForWidth(w);
    status_->setGeometry(margin, y, w, std::max(h, status_->sizeHint().height()));
    status_->show();
    y += status_->height() + margin / 2;
  } else {
    status_->hide();
  }
  results_->setGeometry(0, y, width(), std::max(0, height() - y));
}

// --- SearchView ---------------------------------------------------------------

SearchView::SearchView(MainWindow& main, const ContentDatabase& db, PageNameMap& names,
                       const std::string& prefix)
    : main_(main),
      names_(names),
      index_(std::make_unique<search::IndexService>(db, prefix, search::DefaultCacheFolder())) {}

SearchPage& SearchView::Page() {
  // The page and the find bar are made when first asked for, not at start-up.
  if (page_ != nullptr) return *page_;
  page_ = new SearchPage(&main_, *index_);
  // A result opens at its first match, every match highlighted, with the
  // find bar open on the query (or, when the words do not stand together
  // on the page, on the first of them found there).
  page_->SetOpener([this](const search::SearchHit& hit) {
    const QString query = page_->Box().text().trimmed();
    main_.Navigate(hit.page, hit.data.empty() ? nullptr : hit.data.data(),
                   static_cast<std::uint32_t>(hit.data.size()), true);
    if (query.isEmpty() || !FindInPage(query) || find_->Matches() > 0) return;
    for (const QString& word : query.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      FindInPage(word);
      if (find_->Matches() > 0) return;
    }
    FindInPage(query);
  });
  return *page_;
}

FindBar& SearchView::Find() {
  if (find_ == nullptr) find_ = new FindBar(main_);
  return *find_;
}

bool SearchView::CloseFind() {
  if (find_ == nullptr || !find_->isVisible()) return false;
  find_->Close();
  return true;
}

SearchView::~SearchView() {
  delete find_;
  delete page_;
}

bool SearchView::FindInPage(const QString& text) {
  QTextEdit* viewer = nullptr;
  if (PopupHtmlDialog* popup = PopupHtmlDialog::Shown())
    viewer = popup->findChild<ViewerControl*>();
  for (const auto& pane : main_.PagePanes()) {
    if (viewer != nullptr) break;
    for (ViewerControl* v : pane.window->findChildren<ViewerControl*>())
      if (v->isVisible()) {
        viewer = v;
        break;
      }
    if (auto* v = dynamic_cast<ViewerControl*>(pane.window); v != nullptr && viewer == nullptr)
      viewer = v;
  }
  if (viewer == nullptr) return false;
  Find().OpenFor(viewer, text);
  return true;
}

bool SearchView::Accept(PageId page, const std::uint8_t* data, std::uint32_t length) {
  // Every navigation passes here (this view is asked last): the find bar
  // belongs to the page it was opened on.
  if (find_ != nullptr && !find_->isHidden()) find_->Close();
  if (page != names_[pages::kBookSearch]) return false;
  pending_ = data != nullptr && length > 0 ? NavigationText(data, length) : std::u16string();
  main_.AddPane(0, kSideFill, &Page());
  main_.SetTitle(u"Search the book");
  return true;
}

void SearchView::Show() {
  page_->SetQuery(pending_);
  page_->Run();
  page_->Box().setFocus();
  page_->Box().end(false);
}

void SearchView::Refresh() {
  if (page_ != nullptr && page_->isVisible()) page_->Run();
}

void SearchView::Open(const std::u16string& query) {
  std::u16string text = query;
  text.push_back(u'\0');
  main_.Navigate(names_[pages::kBookSearch], reinterpret_cast<const std::uint8_t*>(text.data()),
                 static_cast<std::uint32_t>(text.size() * 2), true);
}

}  // namespace vrok
