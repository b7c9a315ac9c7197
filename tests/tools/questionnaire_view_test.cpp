// Questionnaires on screen, driven through scripts as a person would: the
// controls of each kind and their names, Next and Back, the answered test
// with its red marks and messages, Calculate and the score pop-up, Clear
// answers, footnotes, the drop-down height, the page font's absence, and a
// published scale scored through the widgets.

#include "views/tools/questionnaire_view.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <filesystem>

#include "core/pages/page_text.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/screen_window.h"
#include "questionnaire_books.h"
#include "reader_fixture.h"
#include "shell_books.h"
#include "widgets/button_bar.h"
#include "widgets/picture_button.h"

namespace vrok {
namespace {

using nlohmann::json;
using namespace test;  // book and questionnaire builders

// MIXED: three questions with every kind of control and two footnotes, one
// with a link. PLAIN: check boxes only, no footnotes. LONG: a drop-down of
// 30 entries. CHADS: the CHA2DS2-VASc stroke risk score in atrial
// fibrillation (age 65-74 1, 75 or over 2, female 1, heart failure 1,
// hypertension 1, diabetes 1, stroke/TIA/thromboembolism 2, vascular
// disease 1; 0 to 9). OTHER: a page outside.
Book QuestionnaireBook() {
  EnsureQtApp();
  std::vector<BookNode> many;
  for (int i = 0; i < 30; ++i) many.push_back(Control(u"combo box", u"Entry " + Decimal(i), i));
  Book book;
  book.root = WithKey(
      Num(u"root", 0,
          {QuestionnaireTable(
               u"MIXED",
               {Question(u"<B>First</B> question",
                         {Group(u"Pick one", Controls(u"radio button", {{u"a", 1}, {u"b", 2}})),
                          Group(u"", Controls(u"check box", {{u"c", 4}, {u"d", 8}}))}),
                Question(u"Numbers",
                         {Group(u"Enter", {IntegerControl(u"tenths", u"f1 10 /"),
                                           IntegerControl(u"units", u"f1")}),
                          Group(u"Level", Controls(u"combo box",
                                                   {{u"low", -5}, {u"mid", 0}, {u"high", 7}}))}),
                Question(u"Last",
                         {Group(u"", Controls(u"radio button", {{u"yes", 100}, {u"no", 0}}))}),
                Score(5, u"low"), Score(10, u"mid"), Score(20, u"high"),
                Str(u"footnote", u"First note, <A HREF='{{row:other}}'>a link</A>."),
                Str(u"footnote", u"Second note.")},
               "mixed"),
           QuestionnaireTable(
               u"PLAIN",
               {Question(u"Ticks only",
                         {Group(u"", Controls(u"check box", {{u"x", 1}, {u"y", 2}}))}),
                Score(0, u"none"), Score(3, u"some")},
               "plain"),
           QuestionnaireTable(u"LONG", {Question(u"Pick", {Group(u"", std::move(many))})}, "long"),
           QuestionnaireTable(
               u"CHADS",
               {Question(u"Patient", {Group(u"Age", Controls(u"combo box", {{u"Under 65", 0},
                                                                            {u"65 to 74", 1},
                                                                            {u"75 or over", 2}})),
                                      Group(u"Sex", Controls(u"radio button",
                                                             {{u"Male", 0}, {u"Female", 1}}))}),
                Question(u"History",
                         {Group(u"", Controls(u"check box", {{u"Congestive heart failure", 1},
                                                             {u"Hypertension", 1},
                                                             {u"Diabetes", 1},
                                                             {u"Stroke, TIA or thromboembolism", 2},
                                                             {u"Vascular disease", 1}}))}),
                Score(0, u"Low risk"), Score(1, u"Intermediate risk"), Score(9, u"High risk")},
               "chads"),
           WithId(
               Str(u"table", u"OTHER", {Str(u"table type", u"html"), Str(u"html", u"Elsewhere")}),
               "other")}),
      0);
  return book;
}

json QuestionnairePane(const json& report) { return PaneWhere(report, "kind", "Questionnaire"); }

struct QuestionnaireTest : ::testing::Test {
  Book book = QuestionnaireBook();
  ReaderFixture reader{book};

  // Starts the reader with the page font in its program folder.
  void Start(bool withFont = true) {
    if (withFont)
      std::filesystem::copy_file(VROK_PROGRAM_DIR "/ppc_font2.ttf",
                                 reader.dir.File("ppc_font2.ttf"));
    ASSERT_TRUE(reader.Start());
    reader.Run("dismiss-splash");
  }
  std::string Open(std::string_view id) {
    return "navigate " + std::to_string(RowOf(book, id)) + "\n";
  }
  QuestionnaireView& View() { return *reader.app->Questionnaires(); }
  template <class W>
  W* Control(const char* name) {
    return View().Window().findChild<W*>(QString::fromLatin1(name));
  }
};

TEST_F(QuestionnaireTest, OneQuestionAtATimeWithNamedControlsOfEveryKind) {
  Start();
  const json first = QuestionnairePane(reader.Run(Open("mixed") + "dump").at(0));
  ASSERT_FALSE(first.is_null());
  EXPECT_EQ(first["questions"], 3);
  EXPECT_EQ(first["current"], 0);
  EXPECT_EQ(first["visited"], json::array({0}));
  EXPECT_EQ(first["question"], "First question");
  // With the page font the question's rich-text window takes the text.
  EXPECT_EQ(View().Window().Panel(0)->QuestionText().Text().Plain(), u"First question");
  const json expected = json::parse(R"([
    {"caption": "Pick one", "kind": "radio button", "red": false, "controls": [
      {"text": "a", "name": "q0g0c0", "checked": false, "red": false},
      {"text": "b", "name": "q0g0c1", "checked": false, "red": false}]},
    {"caption": "", "kind": "check box", "red": false, "controls": [
      {"text": "c", "name": "q0g1c0", "checked": false, "red": false},
      {"text": "d", "name": "q0g1c1", "checked": false, "red": false}]}])");
  EXPECT_EQ(first["groups"], expected);

  const json report = reader.Run("set q0g0c1 1\ncommand 2\ndump").at(0);
  EXPECT_EQ(report["title"], "MIXED");
  EXPECT_EQ(report["tab"], 2);  // TOOLS
  EXPECT_EQ(PaneWhere(report, "name", "questionnaire-buttons")["side"], 3);
  const json second = QuestionnairePane(report);
  EXPECT_EQ(second["current"], 1);
  EXPECT_EQ(second["visited"], json::array({0, 1}));
  const json numbers = second["groups"][0]["controls"];
  EXPECT_EQ(numbers[0],
            (json{{"text", "tenths"}, {"name", "q1g0c0"}, {"value", ""}, {"red", false}}));
  EXPECT_EQ(numbers[1]["name"], "q1g0c1");
  const json level = second["groups"][1];
  EXPECT_EQ(level["kind"], "combo box");
  EXPECT_EQ(level["name"], "q1g1");
  EXPECT_EQ(level["selected"], 0);  // the first entry
  EXPECT_EQ(level["controls"][2],
            (json{{"text", "high"}, {"name", "q1g1"}, {"selected", false}, {"red", false}}));
  // The other question's controls are kept, hidden.
  auto* b = Control<QAbstractButton>("q0g0c1");
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->isChecked());
  EXPECT_FALSE(b->isVisible());
}

TEST_F(QuestionnaireTest, NextRefusesAnUnansweredQuestionMarksItRedAndRestoresTheInputPanel) {
  Start();
  std::vector<bool> panelDuringMessage;
  platform::SetMessageObserver([&](const platform::MessageRecord&) {
    panelDuringMessage.push_back(reader.app->Screen()->InputPanelOn());
  });
  const json report = reader.Run(Open("mixed") + "set input-panel 1\ncommand 2\ndump").at(0);
  platform::SetMessageObserver(nullptr);
  EXPECT_EQ(
      report["messages"],
      json::parse(R"([{"text": "In order to go to the next question you have to fill all fields.",
                             "caption": "Vrok", "icon": "stop", "answer": "ok"}])"));
  EXPECT_EQ(panelDuringMessage, std::vector<bool>{false});
  EXPECT_TRUE(report["keyboard"]);
  const json pane = QuestionnairePane(report);
  EXPECT_EQ(pane["current"], 0);
  // The radio group failed; the check boxes always pass.
  EXPECT_TRUE(pane["groups"][0]["red"]);
  EXPECT_TRUE(pane["groups"][0]["controls"][1]["red"]);
  EXPECT_FALSE(pane["groups"][1]["red"]);
  EXPECT_FALSE(pane["groups"][1]["controls"][0]["red"]);

  // Drawn in red: some pixels of the label are the failing colour itself.
  auto* a = Control<ChoiceButton>("q0g0c0");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->TextColour(), QColor(197, 52, 41));
  const QImage drawn = a->grab().toImage();
  int red = 0;
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) red += drawn.pixelColor(x, y) == QColor(197, 52, 41);
  EXPECT_GT(red, 0);

  // Answered, the question passes, goes black again and Next moves on;
  // Back returns to it with its answer.
  const auto reports = reader.Run("set q0g0c0 1\ncommand 2\ndump\ncommand 1\ndump");
  EXPECT_TRUE(reports[0]["messages"].empty());
  EXPECT_EQ(QuestionnairePane(reports[0])["current"], 1);
  const json back = QuestionnairePane(reports[1]);
  EXPECT_EQ(back["current"], 0);
  EXPECT_TRUE(back["groups"][0]["controls"][0]["checked"]);
  EXPECT_FALSE(back["groups"][0]["red"]);
  EXPECT_EQ(a->TextColour(), QColor(Qt::black));
  // Back on the first question stays there.
  EXPECT_EQ(QuestionnairePane(reader.Run("command 1\ndump").at(0))["current"], 0);
}

TEST_F(QuestionnaireTest, NextOnTheLastQuestionCalculatesTheScoreInItsPopup) {
  Start();
  // b 2 + c 4; 12.7 read as 12, 12 / 10 = 1.2 adds 1; units 3; high 7; no 0.
  const json report = reader
                          .Run(Open("mixed") +
                               "set q0g0c1 1\nset q0g1c0 1\ncommand 2\n"
                               "set q1g0c0 12.7\nset q1g0c1 3\nset q1g1 2\ncommand 2\n"
                               "set q2g0c1 1\ncommand 2\ndump")
                          .at(0);
  EXPECT_TRUE(report["messages"].empty());
  ASSERT_FALSE(report["popup"].is_null());
  EXPECT_EQ(report["popup"]["caption"], "Score");
  EXPECT_EQ(report["popup"]["html"], std::string("<HTML><BODY><FONT FACE='PPC_Font2'>") +
                                         "SCORE: 17<BR>high</FONT></BODY></FONT>");
  // OK closes it; the questionnaire stays as it was.
  const json after = reader.Run("answer ok\ndump").at(0);
  EXPECT_TRUE(after["popup"].is_null());
  EXPECT_EQ(QuestionnairePane(after)["current"], 2);
}

TEST_F(QuestionnaireTest, IntegerBoxesTakeDigitsOnly) {
  Start();
  reader.Run(Open("mixed") + "set q0g0c0 1\ncommand 2");
  auto* box = Control<QLineEdit>("q1g0c0");
  ASSERT_NE(box, nullptr);
  box->insert(QStringLiteral("12.7"));
  EXPECT_EQ(box->text(), QString());
  box->insert(QStringLiteral("42"));
  box->insert(QStringLiteral("-"));
  box->insert(QStringLiteral("x"));
  EXPECT_EQ(box->text(), QStringLiteral("42"));
}

TEST_F(QuestionnaireTest, CalculateShowsTheFirstFailingQuestionAndNeedsEveryQuestionVisited) {
  Start();
  // Unanswered on screen: the message, the question stays and turns red.
  json report = reader.Run(Open("mixed") + "command 3\ndump").at(0);
  EXPECT_EQ(report["messages"].at(0)["text"],
            "In order to Calculate you have to answer all the questions.");
  EXPECT_EQ(report["messages"][0]["icon"], "stop");
  EXPECT_TRUE(report["popup"].is_null());
  EXPECT_TRUE(QuestionnairePane(report)["groups"][0]["red"]);

  // Everything answered, then a box emptied behind the user's back: from
  // the first question, the test stops at the second and shows it.
  reader.Run(
      "set q0g0c0 1\ncommand 2\nset q1g0c0 5\nset q1g0c1 5\ncommand 2\nset q2g0c0 1\n"
      "command 1\ncommand 1\nset q1g0c0 ");
  report = reader.Run("command 3\ndump").at(0);
  EXPECT_EQ(report["messages"].size(), 1u);
  EXPECT_TRUE(report["popup"].is_null());
  json pane = QuestionnairePane(report);
  EXPECT_EQ(pane["current"], 1);
  EXPECT_TRUE(pane["groups"][0]["controls"][0]["red"]);
  EXPECT_FALSE(pane["groups"][0]["controls"][1]["red"]);
  EXPECT_TRUE(pane["groups"][0]["red"]);

  // Filled again, it scores: 1 + 0 + 5 + (-5) + 100 = 101, beyond every bound.
  report = reader.Run("set q1g0c0 9\ncommand 3\ndump").at(0);
  EXPECT_TRUE(report["messages"].empty());
  EXPECT_NE(report["popup"]["html"].get<std::string>().find("SCORE: 101<BR>high"),
            std::string::npos);
  EXPECT_FALSE(QuestionnairePane(report)["groups"][0]["red"]);
}

TEST_F(QuestionnaireTest, ControlsAreKeptUntilClearAnswersOrAnotherQuestionnaire) {
  Start();
  reader.Run(Open("mixed") + "set q0g0c1 1\ncommand 2");
  QuestionnaireWindow& window = View().Window();
  QuestionPanel* first = window.Panel(0);
  ASSERT_NE(first, nullptr);
  reader.Run("command 1\ncommand 2\nset q1g0c0 3");
  EXPECT_EQ(window.Panel(0), first);  // the same controls, not built again

  // Clear answers: only the question on screen is built again, empty.
  json report = reader.Run("command 5\ndump").at(0);
  json pane = QuestionnairePane(report);
  EXPECT_EQ(pane["current"], 1);
  EXPECT_EQ(pane["visited"], json::array({1}));
  EXPECT_EQ(pane["groups"][0]["controls"][0]["value"], "");
  EXPECT_EQ(window.Panel(0), nullptr);
  // Answered on screen, Calculate still asks for the others.
  report = reader.Run("set q1g0c0 1\nset q1g0c1 1\ncommand 3\ndump").at(0);
  EXPECT_EQ(report["messages"].at(0)["text"],
            "In order to Calculate you have to answer all the questions.");
  EXPECT_EQ(QuestionnairePane(report)["current"], 1);
  EXPECT_TRUE(report["popup"].is_null());

  // Every kind of control answered, and one integer box left red.
  const std::string answers =
      "command 1\nset q0g0c1 1\nset q0g1c0 1\ncommand 2\n"
      "set q1g0c0 7\nset q1g0c1 \nset q1g1 2\ncommand 2\ndump";
  report = reader.Run(answers).at(0);
  pane = QuestionnairePane(report);
  ASSERT_EQ(pane["current"], 1);
  ASSERT_TRUE(pane["groups"][0]["controls"][1]["red"]);
  ASSERT_EQ(pane["groups"][1]["selected"], 2);

  // Opening the questionnaire again starts afresh at its first question,
  // with every control empty and black, whether or not its controls are
  // built anew.
  report = reader.Run(Open("other") + Open("mixed") + "dump").at(0);
  pane = QuestionnairePane(report);
  EXPECT_EQ(pane["current"], 0);
  EXPECT_EQ(pane["visited"], json::array({0}));
  EXPECT_FALSE(pane["groups"][0]["controls"][1]["checked"]);
  EXPECT_FALSE(pane["groups"][1]["controls"][0]["checked"]);
  report = reader.Run("set q0g0c0 1\ncommand 2\ndump").at(0);
  pane = QuestionnairePane(report);
  EXPECT_EQ(pane["visited"], json::array({0, 1}));
  EXPECT_EQ(pane["groups"][0]["controls"][0]["value"], "");
  EXPECT_FALSE(pane["groups"][0]["controls"][1]["red"]);
  EXPECT_FALSE(pane["groups"][0]["red"]);
  EXPECT_EQ(pane["groups"][1]["selected"], 0);
  // Undo in a box brings back nothing typed before.
  const auto* tenths = Control<QLineEdit>("q1g0c0");
  ASSERT_NE(tenths, nullptr);
  EXPECT_FALSE(tenths->isUndoAvailable());
  EXPECT_EQ(Control<ChoiceButton>("q0g0c1")->TextColour(), QColor(Qt::black));

  // Another questionnaire shows its own controls, never those kept aside.
  pane = QuestionnairePane(reader.Run(Open("plain") + "dump").at(0));
  EXPECT_EQ(pane["question"], "Ticks only");
  EXPECT_EQ(pane["groups"][0]["controls"][0]["name"], "q0g0c0");
  EXPECT_EQ(pane["groups"][0]["controls"][0]["text"], "x");
  EXPECT_EQ(Control<QWidget>("q0g1c0"), nullptr);  // the first questionnaire's are gone
}

TEST_F(QuestionnaireTest, CheckBoxOnlyQuestionsPassEmptyAndAddNothing) {
  Start();
  const json report = reader.Run(Open("plain") + "command 2\ndump").at(0);
  EXPECT_TRUE(report["messages"].empty());
  EXPECT_EQ(report["popup"]["html"],
            "<HTML><BODY><FONT FACE='PPC_Font2'>SCORE: 0<BR>none</FONT></BODY></FONT>");
}

TEST_F(QuestionnaireTest, FootnoteCommandOnlyWithFootnotesAndItsLinksNavigate) {
  Start();
  json report = reader.Run(Open("mixed") + "command 4\ndump").at(0);
  EXPECT_TRUE(View().Buttons().Button(QuestionnaireView::kFootnote)->isEnabled());
  EXPECT_EQ(report["popup"]["caption"], "Footnote");
  const std::string other = std::to_string(RowOf(book, "other"));
  EXPECT_EQ(report["popup"]["html"], "<HTML><BODY><FONT FACE='PPC_Font2'>First note, <A HREF='" +
                                         other +
                                         "'>a link</A>.<BR>Second note.<BR></FONT></BODY></FONT>");
  report = reader.Run("tap-link " + other + "\ndump").at(0);
  EXPECT_TRUE(report["popup"].is_null());
  EXPECT_EQ(report["page"], RowOf(book, "other"));

  int status = 0;
  reader.Run(Open("plain"));
  EXPECT_FALSE(View().Buttons().Button(QuestionnaireView::kFootnote)->isEnabled());
  report = reader.Run("command 4\ndump", &status).at(0);
  EXPECT_EQ(status, 2);  // no control on screen takes it
  EXPECT_TRUE(report["popup"].is_null());
}

TEST_F(QuestionnaireTest, DropDownListsOpenTo200PixelsAt96DotsPerInch) {
  Start();
  reader.Run(Open("long"));
  auto* combo = Control<QComboBox>("q0g0");
  ASSERT_NE(combo, nullptr);
  EXPECT_EQ(combo->count(), 30);
  combo->showPopup();
  EXPECT_EQ(combo->view()->parentWidget()->height(), 200);
  combo->hidePopup();
  // A short list opens only as far as its entries go.
  reader.Run(Open("chads"));
  combo = Control<QComboBox>("q0g0");
  ASSERT_NE(combo, nullptr);
  combo->showPopup();
  EXPECT_LT(combo->view()->parentWidget()->height(), 200);
  EXPECT_GT(combo->view()->parentWidget()->height(), 0);
  combo->hidePopup();
}

TEST_F(QuestionnaireTest, DropDownListsOpenTo400PixelsAt192DotsPerInch) {
  platform::ScreenMetrics() = platform::Screen{480, 640, 192, 192};
  Start();
  reader.Run(Open("long"));
  auto* combo = Control<QComboBox>("q0g0");
  ASSERT_NE(combo, nullptr);
  combo->showPopup();
  EXPECT_EQ(combo->view()->parentWidget()->height(), 400);
  combo->hidePopup();
}

TEST_F(QuestionnaireTest, WithoutThePageFontTheQuestionTextIsRefused) {
  Start(/*withFont=*/false);
  const json report = reader.Run(Open("mixed") + "dump").at(0);
  EXPECT_EQ(
      report["messages"],
      json::parse(
          R"([{"text": "FONT MISSING", "caption": "Vrok", "icon": "none", "answer": "ok"}])"));
  EXPECT_TRUE(View().Window().Panel(0)->QuestionText().Text().Empty());
  // The controls are there all the same.
  EXPECT_EQ(QuestionnairePane(report)["groups"][0]["controls"].size(), 2u);
}

TEST(RichTextWindow, TextWithoutAFontKeepsThePreviousText) {
  EnsureQtApp();
  platform::SetAutomated(true);
  platform::TakeMessages();
  RichTextWindow window(nullptr);
  const FontSpec font = PageFontSpec();
  EXPECT_TRUE(window.SetText(u"<B>kept</B>", &font));
  EXPECT_FALSE(window.SetText(u"lost", nullptr));
  EXPECT_EQ(window.Text().Markup(), u"<B>kept</B>");
  EXPECT_EQ(window.Text().Plain(), u"kept");
  const auto messages = platform::TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"FONT MISSING");
  EXPECT_EQ(messages[0].caption, u"Vrok");
  // Wrapped to a narrow width the text takes more lines.
  window.SetText(u"one two three four five six seven eight nine ten", &font);
  EXPECT_GT(window.heightForWidth(60), window.heightForWidth(600));
}

// CHA2DS2-VASc, entered question by question for several patients; the
// totals are the published ones for these risk factors.
TEST_F(QuestionnaireTest, StrokeRiskScoreInAtrialFibrillationMatchesPublishedTotals) {
  Start();
  struct Case {
    const char* who;
    int age;                   // drop-down entry
    int sex;                   // 0 male, 1 female
    std::vector<int> history;  // ticked check boxes
    const char* output;
  };
  const Case cases[] = {
      {"man of 50, no risk factor", 0, 0, {}, "SCORE: 0<BR>Low risk"},
      {"woman of 60, no risk factor", 0, 1, {}, "SCORE: 1<BR>Intermediate risk"},
      {"man of 67 with hypertension and diabetes", 1, 0, {1, 2}, "SCORE: 3<BR>High risk"},
      {"woman of 80 after a stroke", 2, 1, {3}, "SCORE: 5<BR>High risk"},
      {"woman of 70 with every history item", 1, 1, {0, 1, 2, 3, 4}, "SCORE: 8<BR>High risk"},
      {"woman of 80 with every history item", 2, 1, {0, 1, 2, 3, 4}, "SCORE: 9<BR>High risk"},
  };
  for (const Case& c : cases) {
    std::string script = Open("chads") + "set q0g0 " + std::to_string(c.age) + "\nset q0g1c" +
                         std::to_string(c.sex) + " 1\ncommand 2\n";
    for (int h : c.history) script += "set q1g0c" + std::to_string(h) + " 1\n";
    script += "command 2\ndump\nanswer ok";
    const json report = reader.Run(script).at(0);
    EXPECT_EQ(report["popup"]["html"], "<HTML><BODY><FONT FACE='PPC_Font2'>" +
                                           std::string(c.output) + "</FONT></BODY></FONT>")
        << c.who;
  }
}

// The sample book's back pain checklist is the "TABLE_20" questionnaire:
// with only its first question's answers the score is left out.
TEST(SampleQuestionnaires, TheTable20ChecklistLeavesOutAScoreOfAgeAndDurationAlone) {
  ReaderFixture reader(ReaderFixture::CompiledBook{VROK_PROGRAM_DIR});
  ASSERT_TRUE(reader.Start());
  const std::string open =
      "navigate " + std::to_string(reader.app->Database()->TableRow(u"TABLE_20")) + "\n";
  auto reports = reader.Run("dismiss-splash\n" + open +
                            "set q0g0c1 1\nset q0g1c1 1\ncommand 2\ncommand 2\ndump\nanswer ok");
  const std::string excluded = reports.at(0)["popup"]["html"];
  EXPECT_NE(excluded.find("No red flag was ticked."), std::string::npos) << excluded;
  EXPECT_EQ(excluded.find("SCORE:"), std::string::npos) << excluded;
  // Under 50, under 6 weeks, night pain: 1.
  reports =
      reader.Run(open + "set q0g0c0 1\nset q0g1c0 1\ncommand 2\nset q1g0c6 1\ncommand 3\ndump");
  const std::string scored = reports.at(0)["popup"]["html"];
  EXPECT_NE(scored.find("SCORE: 1<BR>Low concern"), std::string::npos) << scored;
}

}  // namespace
}  // namespace vrok
