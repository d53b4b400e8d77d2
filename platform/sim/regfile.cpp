// REGEDIT4 text: the parser behind Registry::ImportRegText and the writer behind the export and the
// transcript.
//
//   REGEDIT4
//   ; a comment
//   [HKEY_LOCAL_MACHINE\Software\X]      (HKLM, HKCU, HKCR and HKU work too)
//   @="the default value"
//   "Path"="C:\\Program Files\\X"        (\\ and \" are the only escapes)
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,\                   (a line ending in a backslash goes on in the next)
//     03
//   "Expand"=hex(2):25,00                (hex(N): a value of type N, N in hex)
//   "Old"=-                              (deletes the value)
//   [-HKEY_LOCAL_MACHINE\Software\Y]     (deletes the key and everything below it)
#include <cstdio>

#include "sim/errors.h"
#include "sim/registry.h"

namespace sim::regfile {

namespace {

struct Line {
    int number;
    std::string text;
};

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Up to max_digits hex digits and nothing else.
std::optional<uint32_t> ParseHex(std::string_view digits, size_t max_digits) {
    if (digits.empty() || digits.size() > max_digits) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return value;
}

std::vector<Line> SplitLines(const std::string& text) {
    std::vector<Line> lines;
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a UTF-8 byte order mark
    int number = 1;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back({number++, std::string(Trim(std::string_view(text).substr(start, end - start)))});
        start = end + 1;
    }
    return lines;
}

class Parser {
  public:
    Parser(const std::string& source, const RegLimits& limits) : source_(source), limits_(limits) {}
    std::vector<Operation> Run(const std::vector<Line>& lines);

  private:
    [[noreturn]] void Fail(const std::string& what) const { throw InputErrorAt(source_, line_, what); }
    void Section(std::string_view text);
    void Value(std::string_view text);
    std::string Quoted(std::string_view text, size_t& pos) const;
    RegValue HexData(std::string_view list, DWORD type) const;
    RegValue Data(std::string_view data) const;

    const std::string& source_;
    RegLimits limits_;
    int line_ = 0;
    std::optional<RegPath> key_;  // the section the values belong to
    bool key_deleted_ = false;
    std::vector<Operation> operations_;
};

std::vector<Operation> Parser::Run(const std::vector<Line>& lines) {
    line_ = 1;
    if (lines.empty() || lines[0].text != "REGEDIT4") Fail("expected the header REGEDIT4");
    for (size_t i = 1; i < lines.size(); ++i) {
        line_ = lines[i].number;
        std::string text = lines[i].text;
        if (text.empty() || text[0] == ';') continue;
        if (text[0] == '[') {
            Section(text);
            continue;
        }
        // A line that ends in a backslash goes on in the next one (long hex lists).
        while (!text.empty() && text.back() == '\\') {
            if (++i >= lines.size()) Fail("the text ends inside a continued line");
            text.pop_back();
            text += TrimLeft(lines[i].text);
        }
        Value(text);
    }
    return std::move(operations_);
}

void Parser::Section(std::string_view text) {
    if (text.back() != ']') Fail("a key section must end with ]");
    std::string_view inner = text.substr(1, text.size() - 2);
    key_deleted_ = !inner.empty() && inner[0] == '-';
    if (key_deleted_) inner.remove_prefix(1);
    std::string error;
    key_ = ParseRegPath(inner, limits_, &error);
    if (!key_) Fail(error);
    if (key_deleted_ && key_->names.empty()) Fail("a root key cannot be deleted");
    operations_.push_back(
        {key_deleted_ ? Operation::Kind::DeleteKey : Operation::Kind::CreateKey, *key_, "", {}});
}

void Parser::Value(std::string_view text) {
    if (text[0] != '"' && text[0] != '@')
        Fail("expected [KEY], \"name\"=..., @=..., a ; comment or a blank line");
    if (!key_) Fail("a value before the first [KEY] section");
    if (key_deleted_) Fail("a value in a section that deletes its key");
    size_t pos = 1;
    std::string name = text[0] == '@' ? "" : Quoted(text, pos);
    if (name.size() > limits_.value_name_chars)
        Fail("value name longer than " + std::to_string(limits_.value_name_chars) + " characters");
    std::string_view rest = TrimLeft(text.substr(pos));
    if (rest.empty() || rest[0] != '=') Fail("expected = after the value name");
    std::string_view data = Trim(rest.substr(1));
    if (data == "-") {
        operations_.push_back({Operation::Kind::DeleteValue, *key_, name, {}});
        return;
    }
    operations_.push_back({Operation::Kind::SetValue, *key_, name, Data(data)});
}

// The text between double quotes at pos (just after the opening quote); pos ends after the closing quote.
std::string Parser::Quoted(std::string_view text, size_t& pos) const {
    std::string out;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\') {
            if (++pos >= text.size()) break;
            if (text[pos] != '\\' && text[pos] != '"')
                Fail(std::string("unknown escape \\") + text[pos] + " (write \\\\ for a backslash)");
        }
        out += text[pos];
    }
    Fail("a string without its closing \"");
}

RegValue Parser::Data(std::string_view data) const {
    if (!data.empty() && data[0] == '"') {
        size_t pos = 1;
        std::string text = Quoted(data, pos);
        if (!Trim(data.substr(pos)).empty()) Fail("unexpected text after the closing \"");
        return RegValue::String(text);
    }
    if (StartsWithNoCase(data, "dword:")) {
        std::optional<uint32_t> value = ParseHex(Trim(data.substr(6)), 8);
        if (!value) Fail("dword: takes one to eight hex digits");
        return RegValue::Dword(*value);
    }
    if (StartsWithNoCase(data, "hex:")) return HexData(data.substr(4), REG_BINARY);
    if (StartsWithNoCase(data, "hex(")) {
        size_t close = data.find("):");
        std::optional<uint32_t> type =
            close == std::string_view::npos ? std::nullopt : ParseHex(data.substr(4, close - 4), 8);
        if (!type) Fail("hex(N): needs the type N in hex, as in hex(2):");
        return HexData(data.substr(close + 2), *type);
    }
    Fail("unknown data \"" + std::string(data.substr(0, 20)) +
         "\": expected \"text\", dword:, hex: or hex(N):");
}

RegValue Parser::HexData(std::string_view list, DWORD type) const {
    std::vector<uint8_t> bytes;
    list = Trim(list);
    while (!list.empty()) {
        size_t comma = list.find(',');
        std::optional<uint32_t> byte = ParseHex(Trim(list.substr(0, comma)), 2);
        if (!byte) Fail("a hex list takes bytes of one or two hex digits separated by commas");
        bytes.push_back(static_cast<uint8_t>(*byte));
        if (comma == std::string_view::npos) break;
        list = list.substr(comma + 1);
        if (Trim(list).empty()) Fail("a hex list ends with a comma");
    }
    return RegValue::Binary(std::move(bytes), type);
}

std::string Escape(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A REG_SZ the quoted form holds exactly: one terminating NUL and no line breaks.
bool IsPlainString(const RegValue& value) {
    if (value.type != REG_SZ || value.data.empty() || value.data.back() != 0) return false;
    for (size_t i = 0; i + 1 < value.data.size(); ++i)
        if (value.data[i] == 0 || value.data[i] == '\r' || value.data[i] == '\n') return false;
    return true;
}

}  // namespace

std::vector<Operation> Parse(const std::string& text, const std::string& source_name,
                             const RegLimits& limits) {
    return Parser(source_name, limits).Run(SplitLines(text));
}

std::string FormatName(const std::string& name) {
    return name.empty() ? "@" : Escape(name);
}

std::string FormatData(const RegValue& value, size_t wrap_column, size_t first_line_used) {
    char text[32];
    if (IsPlainString(value)) return Escape(std::string(value.data.begin(), value.data.end() - 1));
    if (value.dword()) {
        std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(*value.dword()));
        return text;
    }
    if (value.type == REG_BINARY)
        std::snprintf(text, sizeof text, "hex:");
    else
        std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
    std::string out = text;
    size_t column = first_line_used + out.size();
    for (size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(text, sizeof text, i + 1 < value.data.size() ? "%02x," : "%02x", value.data[i]);
        size_t width = i + 1 < value.data.size() ? 3 : 2;
        // Leave room for the backslash that continues the line.
        if (wrap_column && i > 0 && column + width + 1 > wrap_column) {
            out += "\\\n  ";
            column = 2;
        }
        out += text;
        column += width;
    }
    return out;
}

}  // namespace sim::regfile
