#pragma once
// Numbers of the content model. Rows (which are also page ids below
// RowCount) are plain 32-bit numbers; keys and string ids get types of their
// own so that a key is never used as a row by accident.

#include <cstdint>

namespace vrok {

class ContentDatabase;

using RowIndex = std::uint32_t;
using FieldId = std::uint16_t;
using TypeId = std::uint16_t;
enum class NodeKey : std::uint32_t {};
enum class StringId : std::uint32_t {};

inline constexpr FieldId kNoField = 65535;

// One decoded row of the node table; a plain value, copied freely.
struct NodeRow {
  const ContentDatabase* db = nullptr;
  RowIndex row = 0;
  NodeKey key{};
  RowIndex parent = 0;
  FieldId field = 0;
  TypeId type = 0;
  std::uint32_t value = 0;
  RowIndex keyOrder = 0;
  std::uint32_t followers = 0;
};

}  // namespace vrok
