// Helpers for the interface tests: surfaces of known pixels, PNG files written
// with libpng, the fonts opened from the build's run folder, and the toolkit
// fixture. That fixture loads the real artwork and fonts, gives a 1000 x 600
// interface surface, a clock the test moves by hand and an event queue the
// test fills and reads; its interface part is wired to a whole application
// record as start-up wires it, so actions can look into the record they get.
#pragma once

#include <gtest/gtest.h>

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <SDL/SDL.h>
#include <SDL/SDL_ttf.h>

#include "app/app_state.h"
#include "ui/artwork.h"
#include "ui/dialogs.h"
#include "ui/events.h"
#include "ui/surface.h"
#include "ui/text.h"
#include "ui/widget.h"

// ---- pixels and images ----------------------------------------------------------------

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b)
{
    return a << 24 | r << 16 | g << 8 | b;
}
inline uint32_t alpha_of(uint32_t p)
{
    return p >> 24;
}
inline uint32_t red_of(uint32_t p)
{
    return (p >> 16) & 0xFF;
}
inline uint32_t green_of(uint32_t p)
{
    return (p >> 8) & 0xFF;
}
inline uint32_t blue_of(uint32_t p)
{
    return p & 0xFF;
}

// A w x h surface whose pixel (x, y) is pixel(x, y) (ARGB).
template <typename PixelFn>
SurfacePtr surface_of(int w, int h, PixelFn pixel)
{
    SurfacePtr s(surface_create(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            put_pixel(s.get(), x, y, pixel(x, y));
    return s;
}
inline SurfacePtr filled(int w, int h, uint32_t value)
{
    return surface_of(w, h, [value](int, int) { return value; });
}

// Writes an 8-bit RGBA (or RGB when alpha is false) PNG; pixel(x, y) gives ARGB.
template <typename PixelFn>
bool write_png(const std::string& path, int w, int h, bool alpha, PixelFn pixel)
{
    std::vector<png_byte> bytes;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t v = pixel(x, y);
            bytes.insert(bytes.end(),
                         {png_byte(red_of(v)), png_byte(green_of(v)), png_byte(blue_of(v))});
            if (alpha)
                bytes.push_back(png_byte(alpha_of(v)));
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr) != 0;
}

// Columns that hold any visible (alpha > 0) pixel: [first, last], or -1s.
inline std::pair<int, int> ink_columns(Surface* s)
{
    int first = -1, last = -1;
    for (int x = 0; x < s->w; ++x)
        for (int y = 0; y < s->h; ++y)
            if (alpha_of(get_pixel(s, x, y)) > 0 && get_pixel(s, x, y) != 0) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

inline bool same_pixels(Surface* a, Surface* b)
{
    bool same = a->w == b->w && a->h == b->h;
    for (int y = 0; same && y < a->h; ++y)
        same = std::memcmp(static_cast<char*>(a->pixels) + y * a->pitch,
                           static_cast<char*>(b->pixels) + y * b->pitch, size_t(a->w) * 4) == 0;
    return same;
}

// Pixels equal to value (alpha included) in rows [top, bottom) of s.
inline int count_pixels(Surface* s, uint32_t value, int top = 0, int bottom = INT32_MAX)
{
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, s->h); ++y)
        for (int x = 0; x < s->w; ++x)
            n += get_pixel(s, x, y) == value;
    return n;
}
// ---- fonts ----------------------------------------------------------------------------

// Moves into the build's run folder, where the build puts the fonts and
// artwork, and starts the font renderer.
inline void enter_run_folder()
{
    ASSERT_EQ(chdir(VELMORA_RUN_DIR), 0);
    ASSERT_EQ(TTF_Init(), 0);
}
inline void test_fonts_open()
{
    enter_run_folder();
    ASSERT_EQ(fonts_open(), 0) << "fonts missing in " VELMORA_RUN_DIR;
}
inline void test_fonts_close()
{
    fonts_close();
    TTF_Quit();
}

// Runs in the build's run folder with the 30 fonts open.
class FontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test_fonts_open(); }
    static void TearDownTestSuite() { test_fonts_close(); }
    static TTF_Font* main_font() { return font_get(FONT_SET_MAIN, FONT_PRELUDE); }
};

// ---- the toolkit fixture --------------------------------------------------------------

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
        enter_run_folder();
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
