#pragma once
// Object-type handlers: one per object type the plug-in registers with the
// sync service, kept in a static table and found by exact name.

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/core/replication.h"

namespace vrok::sync {

class ObjectTypeHandler {
 public:
  virtual ~ObjectTypeHandler() = default;
  virtual std::u16string_view Name() const = 0;
  // 1 with a new object handler stored through `out`; 0 with null stored when
  // memory runs out. `out` must not be null.
  virtual std::int32_t CreateObjectHandler(std::uint32_t partnerBit, IReplObjHandler** out) = 0;
  virtual std::int32_t CleanUp() = 0;
  virtual std::int32_t ObjectNotify(const ReplNotify& notify) = 0;
  virtual std::int32_t ObjectTypeInfo(ReplTypeInfo& info) = 0;
};

// The "Vrok AutoUpdate" type: it never has objects to send or receive.
class AutoUpdateTypeHandler final : public ObjectTypeHandler {
 public:
  std::u16string_view Name() const override { return u"Vrok AutoUpdate"; }
  std::int32_t CreateObjectHandler(std::uint32_t partnerBit, IReplObjHandler** out) override;
  std::int32_t CleanUp() override { return 1; }
  std::int32_t ObjectNotify(const ReplNotify&) override { return 0; }
  std::int32_t ObjectTypeInfo(ReplTypeInfo& info) override;
};

std::span<ObjectTypeHandler* const> Handlers();

// The handler whose name equals `name` code unit for code unit; null when
// none does.
ObjectTypeHandler* FindHandler(std::u16string_view name);

}  // namespace vrok::sync
