#include "syncplugin/object_handler.h"

#include <cstddef>
#include <new>
#include <type_traits>

namespace vrok::sync {

const IReplObjHandlerVtbl ObjectHandler::kTable = {
    &ObjectHandler::QueryInterface, &ObjectHandler::AddRef,    &ObjectHandler::Release,
    &ObjectHandler::Setup,          &ObjectHandler::Reset,     &ObjectHandler::GetPacket,
    &ObjectHandler::SetPacket,      &ObjectHandler::DeleteObj,
};

ObjectHandler::ObjectHandler(std::uint32_t partnerBit) : iface_{&kTable}, partnerBit_(partnerBit) {}

ObjectHandler* ObjectHandler::Create(std::uint32_t partnerBit) {
  return new (std::nothrow) ObjectHandler(partnerBit);
}

ObjectHandler& ObjectHandler::From(IReplObjHandler* iface) {
  static_assert(std::is_standard_layout_v<ObjectHandler>);
  static_assert(offsetof(ObjectHandler, iface_) == 0);
  return *reinterpret_cast<ObjectHandler*>(iface);
}

ReplResult ObjectHandler::QueryInterface(IReplObjHandler* self, const ReplInterfaceId*,
                                         void** out) {
  if (!out) return REPL_E_INVALIDARG;
  // Whatever is asked for, this one interface is all there is.
  *out = self;
  AddRef(self);
  return REPL_S_OK;
}

std::uint32_t ObjectHandler::AddRef(IReplObjHandler* self) { return ++From(self).refs_; }

std::uint32_t ObjectHandler::Release(IReplObjHandler* self) {
  ObjectHandler& handler = From(self);
  const std::uint32_t left = --handler.refs_;
  if (left == 0) delete &handler;
  return left;
}

ReplResult ObjectHandler::Setup(IReplObjHandler* self, ReplSetup* setup) {
  if (!setup) return REPL_E_INVALIDARG;
  ObjectHandler& handler = From(self);
  (setup->read ? handler.readSetup_ : handler.writeSetup_) = setup;
  return REPL_S_OK;
}

ReplResult ObjectHandler::Reset(IReplObjHandler*, ReplSetup* setup) {
  return setup ? REPL_S_OK : REPL_E_INVALIDARG;
}

ReplResult ObjectHandler::GetPacket(IReplObjHandler*, const char** data, std::uint32_t* size,
                                    std::uint32_t) {
  if (!data || !size) return REPL_E_INVALIDARG;
  *data = nullptr;
  *size = 0;
  return REPL_S_LAST_PACKET;
}

ReplResult ObjectHandler::SetPacket(IReplObjHandler*, const char* data, std::uint32_t) {
  return data ? REPL_S_OK : REPL_E_INVALIDARG;
}

ReplResult ObjectHandler::DeleteObj(IReplObjHandler*, ReplSetup* setup) {
  return setup ? REPL_S_OK : REPL_E_INVALIDARG;
}

}  // namespace vrok::sync
