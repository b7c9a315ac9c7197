// The built plug-in, loaded the way the sync service loads it.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <sstream>
#include <string>

#include "platform/core/replication.h"
#include "tests/platform/test_helpers.h"

namespace vrok {
namespace {

using test::CommandOutput;
using test::FakeReader;
using test::TempFolder;

constexpr const char16_t* kType = u"Vrok AutoUpdate";
constexpr int kExitWaitMs = 5000;
constexpr int kStillRunningMs = 150;

class Plugin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp.Path().empty());
    // The plug-in looks for the reader in this user's runtime folder.
    setenv("VROK_RUNTIME_DIR", temp.Runtime().c_str(), 1);
    library = dlopen(VROK_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    initObjType = reinterpret_cast<ReplInitObjTypeFn>(dlsym(library, "InitObjType"));
    objectNotify = reinterpret_cast<ReplObjectNotifyFn>(dlsym(library, "ObjectNotify"));
    getObjTypeInfo = reinterpret_cast<ReplGetObjTypeInfoFn>(dlsym(library, "GetObjTypeInfo"));
    reportStatus = reinterpret_cast<ReplReportStatusFn>(dlsym(library, "ReportStatus"));
    ASSERT_TRUE(initObjType && objectNotify && getObjTypeInfo && reportStatus);
  }
  void TearDown() override {
    if (library) dlclose(library);
    unsetenv("VROK_RUNTIME_DIR");
  }

  static ReplTypeInfo Info(std::u16string_view type) {
    ReplTypeInfo info{};
    info.size = sizeof info;
    type.copy(info.objectType, REPL_MAX_TYPE_NAME - 1);
    info.flags = 7;
    info.objectCount = 5;
    info.totalSize = 6;
    info.lastModified = 123456789;
    return info;
  }

  TempFolder temp;
  void* library = nullptr;
  ReplInitObjTypeFn initObjType = nullptr;
  ReplObjectNotifyFn objectNotify = nullptr;
  ReplGetObjTypeInfoFn getObjTypeInfo = nullptr;
  ReplReportStatusFn reportStatus = nullptr;
};

TEST_F(Plugin, ExportsExactlyTheFourEntryPointsAndNeedsNoQt) {
  std::set<std::string> exported;
  std::istringstream symbols(CommandOutput("nm -D --defined-only '" VROK_PLUGIN_PATH "'"));
  for (std::string line; std::getline(symbols, line);) {
    exported.insert(line.substr(line.rfind(' ') + 1));
  }
  EXPECT_EQ(exported, (std::set<std::string>{"GetObjTypeInfo", "InitObjType", "ObjectNotify",
                                             "ReportStatus"}));

  std::istringstream dynamic(CommandOutput("readelf -d '" VROK_PLUGIN_PATH "'"));
  int needed = 0;
  for (std::string line; std::getline(dynamic, line);) {
    if (line.find("(NEEDED)") == std::string::npos) continue;
    ++needed;
    EXPECT_EQ(line.find("libQt"), std::string::npos) << line;
  }
  EXPECT_GT(needed, 0) << "readelf output was not understood";
}

TEST_F(Plugin, InitObjTypeClosesTheReaderWhateverTheName) {
  for (const char16_t* name : {kType, u"Other"}) {
    const bool ours = name == kType;
    FakeReader reader(temp.Runtime());
    ASSERT_TRUE(reader.Registered());
    auto* handler = reinterpret_cast<IReplObjHandler*>(&reader);  // must be overwritten
    EXPECT_EQ(initObjType(name, &handler, 1), ours ? 1 : 0) << ours;
    EXPECT_EQ(reader.WaitExit(kExitWaitMs), 0) << ours;
    ASSERT_EQ(handler != nullptr, ours);
    if (handler) {
      EXPECT_EQ(handler->vtbl->Release(handler), 0u);
    }
  }
}

TEST_F(Plugin, InitObjTypeMatchesTheNameExactly) {
  for (const char16_t* name : {u"vrok autoupdate", u"VROK AUTOUPDATE", u"Vrok AutoUpdate ",
                               u" Vrok AutoUpdate", u"Vrok AutoUpdat", u"Vrok", u""}) {
    auto* handler = reinterpret_cast<IReplObjHandler*>(this);
    EXPECT_EQ(initObjType(name, &handler, 0), 0);
    EXPECT_EQ(handler, nullptr);
  }
}

TEST_F(Plugin, InitObjTypeWithoutAnOutPointerFailsButStillClosesTheReader) {
  FakeReader reader(temp.Runtime());
  ASSERT_TRUE(reader.Registered());
  EXPECT_EQ(initObjType(kType, nullptr, 0), 0);
  EXPECT_EQ(reader.WaitExit(kExitWaitMs), 0);
}

TEST_F(Plugin, UnloadingLeavesTheReaderRunning) {
  FakeReader reader(temp.Runtime());
  ASSERT_TRUE(reader.Registered());
  EXPECT_EQ(initObjType(nullptr, nullptr, 0), 1);
  EXPECT_FALSE(reader.WaitExit(kStillRunningMs));
  EXPECT_TRUE(WindowRegistry(temp.Runtime()).Find(kReaderWindowClass));
}

TEST_F(Plugin, OnlyStatusOneClosesTheReader) {
  FakeReader reader(temp.Runtime());
  ASSERT_TRUE(reader.Registered());
  for (const std::uint32_t code : {0u, 2u, 3u, 0x101u, 0xFFFFFFFFu}) {
    EXPECT_EQ(reportStatus(kType, code, 1), 1) << code;
  }
  EXPECT_FALSE(reader.WaitExit(kStillRunningMs));
  EXPECT_EQ(reportStatus(kType, 1, 0), 1);
  EXPECT_EQ(reader.WaitExit(kExitWaitMs), 0);
  EXPECT_EQ(reportStatus(nullptr, 1, 0), 1) << "no reader left to close";
}

TEST_F(Plugin, ObjectNotifyNeverReportsAChange) {
  ReplNotify notify{};
  notify.size = sizeof notify;
  std::u16string_view(kType).copy(notify.objectType, REPL_MAX_TYPE_NAME);
  EXPECT_EQ(objectNotify(&notify), 0);
  notify.size = 0;
  EXPECT_EQ(objectNotify(&notify), 0);
  EXPECT_EQ(objectNotify(nullptr), 0);
}

TEST_F(Plugin, GetObjTypeInfoReportsNoObjectsAndLeavesTheRestAlone) {
  ReplTypeInfo info = Info(kType);
  EXPECT_EQ(getObjTypeInfo(&info), 1);
  EXPECT_EQ(info.objectCount, 0u);
  EXPECT_EQ(info.totalSize, 0u);
  EXPECT_EQ(info.flags, 7u);
  EXPECT_EQ(info.lastModified, 123456789u);
  EXPECT_EQ(info.size, sizeof info);

  info = Info(u"Vrok autoUpdate");
  EXPECT_EQ(getObjTypeInfo(&info), 0);
  EXPECT_EQ(info.objectCount, 5u);
  EXPECT_EQ(getObjTypeInfo(nullptr), 0);
}

TEST_F(Plugin, GetObjTypeInfoStaysWithinTheRecord) {
  constexpr std::size_t countsEnd = offsetof(ReplTypeInfo, totalSize) + sizeof(uint32_t);
  struct Case {
    const char* what;
    std::size_t size;
    bool terminated;
    int32_t result;
  };
  const Case cases[] = {
      {"whole record", sizeof(ReplTypeInfo), true, 1},
      {"record ends after the counts", countsEnd, true, 1},
      {"record ends before the counts end", countsEnd - 1, true, 0},
      {"record too short for a name", 2, true, 0},
      {"name field without terminator", sizeof(ReplTypeInfo), false, 0},
  };
  for (const Case& c : cases) {
    ReplTypeInfo info = Info(kType);
    info.size = static_cast<uint32_t>(c.size);
    if (!c.terminated) {
      std::fill(info.objectType + 15, info.objectType + REPL_MAX_TYPE_NAME, u' ');
    }
    EXPECT_EQ(getObjTypeInfo(&info), c.result) << c.what;
    EXPECT_EQ(info.objectCount, c.result ? 0u : 5u) << c.what;
  }
}

}  // namespace
}  // namespace vrok
