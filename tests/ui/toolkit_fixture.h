// Fixture for the widget and event tests: the real artwork and fonts from the
// build's run folder, a 1000 x 600 interface surface, a clock the test moves
// by hand and an event queue the test fills and reads. The interface part is
// wired to a whole application record as start-up wires it, so actions can
// look into the record they receive.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include "app/app_state.h"
#include "tests/ui/ui_test_support.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

namespace toolkit_test {

inline Uint32 g_now = 100000;
inline std::deque<SDL_Event> g_queue;
inline int g_delay_calls = 0;

inline Uint32 fake_ticks()
{
    return g_now;
}
inline void fake_delay(Uint32 ms)
{
    g_now += ms, ++g_delay_calls;
}
inline int fake_poll(SDL_Event* ev)
{
    if (g_queue.empty())
        return 0;
    *ev = g_queue.front();
    g_queue.pop_front();
    return 1;
}
inline int fake_peep(SDL_Event* events, int n, Uint32 mask)
{
    int found = 0;
    for (const SDL_Event& ev : g_queue)
        if ((SDL_EVENTMASK(ev.type) & mask) && found < n)
            events[found++] = ev;
    return found;
}
inline int fake_push(SDL_Event* ev)
{
    return g_queue.push_back(*ev), 0;
}
inline const EventSource FAKE_SOURCE = {fake_poll, fake_peep, fake_push};

inline SDL_Event mouse_button(Uint8 type, int x, int y)
{
    SDL_Event ev{};
    ev.button = {type, 0, SDL_BUTTON_LEFT, 0, Uint16(x), Uint16(y)};
    return ev;
}
inline SDL_Event mouse_motion(int x, int y)
{
    SDL_Event ev{};
    ev.motion = {SDL_MOUSEMOTION, 0, SDL_BUTTON(SDL_BUTTON_LEFT), Uint16(x), Uint16(y), 0, 0};
    return ev;
}
inline SDL_Event key(SDLKey sym, Uint16 unicode = 0, SDLMod mod = KMOD_NONE,
                     Uint8 type = SDL_KEYDOWN)
{
    SDL_Event ev{};
    ev.key = {type, 0, 0, {0, sym, mod, unicode}};
    return ev;
}
inline SDL_Event user(int code)
{
    SDL_Event ev{};
    ev.user = {SDL_USEREVENT, code, nullptr, nullptr};
    return ev;
}

// Counts of actions run, by tag.
inline int g_actions[8];
template <int Tag>
void count_action(AppState*, RegistrySlot*)
{
    ++g_actions[Tag];
}

// A spinner job that runs until its spinner asks it to stop.
inline int job_until_cancelled(void* spinner)
{
    while (!spinner_cancel_requested(static_cast<Widget*>(spinner)))
        SDL_Delay(1);
    return 0;
}

class ToolkitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(chdir(VELMORA_RUN_DIR), 0);
        ASSERT_EQ(TTF_Init(), 0);
        ASSERT_EQ(load_artwork_and_fonts(1000, 600), 0)
            << "artwork or fonts missing in " VELMORA_RUN_DIR;
        ASSERT_EQ(ui_toolkit_init(), 0);
    }
    static void TearDownTestSuite()
    {
        ui_toolkit_free();
        free_artwork_and_fonts();
        TTF_Quit();
    }

    void SetUp() override
    {
        app_ = std::make_unique<AppState>();
        app_->ui.owner = app_.get();
        app_->ui.settings = &app_->settings;
        app_->ui.app_flags = &app_->flags;
        app_->ui.ui_surface = surface_create(1000, 600);
        app_->ui.title_bar_height = 70;
        app_->out.screen_width = app_->out.window_width = 1000;
        app_->out.screen_height = app_->out.window_height = 600;
        g_now = 100000;
        g_queue.clear();
        g_delay_calls = 0;
        std::memset(g_actions, 0, sizeof g_actions);
        ui_set_clock(fake_ticks);
        ui_set_delay(fake_delay);
        ui_set_event_source(&FAKE_SOURCE);
        orientation_reset(0);
    }
    void TearDown() override
    {
        // Leave the process-wide tables empty for the next test.
        for (int i = 0; i < REGISTRY_SIZE; ++i)
            registry_slots()[i] = RegistrySlot{};
        widgets_clear(1);
        edit_unfocus();
        ui_set_clock(nullptr);
        ui_set_delay(nullptr);
        ui_set_event_source(nullptr);
        ui_set_message_box_observer(nullptr);
        surface_free(app_->ui.ui_surface);
    }

    AppState* app() { return app_.get(); }
    UiState* ui() { return &app_->ui; }
    SDL_Surface* surface() { return app_->ui.ui_surface; }
    void send(SDL_Event ev) { handle_event(ui(), &app_->out, surface(), &ev); }
    // A press and release of the left button at (x, y).
    void click(int x, int y)
    {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, x, y));
        send(mouse_button(SDL_MOUSEBUTTONUP, x, y));
    }
    void click(const Widget* w) { click(w->x + 5, w->y + 5); }
    // Types one key: down and up, the clock moved past the repeat filter.
    void type(SDLKey sym, Uint16 unicode = 0, SDLMod mod = KMOD_NONE)
    {
        send(key(sym, unicode, mod));
        send(key(sym, unicode, mod, SDL_KEYUP));
        g_now += 10;
    }
    // The registered widget with this label.
    static Widget* registered(const char* label)
    {
        for (int i = 0; i < REGISTRY_SIZE; ++i) {
            Widget* w = registry_slots()[i].widget;
            if (registry_slots()[i].active && w && std::strcmp(w->label, label) == 0)
                return w;
        }
        return nullptr;
    }
    // Active registry slots, all or those of one code.
    static int active_slots(int code = -1)
    {
        int n = 0;
        for (int i = 0; i < REGISTRY_SIZE; ++i)
            n += registry_slots()[i].active && (code == -1 || registry_slots()[i].code == code);
        return n;
    }

    std::unique_ptr<AppState> app_;
};

}  // namespace toolkit_test
