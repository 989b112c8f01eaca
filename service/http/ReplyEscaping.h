#pragma once

#include <string>
#include <string_view>

// The reply body the application's client reads: the translation in double
// quotes, line breaks written as the four characters \r\n, a blank line as
// "\r\n \r\n" (which the client turns into a paragraph break), and double
// quotes as \". The client undoes nothing else, so nothing else is escaped.
// A translation ending in a backslash is closed by a space instead of a
// quote, which the client drops just the same.
namespace ReplyEscaping {

std::string escape(std::string_view translation);

}  // namespace ReplyEscaping
