// How the command writes arbitrary path bytes as one line of text or as a
// JSON string. Both keep well-formed UTF-8 as it is and escape the rest, so
// that the exact bytes can always be recovered from the output.
#pragma once

#include <string>
#include <string_view>

namespace taxon::cli {

// A backslash, tab, newline and carriage return become \\, \t, \n and \r;
// every other control byte (below 0x20, and 0x7F) and every byte that is not
// part of well-formed UTF-8 becomes \xHH.
void append_printable(std::string& out, std::string_view bytes);
std::string printable(std::string_view bytes);

// A JSON string: well-formed UTF-8 is kept; any other byte B becomes the lone
// surrogate \udcBB, as Python's "surrogateescape" does, so json.loads and
// os.fsencode give the bytes back.
void append_json_string(std::string& out, std::string_view bytes);

}  // namespace taxon::cli
