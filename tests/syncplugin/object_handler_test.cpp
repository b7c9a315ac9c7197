#include "syncplugin/object_handler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

// Global allocation that remembers the last block freed, so that a test can see
// the handler delete itself.
namespace {
std::atomic<void*> lastFreed{nullptr};
}  // namespace

void* operator new(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
  lastFreed = p;
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  lastFreed = p;
  std::free(p);
}

namespace vrok::sync {
namespace {

class Handler : public ::testing::Test {
 protected:
  void SetUp() override {
    handler = ObjectHandler::Create(7);
    ASSERT_NE(handler, nullptr);
    iface = handler->Interface();
    ops = iface->vtbl;
  }
  void TearDown() override {
    if (handler) ops->Release(iface);
  }

  ObjectHandler* handler = nullptr;
  IReplObjHandler* iface = nullptr;
  const IReplObjHandlerVtbl* ops = nullptr;
};

TEST_F(Handler, LastReleaseDestroysIt) {
  EXPECT_EQ(ops->AddRef(iface), 2u);
  EXPECT_EQ(ops->Release(iface), 1u);
  EXPECT_NE(lastFreed.load(), static_cast<void*>(handler));
  EXPECT_EQ(ops->Release(iface), 0u);
  EXPECT_EQ(lastFreed.load(), static_cast<void*>(handler));
  handler = nullptr;
}

TEST_F(Handler, QueryInterfaceGivesItselfWhateverIsAskedFor) {
  EXPECT_EQ(ops->QueryInterface(iface, nullptr, nullptr), REPL_E_INVALIDARG);
  const ReplInterfaceId some{0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  for (const ReplInterfaceId* iid : {&some, static_cast<const ReplInterfaceId*>(nullptr)}) {
    void* out = nullptr;
    EXPECT_EQ(ops->QueryInterface(iface, iid, &out), REPL_S_OK);
    EXPECT_EQ(out, iface);
  }
  // One reference from Create and one from each successful QueryInterface.
  EXPECT_EQ(ops->Release(iface), 2u);
  EXPECT_EQ(ops->Release(iface), 1u);
}

TEST_F(Handler, SetupKeepsReadAndWriteSetupsApart) {
  ReplSetup read{sizeof(ReplSetup), -5, 0, 0, 0, 0};  // any nonzero flag means read
  ReplSetup write{sizeof(ReplSetup), 0, 0, 0, 0, 0};
  EXPECT_EQ(handler->PartnerBit(), 7u);
  EXPECT_EQ(handler->ReadSetup(), nullptr);
  EXPECT_EQ(handler->WriteSetup(), nullptr);
  EXPECT_EQ(ops->Setup(iface, &read), REPL_S_OK);
  EXPECT_EQ(handler->ReadSetup(), &read);
  EXPECT_EQ(handler->WriteSetup(), nullptr);
  EXPECT_EQ(ops->Setup(iface, &write), REPL_S_OK);
  EXPECT_EQ(handler->ReadSetup(), &read);
  EXPECT_EQ(handler->WriteSetup(), &write);
  EXPECT_EQ(ops->Setup(iface, nullptr), REPL_E_INVALIDARG);
  EXPECT_EQ(handler->ReadSetup(), &read);
  EXPECT_EQ(handler->WriteSetup(), &write);
}

TEST_F(Handler, GetPacketAlwaysGivesAnEmptyLastPacket) {
  for (const std::uint32_t recommended : {0u, 1u, 4096u, 0xFFFFFFFFu}) {
    const char* data = "unset";
    std::uint32_t size = 99;
    EXPECT_EQ(ops->GetPacket(iface, &data, &size, recommended), REPL_S_LAST_PACKET);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
  }
  const char* data = "unset";
  std::uint32_t size = 99;
  EXPECT_EQ(ops->GetPacket(iface, nullptr, &size, 10), REPL_E_INVALIDARG);
  EXPECT_EQ(ops->GetPacket(iface, &data, nullptr, 10), REPL_E_INVALIDARG);
  EXPECT_EQ(size, 99u);
  EXPECT_STREQ(data, "unset");
}

TEST_F(Handler, RemainingOperationsOnlyCheckTheirArguments) {
  ReplSetup setup{sizeof(ReplSetup), 1, 0, 0, 0, 0};
  EXPECT_EQ(ops->Reset(iface, &setup), REPL_S_OK);
  EXPECT_EQ(ops->Reset(iface, nullptr), REPL_E_INVALIDARG);
  EXPECT_EQ(ops->DeleteObj(iface, &setup), REPL_S_OK);
  EXPECT_EQ(ops->DeleteObj(iface, nullptr), REPL_E_INVALIDARG);
  EXPECT_EQ(ops->SetPacket(iface, "data", 4), REPL_S_OK);
  EXPECT_EQ(ops->SetPacket(iface, "", 0), REPL_S_OK);
  EXPECT_EQ(ops->SetPacket(iface, nullptr, 4), REPL_E_INVALIDARG);
  EXPECT_EQ(handler->ReadSetup(), nullptr) << "only Setup keeps a record";
}

TEST_F(Handler, ReferenceCountHoldsUnderConcurrentUse) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([this] {
      for (int i = 0; i < 20000; ++i) {
        ops->AddRef(iface);
        ops->Release(iface);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ops->AddRef(iface), 2u);
  EXPECT_EQ(ops->Release(iface), 1u);
}

}  // namespace
}  // namespace vrok::sync
