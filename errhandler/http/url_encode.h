#pragma once
// The form encoding the library uses for everything it posts.

#include <string>
#include <string_view>

#include "platform/runtime/dispatch.h"

namespace kx::errhandler {

// Keeps the bytes 65 ("A") to 122 ("z") and "=" (61) unchanged and writes every other byte as "%"
// plus two upper-case hexadecimal digits: "a b" becomes "a%20b", "10" becomes "%31%30". Strings
// are UTF-8, so a character outside ASCII becomes its UTF-8 bytes, each escaped ("é" gives
// "%C3%A9").
std::string URLEncode(std::string_view text);

// Appends "%" and the byte as two upper-case hexadecimal digits.
void appendPercentEscape(std::string& out, unsigned char byte);

// The form body of a list of "name:value" items, in order: name "=" URLEncode(value), joined by
// "&". The name is the text before the first ":" and is sent as it stands; an item without a colon
// is sent as "Unknown=" + URLEncode(item). No items give "". An item that is not a string raises
// RuntimeError 13 (type mismatch).
std::string buildPostData(const Collection& items);

}  // namespace kx::errhandler
