// Text that came from a device (a camera's name, a chip's strings and
// version fields), made safe to print on a terminal: a hostile or damaged
// device must not reach it with escape sequences (window titles, colours,
// a cleared screen).
#ifndef ZQ_PRINTABLE_H
#define ZQ_PRINTABLE_H

#include <string>
#include <string_view>

namespace zq
{

// The text with every byte that is not printable shown as \xNN: the C0
// controls, DEL, bytes that are no part of valid UTF-8 (among them the
// 8-bit C1 controls 0x80 to 0x9F) and the C1 controls written in UTF-8
// (U+0080 to U+009F, each of their two bytes); a backslash becomes \\ so
// that the escapes cannot be told apart from the text.  Printable ASCII
// and other valid UTF-8 stay as they are.
std::string printable(std::string_view text);

} // namespace zq

#endif
