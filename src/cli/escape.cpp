#include "cli/escape.hpp"

#include "tree/unicode/unicode.hpp"

namespace taxon::cli {
namespace {

void put_hex_byte(std::string& out, std::string_view prefix, unsigned char c) {
    static constexpr char HEX[] = "0123456789abcdef";
    out += prefix;
    out += HEX[c >> 4];
    out += HEX[c & 15];
}

// Length of the well-formed UTF-8 character at s[i], or 0 when the byte there
// does not begin one.
std::size_t character_at(std::string_view s, std::size_t i) {
    char32_t cp;
    const std::size_t n = unicode::read_char(s, i, cp);
    // read_char reads a malformed byte as one replacement character; a real
    // one-byte character is ASCII.
    return n == 1 && static_cast<unsigned char>(s[i]) >= 0x80 ? 0 : n;
}

// Copies well-formed multi-byte characters as they are, writes a byte that
// begins none as `malformed` and two hex digits, and hands every one-byte
// character to `ascii`: the two output forms differ only there.
template <typename Ascii>
void append_escaped(std::string& out, std::string_view bytes, std::string_view malformed, Ascii ascii) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const std::size_t n = character_at(bytes, i);
        if (n == 0) {
            put_hex_byte(out, malformed, c);
            ++i;
        } else if (n > 1) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            ascii(c);
            ++i;
        }
    }
}

}  // namespace

void append_printable(std::string& out, std::string_view bytes) {
    append_escaped(out, bytes, "\\x", [&out](unsigned char c) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7F) put_hex_byte(out, "\\x", c);
                else out += static_cast<char>(c);
        }
    });
}

std::string printable(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    append_printable(out, bytes);
    return out;
}

void append_json_string(std::string& out, std::string_view bytes) {
    out += '"';
    append_escaped(out, bytes, "\\udc", [&out](unsigned char c) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) put_hex_byte(out, "\\u00", c);
                else out += static_cast<char>(c);
        }
    });
    out += '"';
}

}  // namespace taxon::cli
