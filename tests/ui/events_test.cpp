// Event dispatch with a hand-moved clock and a test-filled event queue:
// pointer tolerance, key repeat filtering, edit boxes (UTF-8 included), timer
// events, spinners, play requests, the modal loop, pointer rotation, the
// accelerometer rule and the UI timer thread. Lists are in list_input_test.cpp.
#include "tests/ui/ui_test_support.h"

#include <cmath>
#include <string>
#include <tuple>

#include "platform/sync.h"

namespace {

using namespace toolkit_test;

class Events : public ToolkitTest {
protected:
    TTF_Font* font() { return font_get(FONT_SET_MAIN, FONT_PRELUDE); }
    Widget* focused_box(int limit = 0, bool digits = false, const char* text = "")
    {
        Widget* box = create_edit_box(100, 100, 300, 50, text, font(), TEXT_BLACK, limit);
        box->edit.digits_only = digits;
        for (int code : {SLOT_PRESS, SLOT_CARET})
            registry_add(box, code, nullptr);
        registry_add(box, SLOT_KEYS, count_action<2>);
        click(390, 120);  // right of the text: the caret goes to its end
        EXPECT_EQ(focused_edit_box(), box);
        return box;
    }
    // Types each key and checks the box's text after it (unless null).
    struct Typed {
        SDLKey sym;
        Uint16 unicode;
        const char* text;
        SDLMod mod = KMOD_NONE;
    };
    void expect_typing(Widget* box, std::initializer_list<Typed> keys)
    {
        for (const Typed& t : keys) {
            type(t.sym, t.unicode, t.mod);
            if (t.text) {
                EXPECT_STREQ(box->edit.text, t.text) << "after key " << t.sym;
            }
        }
    }
};

TEST_F(Events, ButtonPressedWithinTenPixelsRunsOnlyIfReleasedWithinTen)
{
    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Go", font(), TEXT_WHITE,
                              1);
    click(b);  // not registered: not a button yet
    ASSERT_EQ(registry_add(b, SLOT_PRESS, count_action<0>), 0);
    // {press x, release x, release y, pressed, actions so far}
    for (auto [down_x, up_x, up_y, pressed, actions] : {std::tuple{92, 88, 105, 1, 0},
                                                        {92, 109 + b->width, 109 + b->height, 1, 1},
                                                        {89, 105, 105, 0, 1}}) {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, down_x, 105));
        EXPECT_EQ(b->pressed, pressed) << down_x;
        send(mouse_button(SDL_MOUSEBUTTONUP, up_x, up_y));
        EXPECT_EQ(b->pressed, 0);
        EXPECT_EQ(g_actions[0], actions) << up_x;
    }
    SDL_Event right = mouse_button(SDL_MOUSEBUTTONDOWN, 105, 105);
    right.button.button = SDL_BUTTON_RIGHT;
    send(right);
    EXPECT_EQ(b->pressed, 0);
}

TEST_F(Events, ControlsChooseTheirStateByPointer)
{
    Widget* toggle = create_toggle(10, 10, artwork(ART_LOCK), artwork(ART_LOCKP), 0);
    Widget* check = create_checkbox(10, 200);
    Widget* disabled = create_checkbox(10, 300);
    disabled->disabled = 1;
    Widget* sel3 = create_selector3(300, 10, "Small", "Large", font(), TEXT_WHITE, TEXT_BLACK);
    const char* two[] = {"On", "Off"};
    Widget* sel2 = create_selector(300, 200, two, 2, font(), TEXT_WHITE, TEXT_BLACK);
    Widget* picker = create_colour_picker(300, 400, 40, 30);
    for (Widget* w : {toggle, check, disabled, sel3, sel2, picker})
        registry_add(w, SLOT_PRESS, count_action<1>);
    for (auto [w, dx, state] : {std::tuple{toggle, 2, 1},
                                {check, 2, 1},
                                {disabled, 2, 0},
                                {sel3, sel3->width - 3, 2},
                                {sel3, sel3->width / 2, 1},
                                {sel2, sel2->width * 3 / 4, 1},
                                {sel2, -5, 0},  // within the tolerance left of it: the first choice
                                {picker, 4 * 60 + 10, 4},
                                {picker, picker->width + 8, 5}}) {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, w->x + dx, w->y + 3));
        EXPECT_EQ(w->state, state) << w->kind << " at " << dx;
    }
    EXPECT_EQ(g_actions[1], 8);

    // A vertical drag control reports moves of more than five pixels while held.
    Widget* bar = create_image(500, 100, artwork(ART_PANEL), 0);
    bar->height = 200;
    registry_add(bar, SLOT_DRAG, count_action<3>);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 505, 150));
    for (auto [y, actions] : {std::pair{153, 1}, {156, 1}, {160, 2}, {90, 3}}) {
        send(mouse_motion(505, y));
        EXPECT_EQ(g_actions[3], actions) << y;
    }
    EXPECT_EQ(bar->drag.value, 0);  // clamped at the top
    send(mouse_button(SDL_MOUSEBUTTONUP, 505, 90));
    send(mouse_motion(505, 250));
    EXPECT_EQ(g_actions[3], 3);
}

TEST_F(Events, HeldKeyGivesOnePressUnlessFiveHundredMillisecondsPass)
{
    SDL_EnableKeyRepeat(0, 0);
    Widget* box = focused_box();
    int delay = -1, interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay * 1000 + interval, 500030);  // focus turns key repeat on
    // {ms later, key, down or up, text}
    for (auto [after, sym, type, text] :
         {std::tuple{0, SDLK_a, SDL_KEYDOWN, "a"},
          {30, SDLK_a, SDL_KEYDOWN, "a"},
          {400, SDLK_a, SDL_KEYDOWN, "a"},
          {70, SDLK_a, SDL_KEYDOWN, "aa"},  // 500 ms after the accepted press
          {0, SDLK_a, SDL_KEYUP, "aa"},
          {0, SDLK_a, SDL_KEYDOWN, "aaa"},      // released: a new press at once
          {0, SDLK_b, SDL_KEYDOWN, "aaab"}}) {  // another key is never filtered
        g_now += Uint32(after);
        send(key(sym, Uint16(sym), KMOD_NONE, Uint8(type)));
        EXPECT_STREQ(box->edit.text, text);
    }
    EXPECT_EQ(g_actions[2], 4);
    // Losing focus, by a press elsewhere or Tab, restores the setting.
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 800, 500));
    EXPECT_EQ(focused_edit_box(), nullptr);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);
    click(150, 120);
    type(SDLK_TAB);
    EXPECT_EQ(focused_edit_box(), nullptr);
    EXPECT_EQ(box->edit.focused, 0);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);
}

// Sticky Alt maps keys to their alternates (e to 1 in a digits-only box,
// q to a refused slash); sticky or held Shift capitalises; a held modifier
// bypasses the alternate map; the limit and the editing keys.
TEST_F(Events, StickyModifiersLimitAndEditingKeys)
{
    Widget* digits = focused_box(0, true);
    expect_typing(digits, {{SDLK_e, 'e', ""},
                           {SDLK_5, '5', "5"},
                           {SDLK_RALT, 0, "5"},
                           {SDLK_e, 'e', "51"},
                           {SDLK_q, 'q', "51"},
                           {SDLK_x, 'x', "517"},
                           {SDLK_LSHIFT, 0, nullptr},
                           {SDLK_e, 'e', "517"}});  // Shift toggles Alt off
    EXPECT_TRUE(sticky_shift_on());
    EXPECT_FALSE(sticky_alt_on());
    widgets_clear(1);
    Widget* box = focused_box(5);  // a press on a box clears the sticky keys
    expect_typing(box, {{SDLK_a, 'a', "a"},         {SDLK_LSHIFT, 0, nullptr},
                        {SDLK_b, 'b', "aB"},        {SDLK_2, '2', "aB2"},
                        {SDLK_LSHIFT, 0, nullptr},  {SDLK_c, 'c', "aB2C", KMOD_LSHIFT},
                        {SDLK_RALT, 0, nullptr},    {SDLK_d, 'd', "aB2Cd", KMOD_LCTRL},
                        {SDLK_e, 'e', "aB2Cd"},  // a sixth character
                        {SDLK_RALT, 0, nullptr},    {SDLK_LEFT, 0, nullptr},
                        {SDLK_LEFT, 0, nullptr},    {SDLK_BACKSPACE, 0, "aBCd"},
                        {SDLK_DELETE, 0, "aBd"},    {SDLK_HOME, 0, nullptr},
                        {SDLK_BACKSPACE, 0, "aBd"}, {SDLK_END, 0, nullptr},
                        {SDLK_DELETE, 0, "aBd"},    {SDLK_F1, 0, "aBd"},
                        {SDLK_ESCAPE, 27, "aBd"}});  // not printable: nothing
}

// "é" and "€" are two and three bytes: an edit must never leave a piece of one.
TEST_F(Events, EditBoxesCutAndEditWholeUtf8Characters)
{
    // The text given is cut at the limit before a character that would not fit.
    EXPECT_STREQ(
        create_edit_box(100, 300, 300, 50, "ab\xE2\x82\xAC", font(), TEXT_BLACK, 4)->edit.text,
        "ab");
    const std::string long_text = std::string(254, 'a') + "\xC3\xA9";
    EXPECT_EQ(
        std::string(create_edit_box(100, 400, 300, 50, long_text.c_str(), font(), 0, 0)->edit.text),
        std::string(254, 'a'));

    Widget* box = focused_box(0, false, "x\xC3\xA9y\xE2\x82\xACz");  // x é y € z
    EXPECT_EQ(box->edit.caret_index, 8);
    expect_typing(box, {{SDLK_LEFT, 0, nullptr},
                        {SDLK_BACKSPACE, 0, "x\xC3\xA9yz"},
                        {SDLK_LEFT, 0, nullptr},
                        {SDLK_LEFT, 0, nullptr},
                        {SDLK_DELETE, 0, "xyz"},
                        {SDLK_RIGHT, 0, nullptr},
                        {SDLK_a, 'a', "xyaz"}});
    EXPECT_EQ(box->edit.caret_index, 3);

    // A pointer press lands between characters; passwords show one star per
    // character (mode 2 shows the one just typed).
    std::strcpy(box->edit.text, "\xC3\xA9\xC3\xA9\xC3\xA9");
    for (int x = 100; x < 400; x += 3) {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, x, 120));
        EXPECT_EQ(box->edit.caret_index % 2, 0) << x;
    }
    char shown[EDIT_TEXT_SIZE];
    for (auto [mode, sym, expected] :
         {std::tuple{1, SDLK_x, "****"}, {2, SDLK_y, "****y"}, {2, SDLK_BACKSPACE, "****"}}) {
        box->edit.password_mode = uint8_t(mode);
        type(sym, sym == SDLK_BACKSPACE ? 0 : Uint16(sym));
        edit_shown_text(box, shown, sizeof shown);
        EXPECT_STREQ(shown, expected) << mode;
    }
}

int quick_job(void*)
{
    return 0;
}

TEST_F(Events, SpinnersAdvanceAndCompleteOnceWhenTheirWorkEnds)
{
    Widget* idle = create_spinner(10, 10);
    registry_add(idle, SLOT_PRESS, nullptr);
    for (int i = 0; i <= 8; ++i, g_now += 200) {  // eight frames, one each 200 ms
        send(user(UI_EVENT_SPINNER));
        EXPECT_EQ(idle->state, i % 8);
    }
    // A job's spinner completes once when the job is done; a listing job's at
    // 256 rows; any spinner when the operation is cancelled.
    Widget* job = create_spinner(100, 10);
    registry_add(job, SLOT_PRESS, count_action<5>);
    ASSERT_EQ(spinner_start_job(job, quick_job, nullptr), 0);
    while (!spinner_job_done(job))
        SDL_Delay(1);
    send(user(UI_EVENT_SPINNER));
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[5], 1);
    EXPECT_EQ(job->spinner.job, nullptr);  // joined and released
    std::atomic<int> rows{255};
    Widget* listing = create_spinner(200, 10);
    listing->spinner.listing_rows = &rows;
    registry_add(listing, SLOT_PRESS, count_action<6>);
    send(user(UI_EVENT_SPINNER));
    rows = 256;
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[6], 1);
    registry_add(create_spinner(300, 10), SLOT_PRESS, count_action<7>);
    ui()->abort_requested = 1;
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[7], 1);
}

// Waits for the cancel, then takes the registry lock as a job ending on the
// network would (posting a request, reading the registry).
int job_that_locks_while_ending(void* spinner)
{
    job_until_cancelled(spinner);
    return post_play_request();
}

TEST_F(Events, ClearingASpinnerWaitsForItsJobOutsideTheRegistryLock)
{
    Widget* spin = create_spinner(10, 10);
    ASSERT_EQ(spinner_start_job(spin, job_that_locks_while_ending, spin), 0);
    registry_add(spin, SLOT_PRESS, nullptr);
    widgets_clear(1);  // returns once the job has ended (a deadlock before)
    EXPECT_EQ(spin->in_use, 0);
    EXPECT_EQ(active_slots(SLOT_PLAY_REQUEST), 1);
}

TEST_F(Events, TimerPushesAtMostOneEventOfEachCodeAndPeriodicWidgetsStopAtTheirLimit)
{
    registry_add(create_spinner(0, 0), SLOT_PRESS, nullptr);
    registry_add(create_spinner(100, 0), SLOT_PRESS, nullptr);
    focused_box();
    post_play_request();
    EXPECT_EQ(ui_timer_scan(),
              (1u << UI_EVENT_SPINNER) | (1u << UI_EVENT_CARET) | (1u << UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(g_queue.size(), 3u);
    g_queue.clear();  // the request stays until honoured, so a full queue loses nothing
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_PLAY_REQUEST), 0u);

    Widget* p = create_periodic(1000, 3);
    ASSERT_EQ(post_deferred(p, SLOT_PERIODIC, count_action<7>), 0);
    EXPECT_EQ(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
    g_now += 1000;
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
    for (int i = 0; i < 5; ++i, g_now += 1000)
        send(user(UI_EVENT_PERIODIC));
    EXPECT_EQ(g_actions[7], 3);
    EXPECT_EQ(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
}

int g_play_calls;

TEST_F(Events, PendingPlayRequestIsHonouredOnceEvenUnderADialog)
{
    g_play_calls = 0;
    ui_set_play_request_handler([](AppState* a) { ++g_play_calls, a->ui.play_requested = 1; });
    message_box(ui(), surface(), "A dialog", 160, 0, nullptr);
    ASSERT_EQ(post_play_request(), 0);
    registry_clear(1);
    g_queue.push_back(user(UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(modal_loop(ui(), &app()->out, nullptr), 0);
    ui()->play_requested = 0;
    send(user(UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(g_play_calls, 1);
    flags_set(&app()->flags, APP_PLAYER_SCREEN);  // while the player owns the screen, it waits
    post_play_request();
    send(mouse_motion(10, 10));
    EXPECT_EQ(g_play_calls, 1);
    ui()->keep_player_widgets = 1;  // unless its widgets stay live
    send(mouse_motion(10, 10));
    EXPECT_EQ(g_play_calls, 2);
    ui_set_play_request_handler(nullptr);
}

// Requests taken one after another on the same screen used to stay in the
// registry until the next clear and crowd out the screen's own widgets.
TEST_F(Events, TakenPlayRequestsFreeTheirSlots)
{
    for (int i = 0; i < 2 * REGISTRY_SIZE; ++i) {
        ASSERT_EQ(post_play_request(), 0) << i;
        send(user(UI_EVENT_PLAY_REQUEST));
    }
    EXPECT_EQ(active_slots(), 0);
}

TEST_F(Events, ModalLoopEndsOnQuitDoneAbortOrPlayRequested)
{
    VideoOutput* out = &app()->out;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    g_queue.push_back(quit);
    EXPECT_EQ(modal_loop(ui(), out, nullptr), 1);
    EXPECT_TRUE(g_queue.empty());
    g_queue.push_back(quit);
    int done = 0;
    EXPECT_EQ(modal_loop(ui(), out, &done), 1);
    EXPECT_EQ(g_queue.size(), 1u);  // a nested wait passes the quit on
    g_queue.clear();
    done = 1;
    EXPECT_EQ(modal_loop(ui(), out, &done), 0);
    done = 0;
    ui()->abort_requested = 1;
    EXPECT_EQ(modal_loop(ui(), out, &done), 0);
    ui()->abort_requested = 0;
    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Play", font(),
                              TEXT_WHITE, 1);
    registry_add(b, SLOT_PRESS, [](AppState* a, RegistrySlot*) { a->ui.play_requested = 1; });
    for (SDL_Event ev : {mouse_button(SDL_MOUSEBUTTONDOWN, 110, 110),
                         mouse_button(SDL_MOUSEBUTTONUP, 110, 110), mouse_motion(1, 1)})
        g_queue.push_back(ev);
    EXPECT_EQ(modal_loop(ui(), out, nullptr), 0);
    EXPECT_EQ(ui()->play_requested, 1);
    EXPECT_EQ(g_queue.size(), 1u);  // the loop stopped right after the request
}

TEST_F(Events, PointerFollowsTheOrientation)
{
    for (auto [o, mx, my] :
         {std::tuple{0, 10, 20}, {1, 20, 990}, {2, 990, 580}, {3, 580, 10}, {7, 10, 20}}) {
        int x = 10, y = 20;
        app()->out.orientation = o;
        map_pointer(&app()->out, &x, &y);
        EXPECT_EQ(std::pair(x, y), std::pair(mx, my)) << o;
    }
    // In orientation 2 a tap on the turned screen hits the button where it is drawn.
    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Go", font(), TEXT_WHITE,
                              1);
    registry_add(b, SLOT_PRESS, count_action<0>);
    app()->out.orientation = 2;
    click(1000 - 105, 600 - 105);
    EXPECT_EQ(g_actions[0], 1);
}

TEST_F(Events, OrientationFollowsTheAxesOnlyAfterFiveHundredMillisecondsOfTheSameCandidate)
{
    // {ms later, x, y, orientation}
    for (auto [after, x, y, expected] :
         {std::tuple{0, 10000, 0, 0},  // candidate 2 first seen
          {300, 10000, 100, 0},
          {200, 10000, 100, 0},  // exactly 500: not yet
          {1, 10000, 100, 2},
          {0, -10000, 0, 2},  // a change of candidate restarts the wait
          {400, 10000, 0, 2},
          {400, -10000, 0, 2},
          {501, -10000, 0, 0}}) {
        g_now += Uint32(after);
        EXPECT_EQ(orientation_from_axes(x, y), expected) << after << " " << x;
    }
    orientation_reset(0);  // 1.49 rad is still orientation 2
    orientation_from_axes(1000, int(1000 * std::tan(1.49)));
    g_now += 501;
    EXPECT_EQ(orientation_from_axes(1000, int(1000 * std::tan(1.49))), 2);

    // Joystick axes x, y, z, then x again 600 ms later turn the display only
    // with auto-rotate on and the device upright.
    auto tilt = [&](int z) {
        for (int pass = 0; pass < 2; ++pass, g_now += 600)
            for (Uint8 a = 0; a < (pass ? 1 : 3); ++a) {
                SDL_Event ev{};
                ev.jaxis = {SDL_JOYAXISMOTION, 0, a, Sint16(a == 0 ? 20000 : a == 2 ? z : 0)};
                send(ev);
            }
        return app()->out.orientation;
    };
    orientation_reset(0);
    SDL_Surface* mine = ui()->ui_surface;
    EXPECT_EQ(tilt(0), 0);
    app()->settings.auto_rotate = 1;
    EXPECT_EQ(tilt(20000), 0);  // lying flat
    EXPECT_EQ(tilt(0), 2);
    ui()->ui_surface = mine;
}

// ---- the UI timer thread, with a queue it may push into ----------------------------------

SDL_mutex* g_locked_mutex;
std::deque<SDL_Event> g_locked_queue;
int locked_push(SDL_Event* ev)
{
    LockGuard guard(g_locked_mutex);
    g_locked_queue.push_back(*ev);
    return 0;
}
int locked_poll(SDL_Event* ev)
{
    LockGuard guard(g_locked_mutex);
    if (g_locked_queue.empty())
        return 0;
    *ev = g_locked_queue.front();
    g_locked_queue.pop_front();
    return 1;
}
int no_peep(SDL_Event*, int, Uint32)
{
    return 0;
}
const EventSource LOCKED_SOURCE = {locked_poll, no_peep, locked_push};

int listener_like(void*)
{
    for (int i = 0; i < 3000; ++i) {
        post_play_request();
        if (i % 100 == 0)
            SDL_Delay(1);
    }
    return 0;
}

// The listener posting requests, the UI timer scanning, spinner jobs and the
// main thread rebuilding screens all share the registry; the thread
// sanitizer build checks that they do so under its lock.
TEST_F(Events, TimerThreadListenerJobsAndScreensShareTheRegistry)
{
    g_locked_mutex = SDL_CreateMutex();
    ui_set_event_source(&LOCKED_SOURCE);
    ASSERT_EQ(ui_timer_start(), 0);
    EXPECT_EQ(ui_timer_start(), 0);  // already running
    // A posted request wakes the timer, which turns it into an event.
    ASSERT_EQ(post_play_request(), 0);
    bool seen = false;
    for (int i = 0; i < 5000 && !seen; ++i) {  // bounded by count, not by time
        SDL_Event ev;
        while (locked_poll(&ev))
            seen |= ev.type == SDL_USEREVENT && ev.user.code == UI_EVENT_PLAY_REQUEST;
        SDL_Delay(seen ? 0 : 2);
    }
    EXPECT_TRUE(seen);

    SDL_Thread* listener = SDL_CreateThread(listener_like, nullptr);
    ASSERT_NE(listener, nullptr);
    ui_set_play_request_handler([](AppState* a) { ++a->nav.current_channel; });
    for (int round = 0; round < 400; ++round) {
        registry_clear(round % 2);
        widgets_clear(round % 2);
        if (Widget* spin = create_spinner(10, 10)) {
            registry_add(spin, SLOT_PRESS, nullptr);
            if (round % 5 == 0)
                spinner_start_job(spin, job_until_cancelled, spin);
        }
        if (Widget* box = create_edit_box(100, 100, 200, 40, "x", nullptr, 0, 0)) {
            box->persistent = uint8_t(round % 3 == 0);
            registry_add(box, SLOT_CARET, nullptr);
        }
        SDL_Event ev;
        while (locked_poll(&ev))
            handle_event(ui(), &app()->out, surface(), &ev);
        send(mouse_motion(5, 5));
        SDL_SemPost(ui_timer_semaphore());
    }
    SDL_WaitThread(listener, nullptr);
    EXPECT_GT(app()->nav.current_channel, 0);
    ui_timer_stop();
    ui_timer_stop();
    ui_set_play_request_handler(nullptr);
    registry_clear(1);
    SDL_DestroyMutex(g_locked_mutex);
    g_locked_queue.clear();
}

}  // namespace
