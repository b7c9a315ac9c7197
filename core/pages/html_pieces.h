#pragma once
// Cuts a long document into pieces that the viewer can take one after the
// other, so that the first screen shows before the rest is read. A cut is
// made only at a line break (<BR>) where nothing but the frame elements
// (html, body, font) is open, with no white space beside it and text after; the
// break itself is dropped (the viewer starts a new paragraph there, which
// looks the same as a new line) and every later piece opens again the
// frame elements open at its cut, with their attributes, so its text keeps
// the same font. Any other markup before a candidate cut (a list, a table,
// a paragraph, a comment, an element left open) stops the cutting from
// there on: the rest is one piece.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vrok {

// The pieces of html in order: the first holds about firstChars characters
// (more when no cut is allowed before), each later one about nextChars.
// One piece, the whole document, when no cut is made.
std::vector<std::u16string> SplitAtLineBreaks(std::u16string_view html, std::size_t firstChars,
                                              std::size_t nextChars);

}  // namespace vrok
