// The four entry points the sync service looks up in the plug-in.

#include <cstddef>
#include <string_view>

#include "platform/core/replication.h"
#include "platform/core/window_registry.h"
#include "syncplugin/type_handler.h"

namespace {

using vrok::sync::FindHandler;
using vrok::sync::ObjectTypeHandler;

// Synchronisation is about to touch the reader's files: ask a running reader to
// close and wait until it has.
void CloseReader() noexcept {
  try {
    vrok::WindowRegistry().Destroy(vrok::kReaderWindowClass);
  } catch (...) {
    // Out of memory while building a path: there is no reader we could reach.
  }
}

// The handler named by a record's object-type field, which must lie within the
// record's size and end within the field.
template <typename Record>
ObjectTypeHandler* HandlerOf(const Record& record) {
  if (record.size < offsetof(Record, objectType) + sizeof record.objectType) return nullptr;
  const std::u16string_view field(record.objectType, REPL_MAX_TYPE_NAME);
  const auto end = field.find(u'\0');
  return end == std::u16string_view::npos ? nullptr : FindHandler(field.substr(0, end));
}

}  // namespace

#define VROK_EXPORT extern "C" __attribute__((visibility("default")))

VROK_EXPORT int32_t InitObjType(const char16_t* objectType, IReplObjHandler** handler,
                                uint32_t partnerBit) {
  if (!objectType) {
    // The service is unloading the plug-in.
    for (ObjectTypeHandler* type : vrok::sync::Handlers()) type->CleanUp();
    return 1;
  }
  if (handler) *handler = nullptr;
  CloseReader();
  ObjectTypeHandler* type = FindHandler(objectType);
  if (!type || !handler) return 0;
  return type->CreateObjectHandler(partnerBit, handler);
}

VROK_EXPORT int32_t ObjectNotify(ReplNotify* notify) {
  if (!notify) return 0;
  ObjectTypeHandler* type = HandlerOf(*notify);
  return type ? type->ObjectNotify(*notify) : 0;
}

VROK_EXPORT int32_t GetObjTypeInfo(ReplTypeInfo* info) {
  if (!info) return 0;
  ObjectTypeHandler* type = HandlerOf(*info);
  // The counts are written only into a record that says it has room for them.
  constexpr std::size_t countsEnd = offsetof(ReplTypeInfo, totalSize) + sizeof info->totalSize;
  if (!type || info->size < countsEnd) return 0;
  return type->ObjectTypeInfo(*info);
}

VROK_EXPORT int32_t ReportStatus(const char16_t*, uint32_t code, uint32_t) {
  if (code == 1) CloseReader();
  return 1;
}
