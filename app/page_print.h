#pragma once
// Printing the page on screen, on paper or to a PDF file: a record or
// hierarchy page as its document, a grid as a real table with every cell's
// full text, a figure at the variant shown (the best one). Each sheet has
// the page's title, its path and the book's title at the top and its
// number at the bottom; the printout is always dark text on white.

#include <QString>
#include <memory>
#include <string>

class QPrinter;
class QTextDocument;

namespace vrok {

class ReaderApp;

struct Printout {
  QString title;
  QString path;
  QString book;
  std::unique_ptr<QTextDocument> body;
};

// The page on screen as a printout; body is null when the page has nothing
// to print (a list of the reader's own, say).
Printout PrintoutOfPage(ReaderApp& app);

// Lays the printout out on the printer's sheets and prints it. False when
// the printer cannot be drawn on.
bool PrintPrintout(Printout& printout, QPrinter& printer);

// Writes the page on screen to a PDF file. False with a reason when it
// cannot.
bool SavePagePdf(ReaderApp& app, const QString& file, QString& error);

// The script command "print-pdf FILE"; false with a reason when it failed.
bool RunPrintCommand(ReaderApp& app, const std::string& file, std::string& error);

// "Print…" (Ctrl+P) and "Save as PDF…" in the information menu.
void AddPrintMenu(ReaderApp& app);

}  // namespace vrok
