// What a scenario expects, and the report of every difference from what the run did.
#include <sstream>

#include "sim/filesystem.h"
#include "sim/registry.h"
#include "sim/scenario/json_file.h"
#include "sim/scenario/run.h"

namespace sim::scenario {

namespace {

std::optional<std::vector<std::string>> Texts(Object& o, const std::string& key) {
    if (!o.Has(key)) return std::nullopt;
    return o.Strings(key);
}

void ReadRunEntries(Expectations& e, Object& o) {
    const nlohmann::json* entries = o.Raw("run_entries");
    if (!entries) return;
    if (!entries->is_object()) o.Fail("run_entries", "expected an object: value name -> command or null");
    for (auto& [name, command] : entries->items()) {
        if (command.is_null())
            e.run_entries[name] = std::nullopt;
        else if (command.is_string())
            e.run_entries[name] = command.get<std::string>();
        else
            o.Fail("run_entries/" + name, "expected the command's text, or null for no entry");
    }
}

void ReadRegistry(Expectations& e, Object& o) {
    for (Object& r : o.Children("registry")) {
        RegistryExpectation x;
        x.line = r.line();
        std::optional<std::string> key = r.String("key");
        if (!key) r.FailHere("\"key\" is required");
        x.key = *key;
        x.value = r.String("value");
        x.present = r.Bool("present", true);
        if (const nlohmann::json* data = r.Raw("data")) {
            if (!x.value) r.Fail("data", "only with \"value\"");
            if (data->is_string())
                x.text = data->get<std::string>();
            else if (data->is_number_unsigned() && data->get<uint64_t>() <= 0xFFFFFFFFull)
                x.number = data->get<uint32_t>();
            else
                r.Fail("data", "expected a text or a DWORD (0 to 4294967295)");
        }
        r.Done();
        e.registry.push_back(x);
    }
}

void ReadFiles(Expectations& e, Object& o) {
    for (Object& f : o.Children("files")) {
        FileExpectation x;
        x.line = f.line();
        std::optional<std::string> path = f.String("path");
        if (!path) f.FailHere("\"path\" is required");
        x.path = *path;
        x.present = f.Bool("present", true);
        x.contains = f.String("contains");
        f.Done();
        e.files.push_back(x);
    }
}

std::string List(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (size_t i = 0; i < texts.size(); ++i) out += (i ? ", \"" : "\"") + texts[i] + "\"";
    return out + "]";
}

// The first place two lists part, told so that a person sees it without counting.
std::string ListDifference(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) ++i;
    std::ostringstream out;
    out << "from entry " << i + 1 << ": expected ";
    out << (i < expected.size() ? "\"" + expected[i] + "\"" : std::string("no more"));
    out << ", found " << (i < actual.size() ? "\"" + actual[i] + "\"" : std::string("no more"));
    out << "\n      expected " << List(expected) << "\n      found    " << List(actual);
    return out.str();
}

void CheckRegistry(const Expectations& e, const Registry& registry, std::vector<std::string>& out) {
    for (const RegistryExpectation& x : e.registry) {
        std::string where = "line " + std::to_string(x.line) + ": ";
        std::string name = x.key + (x.value ? " \"" + *x.value + "\"" : "");
        std::optional<RegValue> value;
        bool exists = false;
        try {
            exists = x.value ? (value = registry.GetValue(x.key, *x.value)).has_value()
                             : registry.KeyExists(x.key);
        } catch (const std::invalid_argument& bad) {
            out.push_back(where + "registry " + name + ": not a registry path (" + bad.what() + ")");
            continue;
        }
        if (exists != x.present) {
            out.push_back(where + "registry " + name +
                          (x.present ? ": expected, missing" : ": expected none, present"));
            continue;
        }
        if (!value) continue;
        std::string found = regfile::FormatData(*value);
        if (x.text && value->text() != x.text)
            out.push_back(where + "registry " + name + ": expected \"" + *x.text + "\", found " + found);
        if (x.number && value->dword() != x.number)
            out.push_back(where + "registry " + name + ": expected dword " + std::to_string(*x.number) +
                          ", found " + found);
    }
}

void CheckFiles(const Expectations& e, const FileSystem& files, std::vector<std::string>& out) {
    for (const FileExpectation& x : e.files) {
        std::string where = "line " + std::to_string(x.line) + ": file " + x.path;
        bool exists = files.Exists(x.path);
        if (exists != x.present) {
            out.push_back(where + (x.present ? ": expected, missing" : ": expected none, present"));
            continue;
        }
        if (!x.contains || !exists) continue;
        std::optional<std::string> data = files.ReadFile(x.path);
        if (!data)
            out.push_back(where + ": a folder, expected a file containing \"" + *x.contains + "\"");
        else if (data->find(*x.contains) == std::string::npos)
            out.push_back(where + ": does not contain \"" + *x.contains + "\"");
    }
}

void CheckRunEntries(const Expectations& e, const Outcome& o, std::vector<std::string>& out) {
    for (const auto& [name, command] : e.run_entries) {
        auto found = o.run_entries.find(name);
        std::string actual = found == o.run_entries.end() ? "no entry" : "\"" + found->second + "\"";
        std::string expected = command ? "\"" + *command + "\"" : "no entry";
        if (actual != expected)
            out.push_back("Run entry \"" + name + "\": expected " + expected + ", found " + actual);
    }
}

}  // namespace

void ReadExpectations(Scenario& s, Object& root) {
    std::optional<Object> o = root.Child("expect");
    if (!o) return;
    Expectations& e = s.expect;
    e.any = true;
    e.path = o->String("path");
    e.phases = Texts(*o, "phases");
    e.progress = Texts(*o, "progress");
    if (auto n = o->Int("restarts", 0, 100)) e.restarts = static_cast<int>(*n);
    if (auto n = o->Int("boots", 1, 100)) e.boots = static_cast<int>(*n);
    if (auto n = o->Int("speaker_mode", 0, 0xFFFFFFFFll)) e.speaker_mode = static_cast<uint32_t>(*n);
    if (const nlohmann::json* statuses = o->Raw("exit_statuses")) {
        e.exit_statuses.emplace();
        if (!statuses->is_array()) o->Fail("exit_statuses", "expected a list of exit statuses");
        for (size_t i = 0; i < statuses->size(); ++i) {
            if (!(*statuses)[i].is_number_integer())
                o->Fail("exit_statuses/" + std::to_string(i), "expected a whole number");
            e.exit_statuses->push_back((*statuses)[i].get<int64_t>());
        }
    }
    e.deadlock = o->Bool("deadlock", false);
    ReadRunEntries(e, *o);
    ReadRegistry(e, *o);
    ReadFiles(e, *o);
    o->Done();
}

std::vector<std::string> CheckExpectations(const Scenario& scenario, const Run& run) {
    const Expectations& e = scenario.expect;
    const Outcome& o = run.outcome;
    std::vector<std::string> out;
    if (e.path && *e.path != o.path)
        out.push_back("path: expected \"" + *e.path + "\", found \"" + o.path + "\"");
    if (e.phases && *e.phases != o.phases) out.push_back("phases " + ListDifference(*e.phases, o.phases));
    if (e.progress && *e.progress != o.progress)
        out.push_back("progress lines " + ListDifference(*e.progress, o.progress));
    if (e.restarts && *e.restarts != o.restart_requests)
        out.push_back("restart requests: expected " + std::to_string(*e.restarts) + ", found " +
                      std::to_string(o.restart_requests));
    if (e.boots && *e.boots != o.boots)
        out.push_back("boots: expected " + std::to_string(*e.boots) + ", found " + std::to_string(o.boots));
    if (e.speaker_mode && e.speaker_mode != o.speaker_mode)
        out.push_back("speaker mode: expected " + std::to_string(*e.speaker_mode) + ", found " +
                      (o.speaker_mode ? std::to_string(*o.speaker_mode) : std::string("no component")));
    if (e.exit_statuses) {
        std::vector<std::string> expected, actual;
        for (int64_t status : *e.exit_statuses) expected.push_back(std::to_string(status));
        for (const ProcessRecord& p : o.processes)
            if (p.setup) actual.push_back(p.exit_status ? std::to_string(*p.exit_status) : "running");
        if (expected != actual) out.push_back("Setup's exit statuses " + ListDifference(expected, actual));
    }
    if (e.deadlock != !o.deadlock.empty())
        out.push_back(e.deadlock ? "expected a deadlock, found none" : "deadlock: " + o.deadlock);
    for (const ProcessRecord& p : o.processes)
        if (!p.crash.empty()) out.push_back(p.program + " crashed: " + p.crash);
    CheckRunEntries(e, o, out);
    CheckRegistry(e, run.machine->registry(), out);
    CheckFiles(e, run.machine->files(), out);
    return out;
}

}  // namespace sim::scenario
