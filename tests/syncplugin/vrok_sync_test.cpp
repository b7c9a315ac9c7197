// vrok-sync against the built plug-in and a stand-in reader.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/test_helpers.h"

namespace vrok {
namespace {

using test::CommandOutput;
using test::FakeReader;
using test::TempFolder;

struct SyncRun {
  int status = -1;
  std::vector<nlohmann::json> lines;
  std::string errors;

  std::vector<std::string> Calls() const {
    std::vector<std::string> calls;
    for (const auto& line : lines) calls.push_back(line.value("call", ""));
    return calls;
  }
};

class VrokSync : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.Path().empty()); }

  SyncRun Sync(const std::string& arguments) {
    SyncRun run;
    const std::string errorFile = temp.Path() + "/stderr";
    const std::string command = "VROK_RUNTIME_DIR='" + temp.Runtime() + "' '" VROK_SYNC_PATH "' " +
                                arguments + " 2>'" + errorFile + "'";
    const std::string out = CommandOutput(command, &run.status);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      run.lines.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    std::ostringstream errors;
    errors << std::ifstream(errorFile).rdbuf();
    run.errors = errors.str();
    return run;
  }

  TempFolder temp;
};

TEST_F(VrokSync, PlaysAFullSynchronisationAndClosesTheReader) {
  FakeReader reader(temp.Runtime());
  ASSERT_TRUE(reader.Registered());
  const SyncRun run = Sync("'" VROK_PLUGIN_PATH "'");
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(reader.WaitExit(5000), 0);

  const std::vector<std::string> expected = {"InitObjType", "GetObjTypeInfo", "ObjectNotify",
                                             "Setup",       "GetPacket",      "SetPacket",
                                             "Release",     "ReportStatus",   "InitObjType"};
  ASSERT_EQ(run.Calls(), expected);
  const auto& l = run.lines;
  EXPECT_EQ(l[0]["type"], "Vrok AutoUpdate");
  EXPECT_EQ(l[0]["result"], 1);
  EXPECT_EQ(l[0]["handler"], true);
  EXPECT_EQ(l[1]["result"], 1);
  EXPECT_EQ(l[1]["objects"], 0);
  EXPECT_EQ(l[1]["bytes"], 0);
  EXPECT_EQ(l[2]["result"], 0);
  EXPECT_EQ(l[3]["result"], 0);
  EXPECT_EQ(l[4]["result"], 0x00140001);
  EXPECT_EQ(l[4]["packet"], false);
  EXPECT_EQ(l[4]["packet_size"], 0);
  EXPECT_EQ(l[5]["result"], 0);
  EXPECT_EQ(l[6]["refcount"], 0);
  EXPECT_EQ(l[7]["status"], 1);
  EXPECT_EQ(l[7]["result"], 1);
  EXPECT_TRUE(l[8]["type"].is_null());
  EXPECT_EQ(l[8]["result"], 1);
}

TEST_F(VrokSync, AnotherTypeGetsNoHandlerAndItsRecordIsUntouched) {
  const SyncRun run = Sync("'" VROK_PLUGIN_PATH "' --type 'Vrok Äutoupdate' --status 2");
  ASSERT_EQ(run.status, 0) << run.errors;
  const std::vector<std::string> expected = {"InitObjType", "GetObjTypeInfo", "ObjectNotify",
                                             "ReportStatus", "InitObjType"};
  ASSERT_EQ(run.Calls(), expected);
  EXPECT_EQ(run.lines[0]["type"], "Vrok Äutoupdate");
  EXPECT_EQ(run.lines[0]["result"], 0);
  EXPECT_EQ(run.lines[0]["handler"], false);
  EXPECT_EQ(run.lines[1]["result"], 0);
  EXPECT_EQ(run.lines[1]["objects"], 1) << "the count vrok-sync put in";
  EXPECT_EQ(run.lines[3]["status"], 2);
}

TEST_F(VrokSync, UnusablePluginsAndArgumentsAreClearErrors) {
  const SyncRun missing = Sync("'" + temp.Path() + "/none.so'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find("cannot load"), std::string::npos) << missing.errors;
  EXPECT_TRUE(missing.lines.empty());

  const SyncRun partial = Sync("'" VROK_PARTIAL_PLUGIN_PATH "'");
  EXPECT_EQ(partial.status, 1);
  EXPECT_NE(partial.errors.find("no entry point ObjectNotify"), std::string::npos)
      << partial.errors;
  EXPECT_TRUE(partial.lines.empty());

  const std::string plugin = "'" VROK_PLUGIN_PATH "' ";
  for (const std::string& bad :
       {std::string(), std::string("--type x"), plugin + "--status", plugin + "--status x",
        plugin + "--status -1", plugin + "--status 4294967296", plugin + "--bogus",
        plugin + "other.so", plugin + "--type 'bad \xff utf-8'"}) {
    const SyncRun run = Sync(bad);
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_FALSE(run.errors.empty()) << bad;
    EXPECT_TRUE(run.lines.empty()) << bad;
  }
}

}  // namespace
}  // namespace vrok
