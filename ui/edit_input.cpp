// Edit boxes: focus and key repeat, sticky Alt/Shift, the alternate
// character map, digits-only and length limits, caret placement and
// blinking. The text is UTF-8: the caret, Backspace and Delete move over
// whole characters, so no edit leaves half a character behind.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/text_copy.h"
#include "ui/input_internal.h"
#include "ui/text.h"

namespace {

bool g_sticky_alt;
bool g_sticky_shift;
int g_saved_repeat_delay = -1;  // -1: nothing saved
int g_saved_repeat_interval = -1;
Widget* g_focused;

// Key repeat while an edit box has the focus.
constexpr int EDIT_REPEAT_DELAY_MS = 500;
constexpr int EDIT_REPEAT_INTERVAL_MS = 30;
constexpr int EDIT_TEXT_INSET = 6;  // text starts this far right of the box

}  // namespace

namespace ui_input {

void sticky_clear()
{
    g_sticky_alt = false;
    g_sticky_shift = false;
}

namespace {

void save_key_repeat()
{
    if (g_saved_repeat_delay < 0) {
        int delay = 0;
        int interval = 0;
        SDL_GetKeyRepeat(&delay, &interval);
        g_saved_repeat_delay = delay;
        g_saved_repeat_interval = interval;
    }
    SDL_EnableKeyRepeat(EDIT_REPEAT_DELAY_MS, EDIT_REPEAT_INTERVAL_MS);
}

}  // namespace

void restore_key_repeat()
{
    if (g_saved_repeat_delay >= 0)
        SDL_EnableKeyRepeat(g_saved_repeat_delay, g_saved_repeat_interval);
    g_saved_repeat_delay = -1;
    g_saved_repeat_interval = -1;
}

void caret_from_pointer(Widget* box, int px)
{
    EditFields& e = box->edit;
    const int len = int(std::strlen(e.text));
    const int start = std::clamp<int>(e.first_shown, 0, len);
    const int target = px - (box->x + EDIT_TEXT_INSET);
    int best = start;
    int best_dist = std::abs(target);
    for (int i = int(utf8_next(e.text, size_t(len), size_t(start))); i > start;) {
        const int dist = std::abs(target - edit_text_width(box, start, i));
        if (dist < best_dist) {
            best = i;
            best_dist = dist;
        }
        if (i >= len)
            break;
        i = int(utf8_next(e.text, size_t(len), size_t(i)));
    }
    e.caret_index = best;
}

namespace {

// The character a printable key inserts, or 0 when the box refuses it.
int typed_char(const Widget* box, const SDL_keysym& ks)
{
    int ch = ks.unicode ? (ks.unicode & 0x7F) : int(ks.sym);
    if (ch < 0x20 || ch > 0x7E)
        return 0;
    bool modifier = (ks.mod & (KMOD_SHIFT | KMOD_CTRL | KMOD_ALT)) != 0;
    if ((ks.mod & KMOD_SHIFT) && std::islower(ch))
        ch = std::toupper(ch);
    else if (g_sticky_alt && !modifier)
        ch = alt_map(ch);
    else if (g_sticky_shift && !modifier && std::islower(ch))
        ch = std::toupper(ch);
    if (box->edit.digits_only && !std::isdigit(ch))
        return 0;
    return ch;
}

}  // namespace

namespace {

// Applies one key to the focused edit box; true when the text changed.
bool edit_key(Widget* box, const SDL_keysym& ks, bool* focus_ended)
{
    EditFields& e = box->edit;
    int len = int(std::strlen(e.text));
    int caret = std::clamp<int>(e.caret_index, 0, len);
    switch (ks.sym) {
    case SDLK_RALT:
        g_sticky_alt = !g_sticky_alt;
        if (g_sticky_alt)
            g_sticky_shift = false;
        return false;
    case SDLK_LSHIFT:
        g_sticky_shift = !g_sticky_shift;
        if (g_sticky_shift)
            g_sticky_alt = false;
        return false;
    case SDLK_TAB:
    case SDLK_RETURN:
    case SDLK_KP_ENTER: *focus_ended = true; return false;
    case SDLK_BACKSPACE: {
        if (caret == 0)
            return false;
        const int from = int(utf8_previous(e.text, size_t(caret)));
        std::memmove(e.text + from, e.text + caret, size_t(len - caret + 1));
        e.caret_index = from;
        e.reveal_last = 0;
        return true;
    }
    case SDLK_DELETE: {
        if (caret >= len)
            return false;
        const int to = int(utf8_next(e.text, size_t(len), size_t(caret)));
        std::memmove(e.text + caret, e.text + to, size_t(len - to + 1));
        e.reveal_last = 0;
        return true;
    }
    case SDLK_LEFT:
        e.caret_index = int(utf8_previous(e.text, size_t(caret)));
        e.reveal_last = 0;
        return false;
    case SDLK_RIGHT:
        e.caret_index = int(utf8_next(e.text, size_t(len), size_t(caret)));
        return false;
    case SDLK_HOME: e.caret_index = 0; return false;
    case SDLK_END: e.caret_index = len; return false;
    default: break;
    }
    if (ks.sym < 0x20 || ks.sym > 0x7E || len >= e.limit || len >= EDIT_TEXT_SIZE - 1)
        return false;
    int ch = typed_char(box, ks);
    if (!ch)
        return false;
    std::memmove(e.text + caret + 1, e.text + caret, size_t(len - caret + 1));
    e.text[caret] = char(ch);
    e.caret_index = caret + 1;
    e.reveal_last = uint8_t(caret == len);
    return true;
}

}  // namespace

void edit_key_event(const InputContext& cx, const SDL_keysym& ks)
{
    PendingAction pending;
    {
        LockGuard guard(ui_registry_lock());
        Widget* box = g_focused;
        if (!box || !registered(box))
            return;
        bool focus_ended = false;
        bool changed = edit_key(box, ks, &focus_ended);
        if (focus_ended) {
            edit_unfocus();
        } else {
            box->edit.caret_visible = 1;
            box->edit.blink_time = ui_ticks() + CARET_BLINK_MS;
        }
        edit_place_caret(box);
        widget_draw(cx.surface, box);
        if (changed)
            pending.set(find_slot(box, SLOT_KEYS));
    }
    present(cx.ui);
    pending.run(cx.ui);
}

void caret_tick(const InputContext& cx)
{
    LockGuard guard(ui_registry_lock());
    Widget* box = g_focused;
    if (!box || !registered(box))
        return;
    Uint32 now = ui_ticks();
    if (int32_t(now - box->edit.blink_time) < 0)
        return;
    box->edit.blink_time = now + CARET_BLINK_MS;
    box->edit.caret_visible ^= 1;
    widget_draw(cx.surface, box);
    present(cx.ui);
}

}  // namespace ui_input

using namespace ui_input;

int alt_map(int key)
{
    static const char MAP[27] = {
        '0',                                                               // @
        '&', '#', '8', '4', '1', '5', '6', '$', '%', '!', ':', '\'', ';',  // A..M
        '?', '"', '=', '/', '2', '-', '3', ')', '9', '+', '7', '(',  '*',  // N..Z
    };
    if (key >= 'a' && key <= 'z')
        key = key - 'a' + 'A';
    else if (key == ',')
        key = '_';
    if (key >= '@' && key <= 'Z')
        return MAP[key - '@'];
    return key;
}

bool sticky_alt_on()
{
    return g_sticky_alt;
}

bool sticky_shift_on()
{
    return g_sticky_shift;
}

void edit_focus(Widget* box)
{
    if (g_focused && g_focused != box)
        g_focused->edit.focused = 0;
    save_key_repeat();
    g_focused = box;
    box->edit.focused = 1;
    box->edit.caret_visible = 1;
    box->edit.blink_time = ui_ticks() + CARET_BLINK_MS;
}

void edit_unfocus()
{
    restore_key_repeat();
    if (g_focused) {
        g_focused->edit.focused = 0;
        g_focused->edit.caret_visible = 0;
        g_focused->edit.reveal_last = 0;
    }
    g_focused = nullptr;
}

Widget* focused_edit_box()
{
    return g_focused;
}
