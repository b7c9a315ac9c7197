// "print-pdf" through "vrok --script": the PDF of a record page and of a
// grid, read back with pdftotext. A grid prints as a table with every
// cell's whole text, never cut short with "…".

#include <gtest/gtest.h>

#include <QProcess>
#include <algorithm>
#include <cctype>

#include "content/content_database.h"
#include "content/schema.h"
#include "content/utf8.h"
#include "core/pages/grid_model.h"
#include "core/pages/markup.h"
#include "core/pages/page_text.h"
#include "shell/reader_fixture.h"

namespace vrok::test {
namespace {

// The text of a PDF, as pdftotext gives it, with every run of white space
// turned into one space.
std::string PdfText(const std::string& pdf, bool layout) {
  QProcess p;
  QStringList args;
  if (layout) args << QStringLiteral("-layout");
  args << QString::fromStdString(pdf) << QStringLiteral("-");
  p.start(QStringLiteral("pdftotext"), args);
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  std::string text = p.readAllStandardOutput().toStdString();
  std::string out;
  for (const char c : text) {
    const bool space = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (!space)
      out += c;
    else if (!out.empty() && out.back() != ' ')
      out += ' ';
  }
  return out;
}

// The first row with that field and text (and, when given, a parent with that text).
std::uint32_t RowWithText(const ContentDatabase& db, std::u16string_view field,
                          std::u16string_view text, std::u16string_view parent = {}) {
  NodeRow r;
  for (std::uint32_t row = 0; row < db.RowCount(); ++row)
    if (FieldIs(db, row, field) && TextOf(db, row) == text &&
        (parent.empty() || (db.ReadRow(row, r) && TextOf(db, r.parent) == parent)))
      return row;
  ADD_FAILURE() << "no row " << ToUtf8(std::u16string(text));
  return 0;
}

class PrintProgram : public ::testing::Test {
 protected:
  PrintProgram() : fx(ReaderFixture::CompiledBook{VROK_BINARY_DIR "/program"}) {}

  ProgramRun Print(std::uint32_t row, const std::string& pdf) {
    return RunProgram("vrok",
                      {"--folder", fx.dir.Path(), "--registry", fx.registryFile, "--script", "-"},
                      "navigate " + std::to_string(row) + "\nprint-pdf " + pdf + "\n");
  }

  ReaderFixture fx;
};

TEST_F(PrintProgram, GridPrintsEveryCellWhole) {
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  const std::uint32_t table = RowWithText(db, names::kTable, u"Intravenous fluids compared");
  const std::string pdf = fx.dir.File("fluids.pdf");
  const ProgramRun run = Print(table, pdf);
  ASSERT_EQ(run.status, 0) << run.errors;
  // The screen itself cuts the long cells short.
  GridModel model(db);
  model.SetTable(table);
  ASSERT_GT(model.RowCount(), 5u);
  const std::string text = PdfText(pdf, false);
  EXPECT_EQ(text.find("\u2026"), std::string::npos);
  EXPECT_NE(text.find("Intravenous fluids compared"), std::string::npos) << text;
  EXPECT_NE(text.find("Page 1 of 1"), std::string::npos) << text;
  // Each cell's words (a long cell may wrap inside its column).
  for (std::uint32_t r = 0; r < model.RowCount(); ++r) {
    for (std::uint32_t c = 0; c < model.ColumnCount(); ++c) {
      const std::string cell = ToUtf8(PlainTextOf(model.Cell(r, c)));
      std::string word;
      for (std::size_t i = 0; i <= cell.size(); ++i) {
        if (i < cell.size() && !std::isspace(static_cast<unsigned char>(cell[i]))) {
          word += cell[i];
          continue;
        }
        if (word.empty()) continue;
        const std::size_t found = text.find(word);
        EXPECT_NE(found, std::string::npos) << "cell " << r << "," << c << ": " << word;
        word.clear();
      }
    }
  }
  // Read as laid out, each row's first cell and its numbers stand on one line.
  const std::string layout = PdfText(pdf, true);
  EXPECT_NE(layout.find("Sodium chloride 0.9% 154 0 154 none 0"), std::string::npos) << layout;
}

TEST_F(PrintProgram, RecordPageHasItsHeaderAndText) {
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  const std::uint32_t row =
      RowWithText(db, u"hierarchy item", u"Asthma, acute", u"Lungs and airways");
  const std::string pdf = fx.dir.File("page.pdf");
  const ProgramRun run = Print(row, pdf);
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::string text = PdfText(pdf, false);
  EXPECT_NE(text.find("Asthma, acute"), std::string::npos) << text;
  EXPECT_NE(text.find("Lungs and airways"), std::string::npos) << text;
  EXPECT_NE(text.find("A sudden worsening of airway narrowing with wheeze and breathlessness."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Page 1 of"), std::string::npos) << text;
  EXPECT_EQ(text.find("\u2026"), std::string::npos);
}

// A hierarchy page shown as a tree prints its entries.
TEST_F(PrintProgram, TreePagePrintsItsEntries) {
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  const std::uint32_t row =
      RowWithText(db, u"hierarchy item", u"Asthma, acute", u"Airway and breathing");
  const std::string pdf = fx.dir.File("tree.pdf");
  const ProgramRun run = RunProgram(
      "vrok", {"--folder", fx.dir.Path(), "--registry", fx.registryFile, "--script", "-"},
      "navigate " + std::to_string(row) + "\ndump\nprint-pdf " + pdf + "\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_FALSE(run.lines.empty());
  const std::string text = PdfText(pdf, false);
  int printed = 0;
  for (const auto& pane : run.lines.front()["panes"])
    if (pane["kind"] == "TreeList")
      for (const auto& item : pane["items"]) {
        EXPECT_NE(text.find(item["label"].get<std::string>()), std::string::npos) << item;
        ++printed;
      }
  EXPECT_GT(printed, 3);
}

TEST_F(PrintProgram, PrintPdfWithoutAFileFailsTheLine) {
  const ProgramRun none = RunProgram(
      "vrok", {"--folder", fx.dir.Path(), "--registry", fx.registryFile, "--script", "-"},
      "print-pdf\n");
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.errors.find("print-pdf needs a file name"), std::string::npos) << none.errors;
}

}  // namespace
}  // namespace vrok::test
