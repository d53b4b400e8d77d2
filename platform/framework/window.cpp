#include "framework/window.h"

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageEntry entries[] = {{0, 0, 0, 0, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

namespace {

bool EntryMatches(const MessageEntry& entry, UINT message, WPARAM wparam) {
    if (entry.message != message) return false;
    if (message != WM_COMMAND) return true;
    UINT id = LOWORD(wparam);
    return entry.code == HIWORD(wparam) && id >= entry.id_first && id <= entry.id_last;
}

}  // namespace

bool CWnd::OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base)
        for (const MessageEntry* entry = map->entries; entry->invoke; ++entry) {
            if (!EntryMatches(*entry, message, wparam)) continue;
            m_default_wanted = false;
            *result = entry->invoke(this, wparam, lparam);
            return !m_default_wanted;
        }
    return false;
}
