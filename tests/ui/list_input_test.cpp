// Lists driven through the event handler: row taps and long presses, drag
// and wheel scrolling within the ends, the kinetic rule with overscroll and
// bounce, incremental loading, type-ahead search, the per-browse-mode scroll
// memory, and a random event storm over a full screen.
#include "tests/ui/ui_test_support.h"

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace toolkit_test;

constexpr int MODE = BROWSE_LOCAL;  // the browse mode whose offset the lists keep

class Lists : public ToolkitTest {
protected:
    // Rows outlive their lists (freed with the fixture); one table per list.
    std::deque<std::vector<ListRow>> tables;
    std::deque<std::string> names;

    // A list of `count` 60-pixel rows at (0, 120), 420 x height, registered for dragging.
    Widget* list(int count, int height = 300, bool draggable = true)
    {
        std::vector<ListRow>& rows = tables.emplace_back(size_t(count), ListRow{});
        for (int i = 0; i < count; ++i)
            rows[size_t(i)].name.text =
                names.emplace_back("Item " + std::to_string(i) + (i == 17 ? " Bravo" : "")).c_str();
        ListSetup setup;
        setup.highlight = 1;
        setup.browse_mode = MODE;
        Widget* w = create_list(ui(), 0, 120, 420, height, rows.data(), count, setup);
        if (draggable)
            registry_add(w, SLOT_DRAG, nullptr);
        return w;
    }
    // Presses at from_y, moves through path step_ms apart and, with release, lets go at once.
    void drag(int from_y, const std::vector<int>& path, Uint32 step_ms, bool release = false)
    {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, from_y));
        for (int y : path) {
            g_now += step_ms;
            send(mouse_motion(100, y));
        }
        if (release)
            send(mouse_button(SDL_MOUSEBUTTONUP, 100, path.back()));
    }
    int remembered() { return ui()->list_offsets[MODE]; }
};

Widget* g_watched;
int g_max_offset, g_min_offset;
void watching_delay(Uint32 ms)
{
    fake_delay(ms);
    g_max_offset = std::max(g_max_offset, g_watched->list.offset);
    g_min_offset = std::min(g_min_offset, g_watched->list.offset);
}

TEST_F(Lists, TapRunsTheRowActionButNotAfterADragAndTheOffsetIsRemembered)
{
    Widget* w = list(50);
    registry_add(w, SLOT_ROW_TAP, count_action<0>);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 2 * 60 + 10));
    EXPECT_EQ(w->list.pressed_row, 2);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 120 + 2 * 60 + 12));
    EXPECT_EQ(g_actions[0], 1);
    drag(300, {290, 250}, 10);
    EXPECT_EQ(w->list.offset, 50);
    EXPECT_EQ(remembered(), 50);
    g_now += 300;
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 250));
    EXPECT_EQ(g_actions[0], 1);
    widgets_clear(1);  // a new list of the same browse mode starts where this one was left
    EXPECT_EQ(list(50)->list.offset, 50);
}

TEST_F(Lists, DragAndMouseWheelStayWithinTheEnds)
{
    Widget* w = list(10);  // 600 pixels of rows in 300
    drag(400, {390, 100, 10}, 300, true);
    EXPECT_EQ(w->list.offset, 300);
    drag(150, {160, 500}, 300, true);
    EXPECT_EQ(w->list.offset, 0);
    // The wheel moves by one row, only over the list. {button, y, notches, offset}
    for (auto [button, y, times, offset] : {std::tuple{SDL_BUTTON_WHEELDOWN, 200, 1, 60},
                                            {SDL_BUTTON_WHEELDOWN, 200, 6, 300},
                                            {SDL_BUTTON_WHEELUP, 600, 1, 300},
                                            {SDL_BUTTON_WHEELUP, 200, 7, 0}}) {
        SDL_Event ev = mouse_button(SDL_MOUSEBUTTONDOWN, 100, y);
        ev.button.button = Uint8(button);
        for (int i = 0; i < times; ++i)
            send(ev);
        EXPECT_EQ(w->list.offset, offset);
        EXPECT_EQ(remembered(), offset);
    }
}

TEST_F(Lists, OnlyAQuickReleaseAfterAFastDragFlingsAndItRestsExactlyAtAnEnd)
{
    Widget* w = list(100);
    drag(400, {390, 350, 300}, 10);
    g_now += 200;  // released 200 ms after the last motion
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 300));
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(w->list.offset, 100);
    drag(300, {290, 284, 278}, 20, true);  // 0.3 pixels per millisecond: too slow
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(w->list.offset, 122);
    drag(400, {390, 350, 300}, 10, true);  // the fast flick released at once
    EXPECT_GT(g_delay_calls, 0);
    EXPECT_GT(w->list.offset, 122 + 200);
    EXPECT_EQ(ui()->fling_active, 0);

    // Past either end it overshoots, bounces back and rests at the end.
    widgets_clear(1);
    ui()->list_offsets[MODE] = 0;
    g_watched = list(20);
    g_max_offset = g_min_offset = g_delay_calls = 0;
    ui_set_delay(watching_delay);
    drag(400, {380, 330, 280}, 10, true);
    EXPECT_GT(g_max_offset, list_last_offset(g_watched));
    EXPECT_EQ(g_watched->list.offset, list_last_offset(g_watched));
    EXPECT_EQ(remembered(), list_last_offset(g_watched));
    EXPECT_EQ(g_watched->list.overscroll, 0);
    EXPECT_LT(g_delay_calls, 1000);
    drag(150, {170, 220, 270}, 10, true);
    EXPECT_LT(g_min_offset, 0);
    EXPECT_EQ(g_watched->list.offset, 0);
}

TEST_F(Lists, FlingStopsWhenANewPressIsWaiting)
{
    list(200);
    drag(400, {380, 330, 280}, 10);
    g_queue.push_back(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 200));
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 280));
    EXPECT_EQ(g_delay_calls, 0);
    EXPECT_EQ(ui()->fling_active, 0);
    EXPECT_EQ(g_queue.size(), 1u);
}

int g_total_rows;
int load_ten(AppState*, Widget* w, int all)
{
    int added = 0;
    do {
        const int n = std::min(10, g_total_rows - w->list.row_count);
        w->list.row_count += n;
        added += n;
    } while (all && w->list.row_count < g_total_rows);
    return added;
}

TEST_F(Lists, IncrementalListLoadsMoreRowsAtTheEndAndAllBeforeASearch)
{
    Widget* w = list(60);
    g_total_rows = 60;
    w->list.row_count = 10;
    w->list.load_more = load_ten;
    drag(400, {390, 100}, 300);
    EXPECT_EQ(w->list.row_count, 20);
    EXPECT_EQ(w->list.offset, 300);
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 100));
    drag(410, {400, 300, 200}, 10, true);  // a fling keeps loading, then settles on the true end
    EXPECT_GT(w->list.row_count, 20);
    EXPECT_LE(w->list.offset, list_last_offset(w));
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
    EXPECT_STREQ(w->list.header, "bR");
    EXPECT_EQ(w->list.offset, 17 * 60);
    EXPECT_EQ(remembered(), 17 * 60);
    for (int i = 0; i < 3; ++i)
        type(SDLK_BACKSPACE);
    EXPECT_STREQ(w->list.search, "");
    for (int i = 0; i < 40; ++i)
        type(SDLK_z, 'z');
    EXPECT_EQ(std::strlen(w->list.search), size_t(LIST_SEARCH_SIZE - 1));
}

int g_long_row = -1;

TEST_F(Lists, LongPressFiresAfterFiveHundredMillisecondsAndReleaseRunsTheAction)
{
    Widget* w = list(20, 300, false);
    w->list.on_long_press = [](AppState*, Widget*, int row) { g_long_row = row; };
    registry_add(w, SLOT_LONG_PRESS, count_action<4>);
    g_long_row = -1;
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 65));
    EXPECT_NE(ui_timer_scan() & (1u << UI_EVENT_LONG_PRESS), 0u);
    for (auto [after, row] : {std::pair{499, -1}, {1, 1}}) {
        g_now += Uint32(after);
        send(user(UI_EVENT_LONG_PRESS));
        EXPECT_EQ(g_long_row, row) << after;
    }
    send(mouse_button(SDL_MOUSEBUTTONUP, 100, 120 + 65));
    EXPECT_EQ(g_actions[4], 1);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 120 + 65));  // a short press runs nothing
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
    Widget* empty = create_list(ui(), 420, 120, 400, 300, nullptr, 50, ListSetup{});
    EXPECT_EQ(empty->list.row_count, 0);
    widget_draw(surface(), empty);
}

TEST_F(Lists, RandomEventsOnAFullScreenNeverBreakTheWidgets)
{
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    Widget* l = list(40, 400);
    registry_add(l, SLOT_ROW_TAP, count_action<0>);
    Widget* box = create_edit_box(500, 100, 300, 50, "", font, TEXT_BLACK, 12);
    Widget* digits = create_edit_box(500, 200, 300, 50, "", font, TEXT_BLACK, 0);
    digits->edit.digits_only = 1;
    digits->edit.password_mode = 2;
    for (int code : {SLOT_PRESS, SLOT_KEYS, SLOT_CARET})
        registry_add(box, code, nullptr);
    for (Widget* w :
         {digits,
          create_button(600, 400, -1, -1, ART_BUTTON, nullptr, 0, 0, "B", font, TEXT_WHITE, 1),
          create_selector3(500, 300, "a", "b", font, 0, 0), create_colour_picker(450, 500, 30, 30)})
        registry_add(w, SLOT_PRESS, nullptr);
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
        ASSERT_EQ(std::string(digits->edit.text).find_first_not_of("0123456789"), std::string::npos)
            << digits->edit.text;
        ASSERT_EQ(ui()->fling_active, 0);
    }
}

}  // namespace
