// The user's script in scenario.json: what the user does, each at a time after a boot began or when a
// window appears.
#include "res/resource.h"
#include "sim/api/user.h"
#include "sim/resources.h"
#include "sim/scenario/json_file.h"
#include "sim/scenario/scenario.h"

namespace sim::scenario {

namespace {

struct Named {
    const char* name;
    int value;
};

const Named kButtons[] = {{"Install", IDC_INSTALL},
                          {"Exit", IDC_EXIT},
                          {"Eject CD", IDC_EJECT_CD},
                          {"OK", IDOK},
                          {"Cancel", IDCANCEL}};
const Named kKeys[] = {{"Escape", VK_ESCAPE}, {"Enter", VK_RETURN}};
const Named kAnswers[] = {{"ok", IDOK},       {"cancel", IDCANCEL}, {"yes", IDYES},      {"no", IDNO},
                          {"retry", IDRETRY}, {"abort", IDABORT},   {"ignore", IDIGNORE}};

template <size_t N>
int Lookup(Object& o, const std::string& key, const Named (&table)[N]) {
    std::string text = *o.String(key);
    std::string names;
    for (const Named& n : table) {
        if (text == n.name) return n.value;
        names += std::string(names.empty() ? "" : ", ") + n.name;
    }
    o.Fail(key, "unknown value \"" + text + "\" (known: " + names + ")");
}

// The one field that says what the user does; exactly one of them.
void ReadDeed(Action& a, Object& o) {
    const char* deeds[] = {"click", "control", "click_at", "speakers", "restart", "press", "restart_windows"};
    int given = 0;
    for (const char* d : deeds) given += o.Has(d);
    if (given != 1)
        o.FailHere(
            "a step does exactly one of click, control, click_at, speakers, restart, press (or is a "
            "message_box answer)");
    if (o.Has("click")) {
        a.kind = Action::Kind::ClickControl;
        a.control_id = Lookup(o, "click", kButtons);
        a.text = "clicks " + *o.String("click");
    } else if (o.Has("control")) {
        a.kind = Action::Kind::ClickControl;
        a.control_id = static_cast<int>(*o.Int("control", 1, 65535));
        a.text = "clicks control " + std::to_string(a.control_id);
    } else if (o.Has("click_at")) {
        const nlohmann::json& p = *o.Raw("click_at");
        if (!p.is_array() || p.size() != 2 || !p[0].is_number_integer() || !p[1].is_number_integer())
            o.Fail("click_at", "expected [x, y] in the window's client coordinates");
        a.kind = Action::Kind::ClickPoint;
        a.x = p[0].get<int>();
        a.y = p[1].get<int>();
        a.text = "clicks at " + std::to_string(a.x) + "," + std::to_string(a.y);
    } else if (o.Has("speakers")) {
        a.kind = Action::Kind::Speakers;
        a.speakers = static_cast<int>(*o.Int("speakers", 2, 6));
        if (a.speakers % 2) o.Fail("speakers", "two, four or six speakers");
        a.text = "picks " + std::to_string(a.speakers) + " speakers and clicks OK";
    } else if (o.Has("restart")) {
        a.kind = Action::Kind::RestartAnswer;
        a.restart = *o.Bool("restart");
        a.text =
            a.restart ? "chooses to restart now and clicks OK" : "chooses to restart later and clicks OK";
    } else if (o.Has("restart_windows")) {
        // The user restarts Windows from its own menu: every program ends, whatever it is doing.
        if (!*o.Bool("restart_windows")) o.Fail("restart_windows", "only true: the user restarts Windows");
        if (!a.at_ms) o.Fail("restart_windows", "the user restarts Windows at a time (at_ms)");
        a.kind = Action::Kind::RestartWindows;
        a.text = "restarts Windows";
    } else {
        a.kind = Action::Kind::Key;
        a.virtual_key = static_cast<unsigned>(Lookup(o, "press", kKeys));
        a.text = "presses " + *o.String("press");
    }
}

void ReadWhen(Action& a, Object& o) {
    if (auto at = o.Int("at_ms", 0, 86400000)) a.at_ms = static_cast<uint64_t>(*at);
    a.when_title = o.String("when_shown", "");
    a.when_class = o.String("when_class", "");
    bool when_shown = o.Has("when_shown") || o.Has("when_class");
    if (a.at_ms && when_shown) o.FailHere("a step happens at_ms or when a window is shown, not both");
    // The answer to the restart prompt and the choice of speakers wait for their window by default, in any
    // language.
    if (!a.at_ms && !when_shown)
        a.when_phase = o.Has("restart") ? "restart prompt" : o.Has("speakers") ? "speaker view" : "";
    if (!a.at_ms && !when_shown && a.when_phase.empty())
        o.FailHere("a step needs at_ms or when_shown (a window's title)");
    a.after_ms = static_cast<uint64_t>(o.Int("after_ms", 0, 86400000, 500));
    if (a.at_ms && o.Has("after_ms")) o.Fail("after_ms", "only with when_shown");
}

}  // namespace

void ReadScript(Scenario& s, Object& root) {
    for (Object& o : root.Children("script")) {
        if (o.Has("message_box")) {
            // The answers to message boxes go in order to the boxes as they come.
            s.message_box_answers.push_back(Lookup(o, "message_box", kAnswers));
            o.Done();
            continue;
        }
        Action a;
        a.line = o.line();
        a.boot = static_cast<int>(o.Int("boot", 1, 100, 1));
        ReadWhen(a, o);
        ReadDeed(a, o);
        a.window_title = o.String("window", "");
        // Window titles are written in UTF-8 and compared with what programs wrote in the machine's code
        // page.
        a.when_title = ToAnsi(FromUtf8(a.when_title), s.code_page);
        a.window_title = ToAnsi(FromUtf8(a.window_title), s.code_page);
        o.Done();
        s.script.push_back(a);
    }
}

}  // namespace sim::scenario
