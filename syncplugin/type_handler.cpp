#include "syncplugin/type_handler.h"

#include <array>

#include "syncplugin/object_handler.h"

namespace vrok::sync {
namespace {

AutoUpdateTypeHandler autoUpdate;
const std::array<ObjectTypeHandler*, 1> kHandlers = {&autoUpdate};

}  // namespace

std::int32_t AutoUpdateTypeHandler::CreateObjectHandler(std::uint32_t partnerBit,
                                                        IReplObjHandler** out) {
  ObjectHandler* handler = ObjectHandler::Create(partnerBit);
  *out = handler ? handler->Interface() : nullptr;
  return handler ? 1 : 0;
}

std::int32_t AutoUpdateTypeHandler::ObjectTypeInfo(ReplTypeInfo& info) {
  info.objectCount = 0;
  info.totalSize = 0;
  return 1;
}

std::span<ObjectTypeHandler* const> Handlers() { return kHandlers; }

ObjectTypeHandler* FindHandler(std::u16string_view name) {
  for (ObjectTypeHandler* handler : kHandlers) {
    if (handler->Name() == name) return handler;
  }
  return nullptr;
}

}  // namespace vrok::sync
