#pragma once
// The content's UTF-8 (one-, two- and three-byte sequences, characters up to
// U+FFFF) to and from the program's 16-bit wide text.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vrok {

// Decodes the bytes of one stored string. Continuation bytes contribute their
// low six bits unchecked; a stray continuation byte 0x80..0xBF stands for
// U+0080..U+00BF; a four-byte lead is read as a three-byte sequence. A zero
// byte ends the text, and so does a sequence cut short by the end of the
// bytes or by a zero byte, which is dropped with everything after it.
std::u16string DecodeContentUtf8(std::span<const std::uint8_t> bytes);

// Encodes wide text so that DecodeContentUtf8 gives it back unchanged: each
// code unit (lone surrogates included) as one to three bytes. Text holding a
// zero code unit cannot be stored and gives nothing.
std::optional<std::string> EncodeContentUtf8(std::u16string_view text);

// Strict conversions for text that crosses program boundaries (command lines,
// JSON sources). FromUtf8 gives nothing for invalid UTF-8.
std::optional<std::u16string> FromUtf8(std::string_view utf8);
std::string ToUtf8(std::u16string_view text);  // lone surrogates become U+FFFD

}  // namespace vrok
