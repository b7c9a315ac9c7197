#pragma once
// What a program outside the content library may know of the three content
// files: their names beside the program, and the keys kept for user data.

#include <cstdint>
#include <string_view>

namespace vrok::format {

// Keys from here up are never assigned by the book writer by itself: the
// reader's user data keeps them for pages outside the content.
inline constexpr std::uint32_t kReservedKeysFrom = 0xFFFFFF00;

inline constexpr std::string_view kPrefixName = "VROK-Vrok";
inline constexpr std::string_view kDataSuffix = "-Data.pdb";
inline constexpr std::string_view kStringsSuffix = "-Strings.pdb";
inline constexpr std::string_view kBinarySuffix = "-Binary-PPC.pdb";
// The book-wide search index, written beside the three by vrok-book.
inline constexpr std::string_view kSearchSuffix = "-Search.idx";

}  // namespace vrok::format
