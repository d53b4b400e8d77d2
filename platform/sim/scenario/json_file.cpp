#include "sim/scenario/json_file.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sim/errors.h"

namespace sim::scenario {

namespace {

using nlohmann::json;

// Walks text that the parser has accepted and notes the line where each value starts. Keys are taken as
// written between their quotes, which is how the readers name them too.
class LineScanner {
  public:
    LineScanner(const std::string& text, std::map<std::string, int>& lines) : text_(text), lines_(lines) {}
    void Scan() { Value(""); }

  private:
    void Skip() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
            if (text_[at_] == '\n') ++line_;
            ++at_;
        }
    }
    char Peek() {
        Skip();
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    std::string Quoted() {
        std::string out;
        ++at_;  // the opening quote
        while (at_ < text_.size() && text_[at_] != '"') {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) out += text_[at_++];
            out += text_[at_++];
        }
        ++at_;
        return out;
    }
    void Value(const std::string& pointer) {
        char c = Peek();
        lines_[pointer] = line_;
        if (c == '{') return Members(pointer);
        if (c == '[') return Elements(pointer);
        if (c == '"') {
            Quoted();
            return;
        }
        while (at_ < text_.size() && !std::strchr(",]} \t\r\n", text_[at_])) ++at_;
    }
    void Members(const std::string& pointer) {
        ++at_;
        if (Peek() == '}') {
            ++at_;
            return;
        }
        for (;;) {
            Peek();
            std::string key = Quoted();
            Peek();
            ++at_;  // the colon
            Value(pointer + "/" + key);
            char next = Peek();
            ++at_;
            if (next != ',') return;
        }
    }
    void Elements(const std::string& pointer) {
        ++at_;
        if (Peek() == ']') {
            ++at_;
            return;
        }
        for (int index = 0;; ++index) {
            Value(pointer + "/" + std::to_string(index));
            char next = Peek();
            ++at_;
            if (next != ',') return;
        }
    }

    const std::string& text_;
    std::map<std::string, int>& lines_;
    size_t at_ = 0;
    int line_ = 1;
};

const char* TypeName(json::value_t type) {
    switch (type) {
        case json::value_t::object:
            return "an object";
        case json::value_t::array:
            return "a list";
        case json::value_t::string:
            return "a text";
        case json::value_t::boolean:
            return "true or false";
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
            return "a whole number";
        case json::value_t::number_float:
            return "a number with a fraction";
        default:
            return "null";
    }
}

}  // namespace

JsonFile JsonFile::Read(const std::string& host_path) {
    std::ifstream in(host_path, std::ios::binary);
    if (!in) throw InputError(host_path + ": cannot be read");
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str(), host_path);
}

JsonFile JsonFile::Parse(const std::string& text, const std::string& name) {
    JsonFile file;
    file.name_ = name;
    try {
        file.root_ = json::parse(text);
    } catch (const json::parse_error& e) {
        // The parser counts bytes; a person counts lines.
        size_t end = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
        int line = 1;
        for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
        std::string what = e.what();
        size_t detail = what.find(": ");
        throw InputErrorAt(name, line,
                           "not JSON: " + (detail == std::string::npos ? what : what.substr(detail + 2)));
    }
    LineScanner(text, file.lines_).Scan();
    return file;
}

int JsonFile::LineOf(const std::string& pointer) const {
    for (std::string p = pointer;; p = p.substr(0, p.rfind('/'))) {
        auto found = lines_.find(p);
        if (found != lines_.end()) return found->second;
        if (p.empty()) return 1;
    }
}

std::string FieldName(const std::string& pointer) {
    std::string name;
    size_t at = 0;
    while (at < pointer.size()) {
        size_t next = pointer.find('/', at + 1);
        std::string part =
            pointer.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        bool index = !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
        name += index ? "[" + part + "]" : (name.empty() ? "" : ".") + part;
        at = next == std::string::npos ? pointer.size() : next;
    }
    return name.empty() ? "(the whole file)" : name;
}

Object::Object(const JsonFile& file, const json& value, std::string pointer)
    : file_(&file), value_(&value), pointer_(std::move(pointer)) {
    if (!value.is_object())
        throw InputErrorAt(
            file.name(), file.LineOf(pointer_),
            "field \"" + FieldName(pointer_) + "\": expected an object, found " + TypeName(value.type()));
}

bool Object::Has(const std::string& key) const {
    return value_->contains(key);
}

void Object::Fail(const std::string& key, const std::string& what) const {
    throw InputErrorAt(file_->name(), LineOf(key), "field \"" + FieldName(Pointer(key)) + "\": " + what);
}

void Object::FailHere(const std::string& what) const {
    throw InputErrorAt(file_->name(), line(), "field \"" + FieldName(pointer_) + "\": " + what);
}

int Object::line() const {
    return file_->LineOf(pointer_);
}

int Object::LineOf(const std::string& key) const {
    return file_->LineOf(Pointer(key));
}

const json& Object::Get(const std::string& key, json::value_t type, const char* what) {
    read_[key] = true;
    const json& value = value_->at(key);
    bool number = type == json::value_t::number_integer;
    bool matches = number ? value.is_number_integer() : value.type() == type;
    if (!matches) Fail(key, std::string("expected ") + what + ", found " + TypeName(value.type()));
    return value;
}

std::optional<std::string> Object::String(const std::string& key) {
    if (!Has(key)) return std::nullopt;
    return Get(key, json::value_t::string, "a text").get<std::string>();
}

std::string Object::String(const std::string& key, const std::string& fallback) {
    return String(key).value_or(fallback);
}

std::optional<int64_t> Object::Int(const std::string& key, int64_t min, int64_t max) {
    if (!Has(key)) return std::nullopt;
    const json& value = Get(key, json::value_t::number_integer, "a whole number");
    if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(INT64_MAX))
        Fail(key, "too large");
    int64_t number = value.get<int64_t>();
    if (number < min || number > max)
        Fail(key,
             std::to_string(number) + " is outside " + std::to_string(min) + " to " + std::to_string(max));
    return number;
}

int64_t Object::Int(const std::string& key, int64_t min, int64_t max, int64_t fallback) {
    return Int(key, min, max).value_or(fallback);
}

std::optional<bool> Object::Bool(const std::string& key) {
    if (!Has(key)) return std::nullopt;
    return Get(key, json::value_t::boolean, "true or false").get<bool>();
}

bool Object::Bool(const std::string& key, bool fallback) {
    return Bool(key).value_or(fallback);
}

std::vector<std::string> Object::Strings(const std::string& key) {
    std::vector<std::string> texts;
    if (!Has(key)) return texts;
    const json& list = Get(key, json::value_t::array, "a list of texts");
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].is_string())
            Fail(key + "/" + std::to_string(i),
                 std::string("expected a text, found ") + TypeName(list[i].type()));
        texts.push_back(list[i].get<std::string>());
    }
    return texts;
}

std::optional<Object> Object::Child(const std::string& key) {
    if (!Has(key)) return std::nullopt;
    read_[key] = true;
    return Object(*file_, value_->at(key), Pointer(key));
}

std::vector<Object> Object::Children(const std::string& key) {
    std::vector<Object> children;
    if (!Has(key)) return children;
    const json& list = Get(key, json::value_t::array, "a list of objects");
    for (size_t i = 0; i < list.size(); ++i)
        children.emplace_back(*file_, list[i], Pointer(key) + "/" + std::to_string(i));
    return children;
}

const json* Object::Raw(const std::string& key) {
    if (!Has(key)) return nullptr;
    read_[key] = true;
    return &value_->at(key);
}

void Object::Done() const {
    for (auto& [key, value] : value_->items())
        if (!read_.count(key)) Fail(key, "unknown field");
}

}  // namespace sim::scenario
