// Event dispatch with a hand-moved clock and a test-filled event queue:
// buttons and their tolerance, key repeat filtering, edit boxes, lists
// (taps, long presses, dragging, flinging, search), timer events, play
// requests, the modal loop, pointer rotation and the accelerometer rule.
#include "toolkit_fixture.h"

#include <random>
#include <string>
#include <vector>

namespace {

using namespace toolkit_test;

class Events : public ToolkitTest {
protected:
    TTF_Font* font() { return font_get(FONT_SET_MAIN, FONT_PRELUDE); }

    Widget* focused_box(int limit = 0, bool digits = false)
    {
        Widget* box = create_edit_box(100, 100, 300, 50, "", font(), TEXT_BLACK, limit);
        EXPECT_NE(box, nullptr);
        box->edit.digits_only = digits;
        registry_add(box, SLOT_PRESS, nullptr);
        registry_add(box, SLOT_KEYS, count_action<2>);
        registry_add(box, SLOT_CARET, nullptr);
        click(150, 120);
        EXPECT_EQ(focused_edit_box(), box);
        return box;
    }
    // Types one key: down and up, the clock moved past the repeat filter.
    void type(SDLKey sym, Uint16 unicode = 0, SDLMod mod = KMOD_NONE)
    {
        send(key(sym, unicode, mod));
        send(key(sym, unicode, mod, SDL_KEYUP));
        g_now += 10;
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

// ---- buttons and simple widgets -------------------------------------------------------

TEST_F(Events, ButtonPressedWithinTenPixelsRunsOnlyIfReleasedWithinTen)
{
    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Go", font(), TEXT_WHITE, 1);
    click(b);   // not registered: not a button yet
    EXPECT_EQ(b->pressed, 0);
    ASSERT_EQ(registry_add(b, SLOT_PRESS, count_action<0>), 0);
    int left = b->x - 8;
    send(mouse_button(SDL_MOUSEBUTTONDOWN, left, b->y + 5));
    EXPECT_EQ(b->pressed, 1);
    EXPECT_EQ(b->press_x, left);
    send(mouse_button(SDL_MOUSEBUTTONUP, b->x - 12, b->y + 5));
    EXPECT_EQ(b->pressed, 0);
    EXPECT_EQ(g_actions[0], 0);

    send(mouse_button(SDL_MOUSEBUTTONDOWN, left, b->y + 5));
    send(mouse_button(SDL_MOUSEBUTTONUP, b->x + b->width + 9, b->y + b->height + 9));
    EXPECT_EQ(g_actions[0], 1);

    // Eleven pixels outside is not a press at all.
    send(mouse_button(SDL_MOUSEBUTTONDOWN, b->x - 11, b->y + 5));
    EXPECT_EQ(b->pressed, 0);
    send(mouse_button(SDL_MOUSEBUTTONUP, b->x + 5, b->y + 5));
    EXPECT_EQ(g_actions[0], 1);
    // Other buttons of the mouse do nothing.
    SDL_Event right = mouse_button(SDL_MOUSEBUTTONDOWN, b->x + 5, b->y + 5);
    right.button.button = SDL_BUTTON_RIGHT;
    send(right);
    EXPECT_EQ(b->pressed, 0);
}

TEST_F(Events, TogglesCheckBoxesSelectorsAndColourPickerChooseByPointer)
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
        ASSERT_EQ(registry_add(w, SLOT_PRESS, count_action<1>), 0);

    const struct {
        Widget* w;
        int dx, dy, state;
    } presses[] = {
        {toggle, 2, 2, 1}, {check, 2, 2, 1}, {disabled, 2, 2, 0},
        {sel3, sel3->width - 3, 3, 2}, {sel3, sel3->width / 2, 3, 1}, {sel2, sel2->width * 3 / 4, 3, 1},
        {sel2, -5, 3, 0},   // within the tolerance left of the selector: the first choice
        {picker, 4 * 60 + 10, 5, 4}, {picker, picker->width + 8, 5, 5},
    };
    for (const auto& p : presses) {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, p.w->x + p.dx, p.w->y + p.dy));
        EXPECT_EQ(p.w->state, p.state) << p.w->kind << " at " << p.dx;
    }
    EXPECT_EQ(g_actions[1], 8);
}

TEST_F(Events, VerticalDragControlReportsChangesAboveFivePixels)
{
    Widget* bar = create_image(500, 100, artwork(ART_PANEL), 0);
    bar->height = 200;
    ASSERT_EQ(registry_add(bar, SLOT_DRAG, count_action<3>), 0);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 505, 150));
    send(mouse_motion(505, 153));
    EXPECT_EQ(g_actions[3], 1);   // 53 from the previous report of 0
    send(mouse_motion(505, 156));
    EXPECT_EQ(g_actions[3], 1);
    send(mouse_motion(505, 160));
    EXPECT_EQ(g_actions[3], 2);
    send(mouse_motion(505, 90));  // back to 0
    EXPECT_EQ(g_actions[3], 3);
    EXPECT_EQ(bar->drag.value, 0);
    send(mouse_button(SDL_MOUSEBUTTONUP, 505, 90));
    send(mouse_motion(505, 250));
    EXPECT_EQ(g_actions[3], 3);
}

// ---- keys and edit boxes ---------------------------------------------------------------

TEST_F(Events, HeldKeyGivesOnePressUnlessFiveHundredMillisecondsPass)
{
    Widget* box = focused_box();
    const struct {
        Uint32 after;
        SDLKey sym;
        Uint8 type;
        const char* text;
    } steps[] = {
        {0, SDLK_a, SDL_KEYDOWN, "a"},   {30, SDLK_a, SDL_KEYDOWN, "a"}, {400, SDLK_a, SDL_KEYDOWN, "a"},
        {70, SDLK_a, SDL_KEYDOWN, "aa"},   // 500 ms after the accepted press
        {0, SDLK_a, SDL_KEYUP, "aa"},    {0, SDLK_a, SDL_KEYDOWN, "aaa"},   // released: a new press at once
        {0, SDLK_b, SDL_KEYDOWN, "aaab"},   // another key is never filtered
    };
    for (const auto& step : steps) {
        g_now += step.after;
        send(key(step.sym, Uint16(step.sym), KMOD_NONE, step.type));
        EXPECT_STREQ(box->edit.text, step.text);
    }
    EXPECT_EQ(g_actions[2], 4);
}

TEST_F(Events, FocusTurnsKeyRepeatOnAndLosingItRestoresTheSetting)
{
    SDL_EnableKeyRepeat(0, 0);
    focused_box();
    int delay = -1, interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 500);
    EXPECT_EQ(interval, 30);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 800, 500));
    EXPECT_EQ(focused_edit_box(), nullptr);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);

    send(mouse_button(SDL_MOUSEBUTTONDOWN, 150, 120));
    Widget* box = focused_edit_box();
    ASSERT_NE(box, nullptr);
    type(SDLK_TAB);
    EXPECT_EQ(focused_edit_box(), nullptr);
    EXPECT_EQ(box->edit.focused, 0);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);
}

TEST_F(Events, StickyAltTurnsEIntoOneInADigitsOnlyBoxAndRefusesQ)
{
    Widget* box = focused_box(0, true);
    expect_typing(box, {{SDLK_e, 'e', ""}, {SDLK_5, '5', "5"}, {SDLK_RALT, 0, "5"}, {SDLK_e, 'e', "51"},
                        {SDLK_q, 'q', "51"},   // its alternate is a slash
                        {SDLK_x, 'x', "517"},
                        {SDLK_LSHIFT, 0, nullptr}, {SDLK_e, 'e', "517"}});   // Shift toggles Alt off
    EXPECT_TRUE(sticky_shift_on());
    EXPECT_FALSE(sticky_alt_on());
}

TEST_F(Events, StickyShiftHeldShiftLimitAndEditingKeys)
{
    Widget* box = focused_box(5);
    expect_typing(box, {{SDLK_a, 'a', "a"}, {SDLK_LSHIFT, 0, nullptr}, {SDLK_b, 'b', "aB"}, {SDLK_2, '2', "aB2"},
                        {SDLK_LSHIFT, 0, nullptr}, {SDLK_c, 'c', "aB2C", KMOD_LSHIFT}, {SDLK_RALT, 0, nullptr},
                        {SDLK_d, 'd', "aB2Cd", KMOD_LCTRL},   // a held modifier bypasses the alternate map
                        {SDLK_e, 'e', "aB2Cd"},               // would be the sixth character
                        {SDLK_RALT, 0, nullptr}, {SDLK_LEFT, 0, nullptr}, {SDLK_LEFT, 0, nullptr},
                        {SDLK_BACKSPACE, 0, "aBCd"}, {SDLK_DELETE, 0, "aBd"},
                        {SDLK_HOME, 0, nullptr}, {SDLK_BACKSPACE, 0, "aBd"}, {SDLK_END, 0, nullptr},
                        {SDLK_DELETE, 0, "aBd"},
                        {SDLK_F1, 0, "aBd"}, {SDLK_ESCAPE, 27, "aBd"}});   // not printable: nothing
}

TEST_F(Events, PasswordBoxesShowStarsAndModeTwoTheCharacterJustTyped)
{
    Widget* box = focused_box();
    char shown[EDIT_TEXT_SIZE];
    auto expect_shown = [&](int mode, SDLKey sym, Uint16 unicode, const char* expected) {
        box->edit.password_mode = uint8_t(mode);
        type(sym, unicode);
        edit_shown_text(box, shown, sizeof shown);
        EXPECT_STREQ(shown, expected);
    };
    expect_shown(1, SDLK_x, 'x', "*");
    expect_shown(1, SDLK_y, 'y', "**");
    expect_shown(2, SDLK_z, 'z', "**z");
    expect_shown(2, SDLK_BACKSPACE, 0, "**");
    EXPECT_STREQ(box->edit.text, "xy");
}

TEST_F(Events, CaretGoesToTheNearestCharacterAndBlinksEveryFiveHundredMilliseconds)
{
    Widget* box = create_edit_box(100, 100, 300, 50, "hello world", font(), TEXT_BLACK, 0);
    registry_add(box, SLOT_PRESS, nullptr);
    int w5 = 0, h = 0;
    text_size(font(), "hello", &w5, &h);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100 + 6 + w5 + 1, 120));
    EXPECT_EQ(box->edit.caret_index, 5);
    EXPECT_EQ(box->edit.caret_x, 100 + 6 + w5);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 95, 120));
    EXPECT_EQ(box->edit.caret_index, 0);
    EXPECT_EQ(box->edit.caret_visible, 1);
    for (auto [after, visible] : {std::pair{0, 1}, {500, 0}, {200, 0}, {300, 1}}) {
        g_now += Uint32(after);
        send(user(UI_EVENT_CARET));
        EXPECT_EQ(box->edit.caret_visible, visible) << after;
    }
}

// ---- lists ------------------------------------------------------------------------------

class Lists : public Events {
protected:
    // Rows outlive their lists (freed in TearDown); one table per list.
    std::deque<std::vector<ListRow>> tables;
    std::deque<std::string> names;

    // A list of `count` rows at (0, 120), registered for dragging.
    Widget* list(int count, int height = 300, bool draggable = true)
    {
        std::vector<ListRow>& rows = tables.emplace_back(size_t(count), ListRow{});
        for (int i = 0; i < count; ++i) {
            names.push_back("Item " + std::to_string(i) + (i == 17 ? " Bravo" : ""));
            rows[size_t(i)].name.text = names.back().c_str();
        }
        Widget* w = create_list(app(), 0, 120, 420, height, rows.data(), count, 1);
        EXPECT_NE(w, nullptr);
        if (draggable)
            registry_add(w, SLOT_DRAG, nullptr);
        return w;
    }
    void drag(int from_y, const std::vector<int>& path, Uint32 step_ms)
    {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, from_y));
        for (int y : path) {
            g_now += step_ms;
            send(mouse_motion(100, y));
        }
    }
};

Widget* g_watched;
int g_max_offset;
int g_min_offset;
void watching_delay(Uint32 ms)
{
    g_now += ms;
    ++g_delay_calls;
    g_max_offset = std::max(g_max_offset, g_watched->list.offset);
    g_min_offset = std::min(g_min_offset, g_watched->list.offset);
}

TEST_F(Lists, TapRunsTheRowActionButNotAfterADrag)
{
    Widget* w = list(50);
    registry_add(w, SLOT_ROW_TAP, count_action<0>);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 2 * 60 + 10));
    EXPECT_EQ(w->list.pressed_row, 2);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 120 + 2 * 60 + 12));
    EXPECT_EQ(g_actions[0], 1);
    EXPECT_EQ(w->press_y, 120 + 130);

    drag(300, {290, 250}, 10);
    EXPECT_EQ(w->list.offset, 50);
    EXPECT_EQ(app()->ui.list_offsets[2], 50);
    g_now += 300;
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 250));
    EXPECT_EQ(g_actions[0], 1);
}

TEST_F(Lists, DragAndMouseWheelStayWithinTheEnds)
{
    Widget* w = list(10);   // 600 pixels of rows in 300
    drag(400, {390, 100, 10}, 300);
    EXPECT_EQ(w->list.offset, 300);
    EXPECT_EQ(list_last_offset(w), 300);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 10));
    drag(150, {160, 500}, 300);
    EXPECT_EQ(w->list.offset, 0);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 500));

    // The wheel moves by one row.
    auto wheel = [&](Uint8 button, int y, int times) {
        SDL_Event ev = mouse_button(SDL_MOUSEBUTTONDOWN, 100, y);
        ev.button.button = button;
        for (int i = 0; i < times; ++i)
            send(ev);
    };
    wheel(SDL_BUTTON_WHEELDOWN, 200, 1);
    EXPECT_EQ(w->list.offset, 60);
    wheel(SDL_BUTTON_WHEELDOWN, 200, 6);
    EXPECT_EQ(w->list.offset, 300);
    EXPECT_EQ(app()->ui.list_offsets[2], 300);
    wheel(SDL_BUTTON_WHEELUP, 600, 1);   // outside the list
    EXPECT_EQ(w->list.offset, 300);
    wheel(SDL_BUTTON_WHEELUP, 200, 7);
    EXPECT_EQ(w->list.offset, 0);
}

TEST_F(Lists, FlickReleasedTwoHundredMillisecondsAfterTheLastMotionDoesNotFling)
{
    Widget* w = list(100);
    drag(400, {390, 350, 300}, 10);
    g_now += 200;
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 300));
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(w->list.offset, 100);
    // The same flick released at once flings.
    drag(400, {390, 350, 300}, 10);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 300));
    EXPECT_GT(g_delay_calls, 0);
    EXPECT_GT(w->list.offset, 300);
    EXPECT_EQ(app()->ui.fling_active, 0);
    // A slow drag (0.3 pixels per millisecond or less) does not fling.
    g_delay_calls = 0;
    int before = w->list.offset;
    drag(300, {290, 284, 278}, 20);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 278));
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(w->list.offset, before + 22);
}

TEST_F(Lists, FlingPastTheEndOvershootsAndRestsExactlyAtTheLastOffset)
{
    Widget* w = list(20);   // last offset 900
    g_watched = w;
    g_max_offset = 0;
    g_min_offset = 0;
    ui_set_delay(watching_delay);
    drag(400, {380, 330, 280}, 10);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 280));
    EXPECT_GT(g_max_offset, list_last_offset(w));
    EXPECT_EQ(w->list.offset, list_last_offset(w));
    EXPECT_EQ(app()->ui.list_offsets[2], list_last_offset(w));
    EXPECT_EQ(app()->ui.fling_active, 0);
    EXPECT_EQ(w->list.overscroll, 0);
    EXPECT_LT(g_delay_calls, 1000);

    // And past the start it comes back to rest at 0.
    g_delay_calls = 0;
    drag(150, {170, 220, 270}, 10);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 270));
    EXPECT_LT(g_min_offset, 0);
    EXPECT_EQ(w->list.offset, 0);
}

TEST_F(Lists, FlingStopsWhenANewPressIsWaiting)
{
    list(200);
    drag(400, {380, 330, 280}, 10);
    g_queue.push_back(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 200));
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 280));
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(app()->ui.fling_active, 0);
    EXPECT_EQ(g_queue.size(), 1u);
}

int g_total_rows;
int load_ten(AppState*, Widget* w, int all)
{
    int added = 0;
    do {
        if (w->list.row_count >= g_total_rows)
            break;
        int n = std::min(10, g_total_rows - w->list.row_count);
        w->list.row_count += n;
        added += n;
    } while (all);
    return added;
}

TEST_F(Lists, IncrementalListLoadsMoreRowsAtTheEnd)
{
    Widget* w = list(60);
    g_total_rows = 60;
    w->list.row_count = 10;
    w->list.load_more = load_ten;
    registry_add(w, SLOT_DRAG, nullptr);
    drag(400, {390, 100}, 300);
    EXPECT_EQ(w->list.row_count, 20);
    EXPECT_EQ(w->list.offset, 300);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 100));
    // A fling keeps loading while rows remain, then settles on the true end.
    drag(410, {400, 300, 200}, 10);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 200));
    EXPECT_GT(w->list.row_count, 20);
    EXPECT_LE(w->list.offset, list_last_offset(w));
    // Type-ahead search loads everything first.
    registry_add(w, SLOT_ROW_TAP, nullptr);
    type(SDLK_i, 'i');
    EXPECT_EQ(w->list.row_count, 60);
}

TEST_F(Lists, TypeAheadSearchScrollsToTheFirstMatchIgnoringCase)
{
    Widget* w = list(100, 300, false);
    registry_add(w, SLOT_ROW_TAP, nullptr);
    type(SDLK_b, 'b');
    type(SDLK_r, 'R');
    EXPECT_STREQ(w->list.search, "bR");
    EXPECT_STREQ(w->list.header, "bR");
    EXPECT_EQ(w->list.offset, 17 * 60);
    EXPECT_EQ(app()->ui.list_offsets[2], 17 * 60);
    type(SDLK_BACKSPACE);
    type(SDLK_BACKSPACE);
    type(SDLK_BACKSPACE);
    EXPECT_STREQ(w->list.search, "");
    for (int i = 0; i < 40; ++i)
        type(SDLK_z, 'z');
    EXPECT_EQ(std::strlen(w->list.search), size_t(LIST_SEARCH_SIZE - 1));
}

int g_long_row = -1;
void on_long(AppState*, Widget*, int row) { g_long_row = row; }

TEST_F(Lists, LongPressFiresAfterFiveHundredMillisecondsAndReleaseRunsTheAction)
{
    Widget* w = list(20, 300, false);
    w->list.on_long_press = on_long;
    registry_add(w, SLOT_LONG_PRESS, count_action<4>);
    g_long_row = -1;
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 65));
    EXPECT_EQ(w->list.held, 1);
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_LONG_PRESS), 0u);
    g_queue.clear();
    g_now += 499;
    send(user(UI_EVENT_LONG_PRESS));
    EXPECT_EQ(g_long_row, -1);
    g_now += 1;
    send(user(UI_EVENT_LONG_PRESS));
    EXPECT_EQ(g_long_row, 1);
    EXPECT_EQ(w->list.held, 0);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 120 + 65));
    EXPECT_EQ(g_actions[4], 1);

    // A short press runs nothing.
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 65));
    g_now += 100;
    send(user(UI_EVENT_LONG_PRESS));
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 120 + 65));
    EXPECT_EQ(g_actions[4], 1);
}

TEST_F(Lists, DrawingClampsTheOffsetAndSkipsMissingRows)
{
    Widget* w = list(3, 300, false);
    w->list.offset = 5000;
    widget_draw(surface(), w);
    EXPECT_EQ(w->list.offset, 0);
    Widget* empty = create_list(app(), 420, 120, 400, 300, nullptr, 50, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->list.row_count, 0);
    widget_draw(surface(), empty);
    Widget* long_list = list(30);
    long_list->list.offset = 29 * 60;
    widget_draw(surface(), long_list);
    EXPECT_EQ(long_list->list.offset, list_last_offset(long_list));
    // Separator of the first visible row at its bottom in 0x505050.
    long_list->list.offset = 0;
    widget_draw(surface(), long_list);
    EXPECT_EQ(get_pixel(surface(), 5, 120 + 59) & 0xFFFFFF, 0x505050u);
}

// ---- timer events, spinners, periodic widgets ----------------------------------------------

int quick_job(void*) { return 0; }

TEST_F(Events, SpinnerAdvancesEveryTwoHundredMillisecondsAndCompletesOnce)
{
    Widget* idle = create_spinner(10, 10);
    registry_add(idle, SLOT_PRESS, nullptr);
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_SPINNER), 0u);
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(idle->state, 0);
    for (int i = 1; i <= 8; ++i) {
        g_now += 200;
        send(user(UI_EVENT_SPINNER));
        EXPECT_EQ(idle->state, i % 8);
    }

    // A job's spinner completes once when the job is done; a listing job's
    // at 256 rows; any spinner when the operation is cancelled.
    Widget* job = create_spinner(100, 10);
    registry_add(job, SLOT_PRESS, count_action<5>);
    ASSERT_EQ(spinner_start_job(job, quick_job, nullptr), 0);
    while (!shared_flag_load(&job->spinner.job_done))
        SDL_Delay(1);
    send(user(UI_EVENT_SPINNER));
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[5], 1);
    EXPECT_EQ(job->spinner.job_thread, nullptr);

    int rows = 255;
    Widget* listing = create_spinner(200, 10);
    listing->spinner.listing_rows = &rows;
    registry_add(listing, SLOT_PRESS, count_action<6>);
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[6], 0);
    shared_flag_store(&rows, 256);
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[6], 1);

    registry_add(create_spinner(300, 10), SLOT_PRESS, count_action<7>);
    app()->ui.abort_requested = 1;
    send(user(UI_EVENT_SPINNER));
    EXPECT_EQ(g_actions[7], 1);
}

TEST_F(Events, PeriodicWidgetRunsOnScheduleUntilItsLimit)
{
    Widget* p = create_periodic(1000, 3);
    ASSERT_EQ(post_deferred(p, SLOT_PERIODIC, count_action<7>), 0);
    EXPECT_EQ(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
    g_now += 1000;
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
    g_queue.clear();
    for (int i = 0; i < 5; ++i) {
        send(user(UI_EVENT_PERIODIC));
        g_now += 1000;
    }
    EXPECT_EQ(g_actions[7], 3);
    EXPECT_EQ(p->periodic.count, 3);
    EXPECT_EQ(p->periodic.done, 1);
    EXPECT_EQ(ui_timer_scan() & (1u << UI_EVENT_PERIODIC), 0u);
}

TEST_F(Events, TimerPushesAtMostOneEventOfEachCode)
{
    Widget* a = create_spinner(0, 0);
    Widget* b = create_spinner(100, 0);
    registry_add(a, SLOT_PRESS, nullptr);
    registry_add(b, SLOT_PRESS, nullptr);
    focused_box();
    post_play_request(app());
    unsigned pushed = ui_timer_scan();
    EXPECT_EQ(pushed, (1u << UI_EVENT_SPINNER) | (1u << UI_EVENT_CARET) | (1u << UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(g_queue.size(), 3u);
    // The request stays until honoured, so a full queue loses nothing.
    g_queue.clear();
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_PLAY_REQUEST), 0u);
}

// ---- play requests and the modal loop ----------------------------------------------------

int g_play_calls;
void count_play(AppState* app)
{
    ++g_play_calls;
    app->ui.play_requested = 1;
}

TEST_F(Events, PendingPlayRequestIsHonouredOnceEvenUnderADialog)
{
    g_play_calls = 0;
    ui_set_play_request_handler(count_play);
    message_box(app(), surface(), "A dialog", 160, 0, nullptr);
    ASSERT_EQ(post_play_request(app()), 0);
    registry_clear(app(), 1);
    g_queue.push_back(user(UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(modal_loop(app(), nullptr), 0);
    EXPECT_EQ(g_play_calls, 1);
    EXPECT_EQ(active_slots(SLOT_PLAY_TAKEN), 1);
    app()->ui.play_requested = 0;
    send(user(UI_EVENT_PLAY_REQUEST));
    EXPECT_EQ(g_play_calls, 1);
    // While the player owns the screen, the request waits.
    app()->flags |= APP_PLAYER_SCREEN;
    post_play_request(app());
    send(mouse_motion(10, 10));
    EXPECT_EQ(g_play_calls, 1);
    app()->flags &= ~APP_PLAYER_SCREEN;
    send(mouse_motion(10, 10));
    EXPECT_EQ(g_play_calls, 2);
    ui_set_play_request_handler(nullptr);
}

TEST_F(Events, ModalLoopEndsOnQuitDoneAbortOrPlayRequested)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    g_queue.push_back(quit);
    EXPECT_EQ(modal_loop(app(), nullptr), 1);
    EXPECT_TRUE(g_queue.empty());
    // A nested wait passes the quit on to the loop below it.
    g_queue.push_back(quit);
    int done = 0;
    EXPECT_EQ(modal_loop(app(), &done), 1);
    ASSERT_EQ(g_queue.size(), 1u);
    EXPECT_EQ(g_queue.front().type, SDL_QUIT);
    g_queue.clear();

    done = 1;
    EXPECT_EQ(modal_loop(app(), &done), 0);
    done = 0;
    app()->ui.abort_requested = 1;
    EXPECT_EQ(modal_loop(app(), &done), 0);
    app()->ui.abort_requested = 0;

    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Play", font(), TEXT_WHITE, 1);
    registry_add(b, SLOT_PRESS, [](AppState* a, RegistrySlot*) { a->ui.play_requested = 1; });
    g_queue.push_back(mouse_button(SDL_MOUSEBUTTONDOWN, 110, 110));
    g_queue.push_back(mouse_button(SDL_MOUSEBUTTONUP, 110, 110));
    g_queue.push_back(mouse_motion(1, 1));
    EXPECT_EQ(modal_loop(app(), nullptr), 0);
    EXPECT_EQ(app()->ui.play_requested, 1);
    EXPECT_EQ(g_queue.size(), 1u);   // the loop stopped right after the request
}

// ---- orientation ---------------------------------------------------------------------------------

TEST_F(Events, MapPointerForTheFourOrientations)
{
    const int expected[][2] = {{10, 20}, {20, 990}, {990, 580}, {580, 10}, {10, 20}};
    for (int o : {0, 1, 2, 3, 7}) {
        int x = 10, y = 20;
        map_pointer(o, &x, &y);
        EXPECT_EQ(x, expected[std::min(o, 4)][0]) << o;
        EXPECT_EQ(y, expected[std::min(o, 4)][1]) << o;
    }
    // In orientation 2 a tap on the turned screen hits the button where it is drawn.
    Widget* b = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Go", font(), TEXT_WHITE, 1);
    registry_add(b, SLOT_PRESS, count_action<0>);
    app()->out.orientation = 2;
    click(1000 - (b->x + 5), 600 - (b->y + 5));
    EXPECT_EQ(g_actions[0], 1);
}

TEST_F(Events, OrientationFollowsTheAxesOnlyAfterFiveHundredMillisecondsOfTheSameCandidate)
{
    orientation_reset(0);
    EXPECT_EQ(orientation_from_axes(10000, 0), 0);   // candidate 2 first seen
    g_now += 300;
    EXPECT_EQ(orientation_from_axes(10000, 100), 0);
    g_now += 200;                                     // exactly 500: not yet
    EXPECT_EQ(orientation_from_axes(10000, 100), 0);
    g_now += 1;
    EXPECT_EQ(orientation_from_axes(10000, 100), 2);
    // A change of candidate restarts the wait.
    EXPECT_EQ(orientation_from_axes(-10000, 0), 2);
    g_now += 400;
    EXPECT_EQ(orientation_from_axes(10000, 0), 2);    // back to the current one
    g_now += 400;
    EXPECT_EQ(orientation_from_axes(-10000, 0), 2);   // seen anew
    g_now += 501;
    EXPECT_EQ(orientation_from_axes(-10000, 0), 0);
    // The boundary angles: 1.5 rad is still orientation 2.
    orientation_reset(0);
    orientation_from_axes(1000, int(1000 * std::tan(1.49)));
    g_now += 501;
    EXPECT_EQ(orientation_from_axes(1000, int(1000 * std::tan(1.49))), 2);
}

TEST_F(Events, JoystickAxesTurnTheDisplayOnlyWhenAutoRotateIsOn)
{
    // Axes x, y, z, then x again after 600 ms.
    auto tilt = [&](int z) {
        for (int pass = 0; pass < 2; ++pass, g_now += 600)
            for (int a = 0; a < (pass ? 1 : 3); ++a) {
                SDL_Event ev{};
                ev.jaxis = {SDL_JOYAXISMOTION, 0, Uint8(a), Sint16(a == 0 ? 20000 : a == 2 ? z : 0)};
                send(ev);
            }
    };
    SDL_Surface* mine = app()->ui.ui_surface;
    tilt(0);
    EXPECT_EQ(app()->out.orientation, 0);
    app()->settings.auto_rotate = 1;
    tilt(20000);   // lying flat: ignored
    EXPECT_EQ(app()->out.orientation, 0);
    tilt(0);
    EXPECT_EQ(app()->out.orientation, 2);
    app()->ui.ui_surface = mine;
}

// ---- fuzz ------------------------------------------------------------------------------------------

TEST_F(Lists, RandomEventsOnAFullScreenNeverBreakTheWidgets)
{
    Widget* l = list(40, 400);
    registry_add(l, SLOT_ROW_TAP, count_action<0>);
        Widget* box = create_edit_box(500, 100, 300, 50, "", font(), TEXT_BLACK, 12);
    for (int code : {SLOT_PRESS, SLOT_KEYS, SLOT_CARET})
        registry_add(box, code, nullptr);
    Widget* digits = create_edit_box(500, 200, 300, 50, "", font(), TEXT_BLACK, 0);
    digits->edit.digits_only = 1;
    digits->edit.password_mode = 2;
    registry_add(digits, SLOT_PRESS, nullptr);
    registry_add(create_button(600, 400, -1, -1, ART_BUTTON, nullptr, 0, 0, "B", font(), TEXT_WHITE, 1),
                 SLOT_PRESS, count_action<1>);
    registry_add(create_selector3(500, 300, "a", "b", font(), 0, 0), SLOT_PRESS, nullptr);
    registry_add(create_colour_picker(450, 500, 30, 30), SLOT_PRESS, nullptr);

    std::mt19937 rng(1234);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    for (int i = 0; i < 6000; ++i) {
        g_now += Uint32(pick(300));
        SDL_Event ev{};
        switch (pick(6)) {
        case 0: ev = mouse_button(SDL_MOUSEBUTTONDOWN, pick(1100) - 50, pick(700) - 50); break;
        case 1: ev = mouse_button(SDL_MOUSEBUTTONUP, pick(1100) - 50, pick(700) - 50); break;
        case 2: ev = mouse_motion(pick(1000), pick(600)); break;
        case 3: ev = key(SDLKey(pick(330)), Uint16(pick(0x10000)), SDLMod(pick(0x1000))); break;
        case 4: ev = key(SDLKey(pick(330)), 0, KMOD_NONE, SDL_KEYUP); break;
        default: ev = user(pick(14)); break;
        }
        if (ev.type == SDL_MOUSEBUTTONDOWN && pick(4) == 0)
            ev.button.button = Uint8(pick(6));
        send(ev);
        g_queue.clear();
        ASSERT_LE(std::strlen(box->edit.text), 12u);
        ASSERT_GE(l->list.offset, 0);
        ASSERT_LE(l->list.offset, list_last_offset(l));
        for (char c : std::string(digits->edit.text))
            ASSERT_TRUE(c >= '0' && c <= '9') << digits->edit.text;
        ASSERT_EQ(app()->ui.fling_active, 0);
    }
}

// A queue the timer thread may push into, set up with the timer running.
SDL_mutex* g_locked_mutex;
std::deque<SDL_Event> g_locked_queue;
int locked_push(SDL_Event* ev)
{
    SDL_mutexP(g_locked_mutex);
    g_locked_queue.push_back(*ev);
    SDL_mutexV(g_locked_mutex);
    return 0;
}
int locked_poll(SDL_Event* ev)
{
    SDL_mutexP(g_locked_mutex);
    bool any = !g_locked_queue.empty();
    if (any) {
        *ev = g_locked_queue.front();
        g_locked_queue.pop_front();
    }
    SDL_mutexV(g_locked_mutex);
    return any;
}
int no_peep(SDL_Event*, int, Uint32) { return 0; }
const EventSource LOCKED_SOURCE = {locked_poll, no_peep, locked_push};

class UiTimer : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        g_locked_mutex = SDL_CreateMutex();
        g_locked_queue.clear();
        ui_set_event_source(&LOCKED_SOURCE);
        ASSERT_EQ(ui_timer_start(), 0);
        EXPECT_EQ(ui_timer_start(), 0);   // already running
    }
    void TearDown() override
    {
        ui_timer_stop();
        ui_timer_stop();
        ui_set_play_request_handler(nullptr);
        registry_clear(app(), 1);
        ToolkitTest::TearDown();
        SDL_DestroyMutex(g_locked_mutex);
    }
};

TEST_F(UiTimer, ThreadTurnsAPlayRequestIntoAnEvent)
{
    ASSERT_EQ(post_play_request(app()), 0);
    bool seen = false;
    // Bounded by count, not by time: the request wakes the timer at once.
    for (int i = 0; i < 5000 && !seen; ++i) {
        SDL_Event ev;
        while (locked_poll(&ev))
            seen |= ev.type == SDL_USEREVENT && ev.user.code == UI_EVENT_PLAY_REQUEST;
        if (!seen)
            SDL_Delay(2);
    }
    EXPECT_TRUE(seen);
}

int listener_like(void*)
{
    for (int i = 0; i < 3000; ++i) {
        post_play_request(nullptr);
        if (i % 100 == 0)
            SDL_Delay(1);
    }
    return 0;
}

// The listener posting requests, the UI timer scanning and the main thread
// rebuilding screens all share the registry; the thread sanitizer build
// checks that they do so under its lock.
TEST_F(UiTimer, ListenerTimerAndScreensShareTheRegistry)
{
    SDL_Thread* listener = SDL_CreateThread(listener_like, nullptr);
    ASSERT_NE(listener, nullptr);
    ui_set_play_request_handler([](AppState* a) { ++a->nav.current_channel; });
    for (int round = 0; round < 400; ++round) {
        registry_clear(app(), round % 2);
        widgets_clear(app(), round % 2);
        if (Widget* spin = create_spinner(10, 10))
            registry_add(spin, SLOT_PRESS, nullptr);
        if (Widget* box = create_edit_box(100, 100, 200, 40, "x", nullptr, 0, 0)) {
            box->persistent = uint8_t(round % 3 == 0);
            registry_add(box, SLOT_CARET, nullptr);
        }
        SDL_Event ev;
        while (locked_poll(&ev))
            handle_event(app(), surface(), &ev);
        send(mouse_motion(5, 5));
        SDL_SemPost(ui_timer_semaphore());
    }
    SDL_WaitThread(listener, nullptr);
    EXPECT_GT(app()->nav.current_channel, 0);
}

}  // namespace
