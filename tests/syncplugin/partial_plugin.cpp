// A plug-in with only one of the four entry points, for vrok-sync to refuse.

#include "platform/core/replication.h"

extern "C" __attribute__((visibility("default"))) int32_t InitObjType(const char16_t*,
                                                                      IReplObjHandler** handler,
                                                                      uint32_t) {
  if (handler) *handler = nullptr;
  return 0;
}
