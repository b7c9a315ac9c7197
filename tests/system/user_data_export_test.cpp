// Taking bookmarks and notes out and back in through the programs a user
// runs: "vrok --script" (export, export-html, import, --import, restore
// from backup, the score summary) and "vrok-dump export".

#include <gtest/gtest.h>

#include <QProcess>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "content/content_database.h"
#include "content/schema.h"
#include "content/utf8.h"
#include "core/pages/page_text.h"
#include "core/userdata/bookmark_store.h"
#include "core/userdata/note_store.h"
#include "core/userdata/user_data_import.h"
#include "shell/reader_fixture.h"
#include "support/test_books.h"

namespace vrok::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<Bytes> FourFiles(const std::string& folder) {
  std::vector<Bytes> out;
  for (const auto& name : UserDataFiles(folder)) out.push_back(ReadAll(name));
  return out;
}

// The records of both pairs, read from copies (opening may repair).
std::vector<Bytes> Records(const std::string& folder) {
  TempDir copy;
  std::vector<Bytes> out;
  for (const auto& [index, data] :
       {std::pair{"bookmarks.vsi", "bookmarks.vsd"}, std::pair{"notes.vsi", "notes.vsd"}}) {
    fs::copy_file(folder + "/" + index, copy.File(index));
    fs::copy_file(folder + "/" + data, copy.File(data));
    RecordFile file(copy.File(index), copy.File(data), RealFileSystem(), StoredRecordLength);
    for (int i = 1; i < file.Count(); ++i) out.push_back(file.ReadAll(i).value_or(Bytes{}));
    out.push_back({});  // between the pairs
  }
  return out;
}

std::string MessagesOf(const ProgramRun& run) {
  std::string said = run.errors;
  for (const json& line : run.lines)
    if (line.contains("messages"))
      for (const json& m : line["messages"]) said += "\n" + m["text"].get<std::string>();
  return said;
}

class ExportProgram : public ::testing::Test {
 protected:
  ExportProgram() : fx(ReaderFixture::CompiledBook{VROK_BINARY_DIR "/program"}) {
    ContentDatabase db(fx.dir.File("VROK-Vrok"));
    BookmarkStore b(fx.dir.Path(), db);
    NoteStore n(fx.dir.Path(), db);
    for (std::uint32_t i = 1, added = 0; added < 3 && i < db.RowCount(); i += 41) {
      const std::u16string letter(1, static_cast<char16_t>(u'a' + added));
      if (b.Add(u"Mark " + letter + u" \u00e9", i, Bytes{'x', 0}) == 0 &&
          n.Add(u"Note " + letter, i, u"Text <b>of</b> note " + letter + u"\nline 2") == 0)
        ++added;
    }
  }

  ProgramRun Run(const std::string& script, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--folder", fx.dir.Path(), "--registry", fx.registryFile};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--script", "-"});
    return RunProgram("vrok", args, script);
  }

  ReaderFixture fx;
};

TEST_F(ExportProgram, ExportThenImportIntoAnEmptyFolderGivesTheRecordsBackByteForByte) {
  const auto before = Records(fx.dir.Path());
  const std::string out = fx.dir.File("out.json"), page = fx.dir.File("out.html");
  const ProgramRun run = Run("export " + out + "\nexport-html " + page + "\n");
  ASSERT_EQ(run.status, 0) << run.errors;

  const json doc = json::parse(Slurp(out));
  EXPECT_EQ(doc["format"], "vrok-user-data");
  ASSERT_EQ(doc["bookmarks"].size(), 3u);
  ASSERT_EQ(doc["notes"].size(), 3u);
  EXPECT_EQ(doc["bookmarks"][0]["data"], "7800");
  EXPECT_EQ(doc["bookmarks"][0]["title"], "Mark a \u00e9");
  EXPECT_EQ(doc["notes"][2]["text"], "Text <b>of</b> note c\nline 2");
  EXPECT_EQ(doc["book"]["stamps"].size(), 3u);

  // vrok-dump writes the same export.
  QProcess dump;
  dump.start(QStringLiteral(VROK_BINARY_DIR "/cli/vrok-dump"),
             {QStringLiteral("export"), QString::fromStdString(fx.dir.Path()),
              QString::fromStdString(fx.dir.File("dump.json"))});
  ASSERT_TRUE(dump.waitForFinished(60000));
  EXPECT_EQ(dump.exitCode(), 0);
  json a = doc, b = json::parse(Slurp(fx.dir.File("dump.json")));
  a.erase("exported");
  b.erase("exported");
  EXPECT_EQ(a, b);

  // The web page: every note's text escaped, nothing fetched from elsewhere.
  const std::string html = Slurp(page);
  EXPECT_NE(html.find("Text &lt;b&gt;of&lt;/b&gt; note a<br>line 2"), std::string::npos);
  EXPECT_NE(html.find("<li>Mark b \u00e9"), std::string::npos);
  for (const char* external : {"src=", "href=", "<link", "<script", "url("})
    EXPECT_EQ(html.find(external), std::string::npos) << external;

  // Everything deleted, then imported at start.
  for (const auto& name : UserDataFiles(fx.dir.Path())) fs::remove(name);
  const ProgramRun import = Run("dump\n", {"--import", out});
  ASSERT_EQ(import.status, 0) << import.errors;
  EXPECT_NE(MessagesOf(import).find("Imported 3 bookmarks and 3 notes."), std::string::npos)
      << MessagesOf(import);
  EXPECT_EQ(Records(fx.dir.Path()), before);
}

TEST_F(ExportProgram, FilesThatAreNotExportsLeaveEveryRecordFileAsItWas) {
  const std::string out = fx.dir.File("good.json");
  ASSERT_EQ(Run("export " + out + "\n").status, 0);
  const std::string good = Slurp(out);
  json newer = json::parse(good);
  newer["version"] = 7;
  const std::pair<std::string, std::string> cases[] = {
      {good.substr(0, good.size() - 40), "cut short or damaged"},
      {std::string("{\"format\":\"vrok-user-data\",\"version\":1,\"bookmarks\":[],\"notes\":[{"
                   "\"title\":\"\xc3\x28\"}]}"),
       "not UTF-8"},
      {"{\"type\":\"FeatureCollection\",\"features\":[]}", "not an export"},
      {newer.dump(), "newer version"},
  };
  // The run itself leaves the files alone (they are compact already).
  Run("dump\n");
  const auto before = FourFiles(fx.dir.Path());
  for (const auto& [text, said] : cases) {
    const std::string bad = fx.dir.File("bad.json");
    Spit(bad, text);
    const ProgramRun run = Run("import " + bad + "\ndump\n");
    EXPECT_EQ(run.status, 2) << said;
    EXPECT_NE(MessagesOf(run).find(said), std::string::npos) << MessagesOf(run);
    EXPECT_EQ(FourFiles(fx.dir.Path()), before) << said;
  }
  const ProgramRun missing = Run("import " + fx.dir.File("no-such.json") + "\n");
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(FourFiles(fx.dir.Path()), before);
}

TEST_F(ExportProgram, ClashingNotesFollowTheAnswers) {
  const std::string out = fx.dir.File("theirs.json");
  ASSERT_EQ(Run("export " + out + "\n").status, 0);
  json doc = json::parse(Slurp(out));
  doc["notes"][0]["text"] = "their text";
  doc["notes"][0]["modified"] = "2099-01-01T00:00:00Z";
  Spit(out, doc.dump());
  const auto notesBefore = Records(fx.dir.Path());

  // No answer: the notes already there stay.
  ProgramRun run = Run("import " + out + "\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(Records(fx.dir.Path()), notesBefore);
  // No, then Yes: the newer one (theirs) replaces the page's note.
  run = Run("answer no\nanswer yes\nimport " + out + "\ndump\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(MessagesOf(run).find("1 notes were replaced by newer ones."), std::string::npos)
      << MessagesOf(run);
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  {
    NoteStore notes(fx.dir.Path(), db);
    ASSERT_EQ(notes.Count(), 3);
    EXPECT_EQ(notes.Entry(2)->text, u"their text");
  }
  // Yes: both kept (the original text comes back beside theirs).
  doc["notes"][0]["text"] = "Text <b>of</b> note a\nline 2";
  Spit(out, doc.dump());
  run = Run("answer yes\nimport " + out + "\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  NoteStore notes(fx.dir.Path(), db);
  EXPECT_EQ(notes.Count(), 4);
}

TEST_F(ExportProgram, BackupsAreMadeOnExitAfterAChangeAndRestoreAllFourFiles) {
  const std::string backups = fx.dir.File("backups");
  ASSERT_EQ(Run("dump\n").status, 0);
  const auto count = [&] {
    int n = 0;
    if (fs::exists(backups))
      for ([[maybe_unused]] const auto& e : fs::directory_iterator(backups)) ++n;
    return n;
  };
  EXPECT_EQ(count(), 1);
  const auto first = FourFiles(fx.dir.Path());
  ASSERT_EQ(Run("dump\n").status, 0);
  EXPECT_EQ(count(), 1);  // nothing changed

  // A bookmark deleted: the next exit keeps another copy.
  ASSERT_EQ(Run("command 40026\ntick-row 0\nclick 123\n").status, 0);
  EXPECT_EQ(count(), 2);
  ASSERT_NE(FourFiles(fx.dir.Path()), first);
  // Restoring the older copy (the second in the list) brings the three
  // bookmarks back; the data it replaced is kept as a copy first.
  const ProgramRun run = Run("choose 1\nclick restore-backup\ndump\n");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_NE(MessagesOf(run).find("restored"), std::string::npos) << MessagesOf(run);
  EXPECT_EQ(FourFiles(fx.dir.Path()), first);
  EXPECT_EQ(count(), 3);
}

// The row of the questionnaire table whose text is title.
std::uint32_t TableRow(const ContentDatabase& db, const std::u16string& title) {
  for (std::uint32_t row = 0; row < db.RowCount(); ++row)
    if (FieldIs(db, row, names::kTable) && TextOf(db, row) == title) return row;
  ADD_FAILURE() << "no table " << ToUtf8(title);
  return 0;
}

TEST_F(ExportProgram, ScoreSummariesOfThePublishedScales) {
  ContentDatabase db(fx.dir.File("VROK-Vrok"));
  struct Case {
    std::u16string table;
    std::string answers;
    std::string summary;
  };
  const Case cases[] = {
      {u"Glasgow Coma Scale", "set q0g0c0 1\ncommand 2\nset q1g0c1 1\ncommand 2\nset q2g0c0 1\n",
       "Glasgow Coma Scale: 14 (Eye opening: Opens eyes spontaneously; Verbal response: Confused; "
       "Motor response: Obeys commands) \u2014 Mild or no impairment (13 to 15)."},
      {u"CURB-65", "set q0g0c0 1\nset q0g0c1 1\nset q0g0c4 1\n",
       "CURB-65: 3 (Confusion (new): yes; Urea above 7 mmol/L: yes; Respiratory "
       "rate 30 a minute or more: no; Blood pressure: systolic below 90 or diastolic 60 mmHg or "
       "less: no; Age 65 or more: yes) \u2014 High severity (3 to 5): admit; at 4 or 5 consider "
       "critical care."},
      {u"CHA2DS2-VASc", "set q0g0 2\nset q0g1c1 1\ncommand 2\nset q1g0c1 1\n",
       "CHA2DS2-VASc: 4 (Age: 75 or over; Sex: Female; Congestive heart failure or reduced "
       "ejection fraction: no; Hypertension: yes; Diabetes: no; Stroke, transient ischaemic attack "
       "or thromboembolism: no; Vascular disease (previous heart attack, peripheral arterial "
       "disease, aortic plaque): no) \u2014 Score 2 or more: anticoagulation is usually "
       "recommended (in women from 3), weighed against bleeding risk."},
      {u"Wells score for DVT", "set q0g0c0 1\nset q0g0c3 1\ncommand 2\nset q1g0c1 1\n",
       "Wells score for DVT: 0 (Active cancer (treatment within 6 months or "
       "palliative): yes; Paralysis, paresis or recent plaster cast of a leg: no; Bedridden 3 days "
       "or more, or major surgery within 12 weeks: no; Tenderness along the deep veins: yes; Whole "
       "leg swollen: no; Calf swelling more than 3 cm compared with the other leg: no; Pitting "
       "oedema in the symptomatic leg only: no; Collateral superficial veins (not varicose): no; "
       "Previously documented DVT: no; Is another diagnosis at least as likely as DVT?: Yes) "
       "\u2014 DVT unlikely (1 or less): a D-dimer test comes next; a normal result makes DVT "
       "very unlikely."},
  };
  for (const Case& c : cases) {
    const std::uint32_t row = TableRow(db, c.table);
    const ProgramRun run = Run("navigate " + std::to_string(row) + "\n" + c.answers +
                               "command 3\nclick copy\nclipboard\n");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_FALSE(run.lines.empty());
    const std::string text = run.lines.back()["clipboard"];
    // The local date and time close the line: " (YYYY-MM-DD HH:MM)".
    ASSERT_GT(text.size(), 19u);
    EXPECT_EQ(text.substr(0, text.size() - 19), c.summary);
    const std::string when = text.substr(text.size() - 19);
    EXPECT_TRUE(when[0] == ' ' && when[1] == '(' && when[6] == '-' && when[12] == ' ' &&
                when[15] == ':' && when[18] == ')')
        << when;
  }
}

}  // namespace
}  // namespace vrok::test
