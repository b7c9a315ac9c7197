#pragma once
// The object handler the sync service drives for the "Vrok AutoUpdate" type.
// It carries no data: every packet it gives is empty and the last one, and
// every packet it is given is ignored.

#include <atomic>
#include <cstdint>

#include "platform/core/replication.h"

namespace vrok::sync {

class ObjectHandler {
 public:
  // A new handler with one reference, no setups and the given partner bit;
  // null when memory runs out. It deletes itself on its last Release.
  static ObjectHandler* Create(std::uint32_t partnerBit);

  IReplObjHandler* Interface() { return &iface_; }

  const ReplSetup* ReadSetup() const { return readSetup_; }
  const ReplSetup* WriteSetup() const { return writeSetup_; }
  std::uint32_t PartnerBit() const { return partnerBit_; }

 private:
  explicit ObjectHandler(std::uint32_t partnerBit);
  static ObjectHandler& From(IReplObjHandler* iface);

  static ReplResult QueryInterface(IReplObjHandler* self, const ReplInterfaceId* iid, void** out);
  static std::uint32_t AddRef(IReplObjHandler* self);
  static std::uint32_t Release(IReplObjHandler* self);
  static ReplResult Setup(IReplObjHandler* self, ReplSetup* setup);
  static ReplResult Reset(IReplObjHandler* self, ReplSetup* setup);
  static ReplResult GetPacket(IReplObjHandler* self, const char** data, std::uint32_t* size,
                              std::uint32_t recommendedSize);
  static ReplResult SetPacket(IReplObjHandler* self, const char* data, std::uint32_t size);
  static ReplResult DeleteObj(IReplObjHandler* self, ReplSetup* setup);

  static const IReplObjHandlerVtbl kTable;

  // The interface comes first: the service's IReplObjHandler* is this object.
  IReplObjHandler iface_;
  std::atomic<std::uint32_t> refs_{1};
  ReplSetup* writeSetup_ = nullptr;
  ReplSetup* readSetup_ = nullptr;
  std::uint32_t partnerBit_;
};

}  // namespace vrok::sync
