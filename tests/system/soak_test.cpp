// Soak: thousands of random user actions against the live reader, chosen
// from what the screen report says is on screen (links, rows, check boxes,
// commands, dialogs, questionnaire controls), on the sample book and on a
// book of about a million rows. After every action that can touch the
// user's data, stores opened afresh on the files must hold exactly what the
// reader holds; after an Exit and a restart, the same. A watchdog aborts an
// action that does not finish within 30 seconds. The seed is printed on
// failure; VROK_SOAK_SEED and VROK_SOAK_ACTIONS override it and the count.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#include "app/automation.h"
#include "app/reader_app.h"
#include "app/shell_view.h"
#include "content/utf8.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "platform/qt/dialogs.h"
#include "platform/qt/environment.h"
#include "samples/large/large_book.h"
#include "shell/reader_fixture.h"
#include "system/watchdog.h"

namespace vrok::test {
namespace {

using nlohmann::json;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// The user's data as the live reader holds it.
struct UserData {
  std::vector<std::tuple<std::u16string, std::optional<RowIndex>, std::vector<std::uint8_t>>>
      bookmarks;
  std::vector<std::tuple<std::u16string, std::optional<RowIndex>, std::u16string>> notes;
  bool operator==(const UserData&) const = default;
};

void PrintTo(const UserData& d, std::ostream* os) {
  for (const auto& [title, page, state] : d.bookmarks)
    *os << "\n  bookmark \"" << ToUtf8(title) << "\" page " << (page ? std::to_string(*page) : "-")
        << " state " << state.size() << " bytes";
  for (const auto& [title, page, text] : d.notes)
    *os << "\n  note \"" << ToUtf8(title) << "\" page " << (page ? std::to_string(*page) : "-")
        << " text \"" << ToUtf8(text) << "\"";
}

UserData Snapshot(const BookmarkStore& bookmarks, const NoteStore& notes) {
  UserData d;
  for (const Bookmark& b : bookmarks.Entries()) d.bookmarks.emplace_back(b.title, b.page, b.state);
  for (const Note& n : notes.Entries()) d.notes.emplace_back(n.title, n.page, n.text);
  return d;
}

UserData Live(ReaderApp& app) { return Snapshot(app.Shell()->Bookmarks(), app.Shell()->Notes()); }

// What a second reader would find in the files now. The stores are opened
// on copies: a store compacts its files when it closes, which must not
// happen under the live reader.
UserData OnDisk(ReaderApp& app, const std::string& folder) {
  TempDir copy;
  for (const char* name : {"bookmarks.vsi", "bookmarks.vsd", "notes.vsi", "notes.vsd"}) {
    std::error_code error;
    if (std::filesystem::exists(folder + "/" + name))
      std::filesystem::copy_file(folder + "/" + name, copy.File(name), error);
  }
  BookmarkStore bookmarks(copy.Path(), *app.Database(), app.UserMap());
  NoteStore notes(copy.Path(), *app.Database(), app.UserMap());
  return Snapshot(bookmarks, notes);
}

class Soak {
 public:
  Soak(ReaderFixture& fixture, std::uint64_t seed) : fx_(fixture), rng_(seed) {}

  // One random action; returns the script lines it ran.
  std::string Step() {
    // About ten Exits answered Yes (and restarts) in 10,000 actions.
    if (Pick(1000) == 0) return "answer yes\ncommand 40019";
    const json report = fx_.Dump();
    std::vector<std::string> choices;
    Offer(report, choices);
    return choices[Pick(choices.size())];
  }

  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

 private:
  std::string Number(std::size_t below) { return std::to_string(Pick(below)); }

  std::string Words() {
    static const char* const kWords[] = {"ward",
                                         "Résumé",
                                         "a",
                                         "",
                                         "x&amp;y",
                                         "<B>bold</B>",
                                         "ünïcode ✓",
                                         "line\\nbreak",
                                         "dose 5 mg",
                                         "€ 12",
                                         "\xe2\x80\x94",
                                         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                                         "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"};
    std::string text;
    for (std::size_t n = 1 + Pick(4); n > 0; --n) {
      if (!text.empty()) text += ' ';
      text += kWords[Pick(std::size(kWords))];
    }
    // Now and then a title longer than the stored limit.
    if (Pick(20) == 0) text.append(300, 'z');
    return text;
  }

  void Offer(const json& report, std::vector<std::string>& out) {
    const std::size_t rows = report.value("rows", 0u);
    // Always possible: the command bar, the tabs, pages by number and name,
    // stylus taps anywhere, time, answers to whatever is open.
    for (int id : {40006, 40007, 40038, 40032, 40028, 40031, 40030, 40023, 40024, 40025, 40026,
                   40055, 40056, 40057, 40059})
      out.push_back("command " + std::to_string(id));
    out.push_back("choose " + Number(12) + "\ncommand 40027");
    out.push_back("answer no\ncommand 40019");
    if (Pick(4) == 0) out.push_back("click 40021");
    out.push_back("set " + std::to_string(2004 + Pick(3)) + " 1");
    for (const char* a : {"answer ok", "answer cancel", "dismiss-splash", "tick 100", "tick 3000"})
      out.push_back(a);
    out.push_back("tap-tab " + Number(3));
    out.push_back("navigate " + Number(rows + 10));
    static const char* const kNames[] = {"home",         "index",
                                         "contents",     "tools",
                                         "bookmarks",    "notes",
                                         "add_bookmark", "history",
                                         "back",         "splash",
                                         "index_search", "a_z_in_detail",
                                         "calculators",  "diagnostic_index",
                                         "aboutKESTOR"};
    out.push_back(std::string("navigate ") + kNames[Pick(std::size(kNames))]);
    out.push_back("navigate index_search " + Words());
    out.push_back("pen " + Number(240) + " " + Number(320));
    out.push_back("hold " + Number(240) + " " + Number(320));
    out.push_back("type " + Words());
    // The user's data: dialog boxes and editors.
    out.push_back("set 6969 " + Words());
    out.push_back("click 17");
    out.push_back("click 18");
    out.push_back("set 44 " + Words());
    out.push_back("set 44-text " + Words());
    out.push_back("click 43");
    out.push_back("click 40");
    out.push_back("click 123");
    out.push_back("click 41");
    // The same as whole edits, so that the stores fill and empty.
    for (int i = 0; i < 3; ++i) {
      out.push_back("command 40025\nset 6969 " + Words() + "\nclick 17");
      out.push_back("command 40023\nset 44 " + Words() + "\nset 44-text " + Words() + "\nclick 43");
    }
    out.push_back("command 40026\ntick-row " + Number(6) + "\nanswer yes\nclick 123");
    out.push_back("command 40024\ntick-row " + Number(6) + "\nanswer yes\nclick 41");

    auto panes = report["panes"];
    for (const json& o : report["overlays"]) panes.push_back(o);
    for (const json& pane : panes) OfferPane(pane, out);
    if (report["popup"].is_object()) OfferLinks(report["popup"].value("html", ""), out);
  }

  void OfferLinks(const std::string& html, std::vector<std::string>& out) {
    static const std::regex kHref("HREF=['\"]?([^'\" >]*)", std::regex::icase);
    std::vector<std::string> links;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), kHref);
         it != std::sregex_iterator(); ++it)
      links.push_back((*it)[1].str());
    // Links weigh more than any one command: reading is following links.
    for (int i = 0; i < 8 && !links.empty(); ++i)
      out.push_back("tap-link " + links[Pick(links.size())]);
  }

  void OfferPane(const json& pane, std::vector<std::string>& out) {
    const std::string kind = pane.value("kind", "");
    if (pane.contains("html") && pane["html"].is_string()) OfferLinks(pane["html"], out);
    std::size_t count = 0;
    for (const char* key : {"rows", "items"})
      if (pane.contains(key) && pane[key].is_array()) count = pane[key].size();
    if (count > 0 || kind == "ListHost" || kind == "TreeList" || kind == "CheckList") {
      for (int i = 0; i < 4; ++i) out.push_back("tap-row " + Number(count + 2));
      out.push_back("hold-row " + Number(count + 2));
      out.push_back("tick-row " + Number(count + 2));
    }
    if (kind == "HtmlPane" || kind == "TreeList") {
      for (int id : {1234, 1236, 1001, 1002, 1111}) out.push_back("command " + std::to_string(id));
      out.push_back("set sections " + Number(8));
    }
    if (kind == "GridControl") {
      out.push_back("set 1002 " + Number(2000));
      out.push_back("set 1001 " + Number(2000));
      out.push_back("command 1001");
    }
    if (kind == "SearchBar") out.push_back("set 150 " + Words());
    if (kind == "Questionnaire") {
      for (int id = 1; id <= 5; ++id) out.push_back("command " + std::to_string(id));
      for (const json& group : pane.value("groups", json::array())) {
        if (group.contains("name"))
          out.push_back("set " + group["name"].get<std::string>() + " " + Number(6));
        for (const json& control : group.value("controls", json::array())) {
          if (!control.contains("name")) continue;
          const std::string name = control["name"];
          static const char* const kValues[] = {"1", "0", "12.7", "", "abc", "-3", "99999"};
          out.push_back("set " + name + " " + kValues[Pick(std::size(kValues))]);
        }
      }
    }
  }

  ReaderFixture& fx_;
  std::mt19937_64 rng_;
};

// Runs the soak on a started fixture; restarts the reader after an Exit.
void RunSoak(ReaderFixture& fx, std::uint64_t seed, std::uint64_t actions) {
  SCOPED_TRACE("seed " + std::to_string(seed) + " (VROK_SOAK_SEED to repeat)");
  Soak soak(fx, seed);
  Watchdog watchdog(std::chrono::seconds(30));
  std::size_t restarts = 0, dataChecks = 0, failed = 0;
  int status = 0;
  std::set<std::string> kinds;
  std::set<PageId> pages;
  UserData before = Live(*fx.app);
  for (std::uint64_t i = 0; i < actions; ++i) {
    const std::string lines = soak.Step();
    watchdog.Begin("action " + std::to_string(i) + " (seed " + std::to_string(seed) +
                   "): " + lines);
    fx.Run(lines + "\n", &status);
    if (status != 0) ++failed;
    QCoreApplication::processEvents();
    watchdog.End();
    if (platform::QuitPosted()) {
      // Exit answered Yes: what the reader held must come back after a restart.
      fx.app->ExitInstance();
      fx.app.reset();
      platform::ResetQuit();
      watchdog.Begin("restart after action " + std::to_string(i));
      ASSERT_TRUE(fx.Start()) << "restart after action " << i;
      watchdog.End();
      ++restarts;
      ASSERT_EQ(Live(*fx.app), before)
          << "user data changed across the restart after action " << i << ": " << lines;
      continue;
    }
    const json report = fx.Dump();
    pages.insert(report.value("page", 0u));
    for (const json& pane : report["panes"]) kinds.insert(pane.value("kind", ""));
    for (const json& pane : report["overlays"]) kinds.insert(pane.value("kind", ""));
    const UserData now = Live(*fx.app);
    if (now != before || i % 500 == 0) {
      ++dataChecks;
      ASSERT_EQ(OnDisk(*fx.app, fx.dir.Path()), now)
          << "the files do not hold what the reader holds after action " << i << ": " << lines;
      before = now;
    }
  }
  std::string seen;
  for (const std::string& kind : kinds) seen += " " + kind;
  std::printf(
      "soak seed %llu: %llu actions (%zu refused), %zu pages, %zu restarts, %zu data "
      "checks, %zu bookmarks, %zu notes; panes seen:%s\n",
      static_cast<unsigned long long>(seed), static_cast<unsigned long long>(actions), failed,
      pages.size(), restarts, dataChecks, before.bookmarks.size(), before.notes.size(),
      seen.c_str());
  // A last Exit and restart keeps everything. A dialog left open is
  // cancelled first.
  for (int tries = 0; tries < 3 && !platform::QuitPosted(); ++tries) {
    // Answers queued by random lines and never taken go first.
    platform::ClearAutomationQueues();
    fx.Run("answer yes\ncommand 40019\n", &status);
    if (!platform::QuitPosted()) fx.Run("answer cancel\n", &status);
  }
  ASSERT_TRUE(platform::QuitPosted());
  fx.app->ExitInstance();
  fx.app.reset();
  platform::ResetQuit();
  ASSERT_TRUE(fx.Start());
  EXPECT_EQ(Live(*fx.app), before);
}

const std::uint64_t kSeed = EnvNumber("VROK_SOAK_SEED", 20261208);
const std::uint64_t kActions = EnvNumber("VROK_SOAK_ACTIONS", 10000);

TEST(Soak, RandomActionsOnTheSampleBook) {
  ReaderFixture fx(ReaderFixture::CompiledBook{VROK_BINARY_DIR "/program"});
  ASSERT_TRUE(fx.Start());
  RunSoak(fx, kSeed, kActions);
}

TEST(Soak, RandomActionsOnAMillionRowBook) {
  std::string error;
  const auto book = LargeSampleBook(VROK_BINARY_DIR "/samples/book.json", {}, error);
  ASSERT_TRUE(book) << error;
  ReaderFixture fx(*book);
  ASSERT_TRUE(fx.Start());
  ASSERT_GT(fx.app->Database()->RowCount(), 990'000u);
  RunSoak(fx, kSeed + 1, kActions);
}

}  // namespace
}  // namespace vrok::test
