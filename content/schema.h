#pragma once
// Schema queries: what a row is follows from its field name, what a table
// shows from its "table type" child. Each query returns false (or 0) for a
// row at or beyond RowCount and then leaves its output untouched.

#include <optional>
#include <string>
#include <string_view>

#include "content/content_database.h"

namespace vrok {

// Names the database layer resolves.
namespace names {
inline constexpr std::u16string_view kTable = u"table";
inline constexpr std::u16string_view kTableType = u"table type";
inline constexpr std::u16string_view kViewMode = u"view mode";
inline constexpr std::u16string_view kIsPath = u"is path";
inline constexpr std::u16string_view kFootnotes = u"footnotes";
inline constexpr std::u16string_view kFootnote = u"footnote";
inline constexpr std::u16string_view kPopup = u"popup";
inline constexpr std::u16string_view kString = u"string";
inline constexpr std::u16string_view kDefinitions = u"definitions";
inline constexpr std::u16string_view kTitle = u"title";
}  // namespace names

bool FieldIs(const ContentDatabase& db, RowIndex row, std::u16string_view fieldName);
bool HasChild(const ContentDatabase& db, RowIndex row, std::u16string_view fieldName);
bool StringOf(const ContentDatabase& db, RowIndex row, std::u16string& text);
bool TableNameIs(const ContentDatabase& db, RowIndex row, std::u16string_view name);
bool TableNameOf(const ContentDatabase& db, RowIndex row, std::u16string& text);
bool TableTypeIs(const ContentDatabase& db, RowIndex row, std::u16string_view type);
// The "table type" text of the row's table (the row itself when it is a
// table node, else its nearest table ancestor), or of the row itself: none
// when there is no such child, empty when its text cannot be read. For a
// decision that compares one type with several names.
std::optional<std::u16string> TableType(const ContentDatabase& db, RowIndex row);
std::optional<std::u16string> OwnTableType(const ContentDatabase& db, RowIndex row);
bool OwnTableTypeIs(const ContentDatabase& db, RowIndex row, std::u16string_view type);
bool ViewModeIs(const ContentDatabase& db, RowIndex row, std::u16string_view mode);
bool IsDefinitionsTable(const ContentDatabase& db, RowIndex row);
bool IsPath(const ContentDatabase& db, RowIndex row, std::uint8_t& flag);
RowIndex TableRowOf(const ContentDatabase& db, RowIndex row);
RowIndex FootnotesRowOf(const ContentDatabase& db, RowIndex row);
bool AppendFootnotes(const ContentDatabase& db, RowIndex row, std::u16string& text);
bool FootnoteText(const ContentDatabase& db, RowIndex row, std::u16string& text);
bool PopupText(const ContentDatabase& db, RowIndex row, std::u16string& text);

}  // namespace vrok
