// The custom controls: title bars, titled panes, button bars, the list
// host and the check list, driven as real widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QListWidget>
#include <QMouseEvent>
#include <QStyle>

#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "platform/qt/timer.h"
#include "reader_fixture.h"
#include "widgets/button_bar.h"
#include "widgets/check_list.h"
#include "widgets/list_host.h"
#include "widgets/picture_button.h"
#include "widgets/synthetic_input.h"
#include "widgets/title_bar.h"

namespace vrok {
namespace {

TitleArgs Args(std::u16string text, bool collapsible, bool show = true) {
  TitleArgs args;
  args.text = std::move(text);
  args.collapsible = collapsible;
  args.show = show;
  return args;
}

// Makes the QApplication before any widget member exists.
struct QtApp {
  QtApp() { test::EnsureQtApp(); }
};

struct ControlsTest : ::testing::Test, QtApp {
  QWidget root;
  ControlsTest() {
    platform::ScreenMetrics() = platform::Screen{};
    platform::SetAutomated(true);
    platform::ClearAutomationQueues();
    root.resize(240, 268);
    root.show();
  }
};

TEST_F(ControlsTest, ShortTitleHasNoIndicatorAndDoesNotExpand) {
  TitledPane pane(&root);
  pane.setGeometry(0, 0, 240, 200);
  pane.CreateWithTitle(Args(u"Short", true));
  TitleBar& title = pane.Title();
  const int one = title.Height();
  EXPECT_GT(one, 0);
  EXPECT_FALSE(title.IndicatorVisible());
  title.Press();
  EXPECT_EQ(title.Height(), one);
  title.Release();
}

TEST_F(ControlsTest, LongTitleExpandsOverTheContentWhilePressed) {
  TitledPane pane(&root);
  QWidget content;
  pane.setGeometry(0, 0, 120, 200);
  pane.SetContent(&content);
  content.setParent(&pane);
  pane.CreateWithTitle(Args(u"<b>Acute</b> severe asthma in adults and children over five", true));
  TitleBar& title = pane.Title();
  EXPECT_EQ(title.Text(), "Acute severe asthma in adults and children over five");
  const int one = title.Height();
  const QRect contentBefore = content.geometry();
  EXPECT_EQ(contentBefore.top(), one + 2);
  EXPECT_TRUE(title.IndicatorVisible());
  SendMouse(&title, QEvent::MouseButtonPress, {5, 5});
  EXPECT_TRUE(title.Expanded());
  EXPECT_FALSE(title.IndicatorVisible());
  EXPECT_GT(title.height(), 2 * one);
  EXPECT_EQ(title.width(), 120);
  EXPECT_EQ(content.geometry(), contentBefore);  // drawn over, not moved
  SendMouse(&title, QEvent::MouseButtonRelease, {5, 5});
  EXPECT_FALSE(title.Expanded());
  EXPECT_EQ(title.Height(), one);
  EXPECT_EQ(title.height(), one + 2);
  EXPECT_TRUE(title.IndicatorVisible());
  EXPECT_EQ(content.geometry(), contentBefore);
}

TEST_F(ControlsTest, ClientJustWideEnoughForAllButTheLastWordGivesTwoLines) {
  TitledPane pane(&root);
  pane.CreateWithTitle(Args(u"alpha beta gamma delta", true));
  const QFont font = pane.Title().font();
  QFont bold(QStringLiteral("Sans Serif"));
  bold.setBold(true);
  bold = WithCellHeight(bold, (96 + 3) * 16 / 96);
  const int width = QFontMetrics(bold).horizontalAdvance(QStringLiteral("alpha beta gamma")) + 1;
  pane.setGeometry(0, 0, width, 100);
  EXPECT_EQ(pane.Title().Lines(width), (QStringList{"alpha beta gamma", "delta"}));
  pane.Title().Press();
  EXPECT_EQ(pane.Title().Height(), 2 * QFontMetrics(bold).height());
  pane.Title().Release();
  (void)font;
}

TEST_F(ControlsTest, HiddenTitleGivesTheWholeAreaToTheContent) {
  TitledPane pane(&root);
  QWidget content(&pane);
  pane.SetContent(&content);
  pane.setGeometry(0, 0, 200, 150);
  pane.CreateWithTitle(Args(u"Hidden", false, false));
  EXPECT_EQ(pane.Title().Height(), 0);
  EXPECT_EQ(content.geometry(), QRect(0, 0, 200, 150));
}

TEST_F(ControlsTest, RichTitleLinkGoesToTheListenerInsteadOfExpanding) {
  RichTitledPane pane(&root);
  pane.setGeometry(0, 0, 240, 100);
  pane.show();
  pane.CreateWithTitle(Args(u"See <a href='120'>asthma</a> now", true));
  std::vector<std::uint32_t> taps;
  pane.Title().SetLinkListener([&](std::uint32_t page) { taps.push_back(page); });
  EXPECT_EQ(pane.Title().PlainText(), u"See asthma now");
  pane.Title().grab();  // paints, which places the link runs
  EXPECT_TRUE(pane.Title().TapLink(120));
  EXPECT_FALSE(pane.Title().TapLink(7));
  EXPECT_EQ(taps, (std::vector<std::uint32_t>{120}));
  nlohmann::json report;
  pane.Report(report);
  EXPECT_EQ(report["title"], "See asthma now");
}

TEST_F(ControlsTest, ButtonBarPlacesButtonsFromTheRight) {
  ButtonBar bar(&root);
  bar.setGeometry(0, 0, 240, bar.height());
  bar.show();
  std::vector<int> commands;
  bar.SetListener([&](int id) { commands.push_back(id); });
  bar.AddButton(1001, 112);
  bar.AddButton(1002, 112);
  const int gap = (96 + 24) * 2 / 96;
  EXPECT_EQ(bar.height(), 26);
  EXPECT_EQ(bar.Button(1001)->geometry(), QRect(240 - 18, 4, 18, 18));
  EXPECT_EQ(bar.Button(1002)->geometry(), QRect(240 - 36 - gap, 4, 18, 18));
  bar.ShowButton(1001, false);
  bar.resize(200, bar.height());  // a hidden button keeps its place
  EXPECT_EQ(bar.Button(1002)->x(), 200 - 36 - gap);
  EXPECT_FALSE(bar.OnCommand(1001));
  EXPECT_TRUE(bar.OnCommand(1002));
  EXPECT_EQ(commands, (std::vector<int>{1002}));

  bar.ShowButton(5, true);
  const auto messages = platform::TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, u"Error, there isn't button on that id");
  EXPECT_EQ(messages[0].icon, platform::MessageIcon::kStop);
}

struct Rows : ListModel {
  std::vector<std::u16string> rows;
  int RowCount() const override { return static_cast<int>(rows.size()); }
  std::u16string RowText(int row) const override { return rows[static_cast<std::size_t>(row)]; }
};

struct ListTest : ControlsTest {
  Rows model;
  ListHost list{&root};
  std::vector<int> chosen;
  std::vector<std::uint32_t> links;
  ListTest() {
    for (int i = 0; i < 40; ++i) model.rows.push_back(u"Row " + std::u16string(1, u'A' + i % 26));
    model.rows[3] = u"A very long row whose text cannot possibly fit in the width of the list";
    model.rows[5] = u"<a href='77'>Link</a> row";
    list.setGeometry(0, 0, 200, 180);
    list.show();
    list.SetModel(
        &model, std::nullopt, Qt::white, true, [&](ListHost&, int row) { chosen.push_back(row); },
        [&](ListHost&, std::uint32_t page, QPoint) { links.push_back(page); });
  }
};

TEST_F(ListTest, RowHeightAndScrolling) {
  EXPECT_EQ(list.RowHeight(), 18);
  EXPECT_EQ(list.RowsPerPage(), 10);
  list.ScrollToRow(25);
  EXPECT_EQ(list.FirstVisible(), 25);
  list.ScrollToRow(27);  // already visible: stays
  EXPECT_EQ(list.FirstVisible(), 25);
  EXPECT_TRUE(list.TapRow(39));
  EXPECT_EQ(chosen, (std::vector<int>{39}));
  EXPECT_EQ(list.Selected(), 39);
}

TEST_F(ListTest, TheRowsAreDrawnAsTheyStandWhenPainted) {
  list.ScrollToRow(25);
  list.SelectRow(26);
  const QImage drawn = list.grab().toImage();
  const int right = list.width() - list.style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 3;
  EXPECT_EQ(drawn.pixelColor(right, 18 + 9), ListHost::kSelectedColour);
  EXPECT_EQ(drawn.pixelColor(right, 9), QColor(Qt::white));
  list.SelectRow(-1);
  EXPECT_EQ(list.grab().toImage().pixelColor(right, 18 + 9), QColor(Qt::white));
}

TEST_F(ListTest, AListHiddenAndShownAgainDrawsItsRowsAsBefore) {
  list.ScrollToRow(25);
  list.SelectRow(26);
  const QImage before = list.grab().toImage();
  list.hide();
  list.show();
  EXPECT_EQ(list.grab().toImage(), before);
  // A change made while hidden is drawn when the list is shown again.
  list.hide();
  list.SelectRow(27);
  list.show();
  const int right = list.width() - list.style()->pixelMetric(QStyle::PM_ScrollBarExtent) - 3;
  const QImage after = list.grab().toImage();
  EXPECT_EQ(after.pixelColor(right, 18 + 9), QColor(Qt::white));
  EXPECT_EQ(after.pixelColor(right, 2 * 18 + 9), ListHost::kSelectedColour);
}

TEST_F(ListTest, QuickTapChoosesAndHoldShowsTheWholeText) {
  EXPECT_TRUE(list.TapRow(2));
  EXPECT_EQ(chosen, (std::vector<int>{2}));
  EXPECT_TRUE(list.HoldRow(3));
  EXPECT_TRUE(list.PopupShown());
  EXPECT_TRUE(list.PopupText().startsWith("A very long row"));
  EXPECT_EQ(chosen, (std::vector<int>{2}));  // the hold did not choose
  // A hold on a row that fits shows nothing and still chooses.
  EXPECT_TRUE(list.HoldRow(4));
  EXPECT_FALSE(list.PopupShown());
  EXPECT_EQ(chosen, (std::vector<int>{2, 4}));
}

TEST_F(ListTest, LinkRunGoesToTheLinkListenerAndBelowTheLastRowSelectsNothing) {
  SendMouse(&list, QEvent::MouseButtonPress, {5, 5 * 18 + 9});
  SendMouse(&list, QEvent::MouseButtonRelease, {5, 5 * 18 + 9});
  EXPECT_EQ(links, (std::vector<std::uint32_t>{77}));
  EXPECT_TRUE(chosen.empty());

  model.rows.resize(2);
  list.ModelChanged();
  list.SelectRow(-1);
  SendMouse(&list, QEvent::MouseButtonPress, {5, 100});
  SendMouse(&list, QEvent::MouseButtonRelease, {5, 100});
  EXPECT_EQ(list.Selected(), -1);
  EXPECT_TRUE(chosen.empty());
  nlohmann::json report;
  list.Report(report);
  EXPECT_EQ(report["rows"], nlohmann::json::array({"Row A", "Row B"}));
  EXPECT_EQ(report["selected"], -1);
}

TEST_F(ListTest, UnselectableListNeverChooses) {
  list.SetModel(&model, std::nullopt, Qt::white, false,
                [&](ListHost&, int row) { chosen.push_back(row); });
  list.TapRow(1);
  EXPECT_TRUE(chosen.empty());
  EXPECT_EQ(list.Selected(), 1);
}

TEST_F(ControlsTest, CheckListNamedCheckReportsTicks) {
  CheckList list(&root, QRect(0, 0, 200, 200), 300, "check");
  list.show();
  std::vector<std::uint32_t> chosen;
  list.SetListener({[&](CheckList&, std::uint32_t v) { chosen.push_back(v); }, nullptr});
  list.AddItem(u"First", 10);
  list.AddItem(u"Second", 20);
  ASSERT_TRUE(list.CheckBoxes());
  QListWidget* view = list.List();
  EXPECT_EQ(view->objectName(), "798");
  const QRect box = view->visualRect(view->model()->index(1, 0));
  // A tap on the check box ticks and does not choose.
  const QPoint onBox(box.left() + 6, box.center().y());
  SendMouse(view->viewport(), QEvent::MouseButtonPress, onBox);
  SendMouse(view->viewport(), QEvent::MouseButtonRelease, onBox);
  EXPECT_EQ(list.Ticked(), (std::set<std::uint32_t>{20}));
  EXPECT_TRUE(chosen.empty());
  EXPECT_TRUE(list.TapRow(0));
  EXPECT_EQ(chosen, (std::vector<std::uint32_t>{10}));
  EXPECT_EQ(list.Ticked(), (std::set<std::uint32_t>{20}));
  // A change not made by a tap on the box is not counted.
  view->item(0)->setCheckState(Qt::Checked);
  EXPECT_EQ(list.Ticked(), (std::set<std::uint32_t>{20}));
}

TEST_F(ControlsTest, CheckListWithAnotherNameHasNoCheckBoxes) {
  CheckList list(&root, QRect(0, 0, 200, 200), 301, "plain");
  list.AddItem(u"First", 10);
  EXPECT_FALSE(list.CheckBoxes());
  EXPECT_FALSE(list.List()->item(0)->flags() & Qt::ItemIsUserCheckable);
}

}  // namespace
}  // namespace vrok
