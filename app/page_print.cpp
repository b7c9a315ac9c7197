#include "app/page_print.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolBar>

#include "app/command_bar.h"
#include "app/reader_app.h"
#include "app/shell_view.h"
#include "core/pages/markup.h"
#include "core/userdata/user_data_export.h"
#include "frame/html_pane.h"
#include "frame/main_window.h"
#include "frame/viewer_control.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "views/pages/figure_view.h"
#include "views/pages/grid_view.h"
#include "widgets/screen_report.h"

namespace vrok {

namespace {

QString Escaped(const std::u16string& text) { return platform::ToQ(text).toHtmlEscaped(); }

// Dark text on white whatever the screen's colours.
void MakeLight(QTextDocument& doc) {
  doc.setDefaultStyleSheet(QStringLiteral("body { color: black; background: white; }"));
  QTextCursor all(&doc);
  all.select(QTextCursor::Document);
  QTextCharFormat ink;
  ink.setForeground(Qt::black);
  // No ligatures, so that text copied or extracted from the PDF reads as written.
  ink.setFontStyleStrategy(QFont::PreferNoShaping);
  all.mergeCharFormat(ink);
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    QTextCursor c(b);
    QTextBlockFormat f = b.blockFormat();
    f.clearBackground();
    c.setBlockFormat(f);
  }
}

std::unique_ptr<QTextDocument> GridDocument(GridModel& model) {
  QString html =
      QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">");
  for (std::uint32_t r = 0; r < model.RowCount(); ++r) {
    html += QStringLiteral("<tr>");
    for (std::uint32_t c = 0; c < model.ColumnCount(); ++c) {
      const QString cell =
          Escaped(PlainTextOf(model.Cell(r, c))).replace(u'\n', QStringLiteral("<br>"));
      html += r == 0 ? QStringLiteral("<th>") + cell + QStringLiteral("</th>")
                     : QStringLiteral("<td>") + cell + QStringLiteral("</td>");
    }
    html += QStringLiteral("</tr>");
  }
  html += QStringLiteral("</table>");
  auto doc = std::make_unique<QTextDocument>();
  doc->setHtml(html);
  return doc;
}

std::unique_ptr<QTextDocument> FigureDocument(const QImage& image, const std::u16string& note) {
  auto doc = std::make_unique<QTextDocument>();
  doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("figure")), image);
  // A picture wider than a sheet is scaled down to its width (at 96 dots per inch).
  constexpr int kSheetWidth = 680;
  QString html = image.width() > kSheetWidth
                     ? QStringLiteral("<p><img src=\"figure\" width=\"%1\"></p>").arg(kSheetWidth)
                     : QStringLiteral("<p><img src=\"figure\"></p>");
  if (!note.empty())
    html += QStringLiteral("<p>") + Escaped(PlainTextOf(note)) + QStringLiteral("</p>");
  doc->setHtml(html);
  return doc;
}

}  // namespace

Printout PrintoutOfPage(ReaderApp& app) {
  Printout p;
  MainWindow& main = *app.Main();
  const ContentDatabase& db = *app.Database();
  p.title = platform::ToQ(PlainTextOf(main.Title()));
  p.book = platform::ToQ(BookTitle(db));
  if (main.CurrentPage() < db.RowCount()) {
    QStringList path;
    for (const auto& t : PathOfRow(db, main.CurrentPage())) path << platform::ToQ(t);
    p.path = path.join(QStringLiteral(" \u203A "));
  }
  const auto panes = main.PagePanes();
  for (const auto& r : panes) {
    if (!r.window->isVisible()) continue;
    if (dynamic_cast<GridWindow*>(r.window) && app.Grids()) {
      p.body = GridDocument(app.Grids()->Model());
      break;
    }
    if (auto* figure = dynamic_cast<ImageWindow*>(r.window); figure && app.Figures()) {
      p.body = FigureDocument(figure->Canvas().Image(), app.Figures()->Note());
      break;
    }
  }
  if (!p.body) {
    // The document of the page's largest HTML pane.
    const HtmlPane* best = nullptr;
    const auto consider = [&best](QWidget* w) {
      const auto* pane = dynamic_cast<const HtmlPane*>(w);
      if (pane && pane->isVisible() &&
          (!best || pane->width() * pane->height() > best->width() * best->height()))
        best = pane;
    };
    for (const auto& r : panes) {
      consider(r.window);
      for (QWidget* child : r.window->findChildren<QWidget*>()) consider(child);
    }
    if (best) {
      best->Viewer().FinishLoading();
      p.body.reset(best->Viewer().document()->clone());
    }
  }
  if (!p.body) {
    // A tree or a list: its entries as the pane reports them, indented by depth.
    QString html;
    for (const auto& r : panes) {
      const auto* reported = dynamic_cast<const ReportedPane*>(r.window);
      if (!reported || !r.window->isVisible()) continue;
      nlohmann::json pane;
      reported->Report(pane);
      if (pane.contains("items") && pane["items"].is_array()) {
        for (const auto& item : pane["items"]) {
          if (!item.is_object() || !item.contains("label")) continue;
          const int depth = item.value("depth", 0);
          html += QStringLiteral("<p style=\"margin-left:%1em\">").arg(1.5 * depth) +
                  QString::fromStdString(item["label"].get<std::string>()).toHtmlEscaped() +
                  QStringLiteral("</p>");
        }
      } else if (pane.contains("rows") && pane["rows"].is_array()) {
        for (const auto& row : pane["rows"])
          if (row.is_string())
            html += QStringLiteral("<p>") +
                    QString::fromStdString(row.get<std::string>()).toHtmlEscaped() +
                    QStringLiteral("</p>");
      }
    }
    if (!html.isEmpty()) {
      p.body = std::make_unique<QTextDocument>();
      p.body->setHtml(html);
    }
  }
  if (p.body) MakeLight(*p.body);
  return p;
}

bool PrintPrintout(Printout& printout, QPrinter& printer) {
  if (!printout.body) return false;
  QPainter painter(&printer);
  if (!painter.isActive()) return false;
  const QRectF sheet = printer.pageRect(QPrinter::DevicePixel);
  const QRectF area(0, 0, sheet.width(), sheet.height());
  QFont headFont = painter.font();
  headFont.setPointSizeF(9);
  headFont.setStyleStrategy(QFont::PreferNoShaping);
  painter.setFont(headFont);
  const int line = painter.fontMetrics().height();
  const qreal head = 3 * line + line / 2, foot = 2 * line;
  QTextDocument& doc = *printout.body;
  doc.documentLayout()->setPaintDevice(&printer);
  doc.setPageSize(QSizeF(area.width(), area.height() - head - foot));
  const int pages = std::max(1, doc.pageCount());
  const qreal bodyH = area.height() - head - foot;
  for (int i = 0; i < pages; ++i) {
    if (i > 0) printer.newPage();
    painter.setPen(Qt::black);
    QFont bold = headFont;
    bold.setBold(true);
    painter.setFont(bold);
    painter.drawText(QRectF(0, 0, area.width(), line), Qt::AlignLeft, printout.title);
    painter.setFont(headFont);
    painter.drawText(QRectF(0, line, area.width(), line), Qt::AlignLeft, printout.path);
    painter.drawText(QRectF(0, 2 * line, area.width(), line), Qt::AlignLeft, printout.book);
    painter.drawLine(QPointF(0, head - line / 4.0), QPointF(area.width(), head - line / 4.0));
    painter.drawText(QRectF(0, area.height() - line, area.width(), line), Qt::AlignHCenter,
                     QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
    painter.save();
    painter.translate(0, head - i * bodyH);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, i * bodyH, area.width(), bodyH);
    context.palette.setColor(QPalette::Text, Qt::black);
    painter.setClipRect(context.clip);
    doc.documentLayout()->draw(&painter, context);
    painter.restore();
  }
  return true;
}

bool SavePagePdf(ReaderApp& app, const QString& file, QString& error) {
  Printout printout = PrintoutOfPage(app);
  if (!printout.body) {
    error = QStringLiteral("this page has nothing to print");
    return false;
  }
  QPrinter printer(QPrinter::ScreenResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(file);
  printer.setDocName(printout.title);
  if (!PrintPrintout(printout, printer)) {
    error = QStringLiteral("cannot write ") + file;
    return false;
  }
  return true;
}

bool RunPrintCommand(ReaderApp& app, const std::string& file, std::string& error) {
  if (file.empty()) {
    error = "print-pdf needs a file name";
    return false;
  }
  QString why;
  if (SavePagePdf(app, QString::fromStdString(file), why)) return true;
  error = why.toStdString();
  return false;
}

void AddPrintMenu(ReaderApp& app) {
  QMenu* menu = app.Shell()->Commands().MenuBar()->findChild<QMenu*>(
      QString::number(commands::kMenu) + QStringLiteral("-menu"));
  if (menu == nullptr) return;
  QWidget* owner = app.Main();
  const auto print = [&app, owner] {
    Printout printout = PrintoutOfPage(app);
    if (!printout.body) return;
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, owner);
    if (dialog.exec() == QDialog::Accepted) PrintPrintout(printout, printer);
  };
  QAction* printAction = menu->addAction(QStringLiteral("Print\u2026"));
  printAction->setObjectName(QStringLiteral("print"));
  QObject::connect(printAction, &QAction::triggered, menu, print);
  auto* key = new QShortcut(QKeySequence::Print, app.Screen());
  QObject::connect(key, &QShortcut::activated, app.Screen(), print);
  QAction* pdf = menu->addAction(QStringLiteral("Save as PDF\u2026"));
  pdf->setObjectName(QStringLiteral("save-pdf"));
  QObject::connect(pdf, &QAction::triggered, menu, [&app, owner] {
    const QString file =
        QFileDialog::getSaveFileName(owner, QStringLiteral("Save as PDF"),
                                     QStringLiteral("page.pdf"), QStringLiteral("PDF (*.pdf)"));
    QString error;
    if (!file.isEmpty()) SavePagePdf(app, file, error);
  });
}

}  // namespace vrok
