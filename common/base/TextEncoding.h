#pragma once

#include <string>
#include <string_view>

namespace tarnix {

// True when the bytes are well-formed UTF-8: no stray continuation bytes, no overlong forms,
// no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// Every byte read as Windows-1252 and written out as UTF-8. The five bytes that code page
// leaves unassigned become the control characters of the same number, as Windows reads them.
std::string Windows1252ToUtf8(std::string_view bytes);

// A stored text file as UTF-8: files written on Windows are in its "ANSI" code page, so a
// text that is not valid UTF-8 is read as Windows-1252.
std::string StoredTextToUtf8(std::string_view bytes);

// The characters of a UTF-8 text: every byte that is not a continuation byte starts one. Names
// are limited in characters, so 25 accented letters fit where 25 bytes would not.
std::size_t CharacterCount(std::string_view utf8);

// The text with every control character written out as an escape: C0 and DEL as "\x0D", the
// C1 characters (two bytes in UTF-8, as a Windows file's unassigned bytes decode too) as
// "\u0085". A value shown this way can neither start a line of its own nor drive a terminal.
std::string EscapeControlCharacters(std::string_view utf8);

// The first control character of the text in the same escaped form; empty when there is none.
std::string FirstControlCharacter(std::string_view utf8);

} // namespace tarnix
