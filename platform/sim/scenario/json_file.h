// A JSON file of a scenario, read whole, with the line each value starts on, and a reader of one object's
// fields that refuses what a person could have mistyped: a wrong type, a value out of range, a field no one
// reads. Every fault throws sim::InputError naming the file, the line and the field.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim::scenario {

class JsonFile {
  public:
    // Throws InputError for a file that cannot be read or is not JSON, with the line of the fault.
    static JsonFile Read(const std::string& host_path);
    static JsonFile Parse(const std::string& text, const std::string& name);

    const nlohmann::json& root() const { return root_; }
    const std::string& name() const { return name_; }
    // The line a value starts on, by its JSON pointer ("/machine/drives/0"); for a pointer to nothing, the
    // line of its nearest ancestor.
    int LineOf(const std::string& pointer) const;

  private:
    std::string name_;
    nlohmann::json root_;
    std::map<std::string, int> lines_;
};

// "machine.drives[0].medium" for "/machine/drives/0/medium": the name a person finds in the file.
std::string FieldName(const std::string& pointer);

// The fields of one JSON object. Each getter marks the field as read; Done refuses fields none read.
class Object {
  public:
    // Refuses a value that is not an object.
    Object(const JsonFile& file, const nlohmann::json& value, std::string pointer);

    bool Has(const std::string& key) const;
    std::optional<std::string> String(const std::string& key);
    std::string String(const std::string& key, const std::string& fallback);
    std::optional<int64_t> Int(const std::string& key, int64_t min, int64_t max);
    int64_t Int(const std::string& key, int64_t min, int64_t max, int64_t fallback);
    std::optional<bool> Bool(const std::string& key);
    bool Bool(const std::string& key, bool fallback);
    std::vector<std::string> Strings(const std::string& key);  // a list of texts, or none
    std::optional<Object> Child(const std::string& key);       // an object, or none
    std::vector<Object> Children(const std::string& key);      // a list of objects, or none
    // The raw value, for fields of several forms; null when absent.
    const nlohmann::json* Raw(const std::string& key);

    // Refuses every field that no getter read.
    void Done() const;

    [[noreturn]] void Fail(const std::string& key, const std::string& what) const;
    [[noreturn]] void FailHere(const std::string& what) const;  // about the object itself
    int line() const;
    int LineOf(const std::string& key) const;
    std::string Pointer(const std::string& key) const { return pointer_ + "/" + key; }
    const JsonFile& file() const { return *file_; }

  private:
    const nlohmann::json& Get(const std::string& key, nlohmann::json::value_t type, const char* what);

    const JsonFile* file_;
    const nlohmann::json* value_;
    std::string pointer_;
    std::map<std::string, bool> read_;
};

}  // namespace sim::scenario
