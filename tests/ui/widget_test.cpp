// The widget pool, the registry and its clear rules, constructors, drawing,
// message boxes and error messages, with the real artwork and fonts.
#include "tests/ui/ui_test_support.h"

#include <set>
#include <string>
#include <tuple>

#include "platform/media_enums.h"
#include "platform/result_codes.h"

namespace {

using namespace toolkit_test;

using WidgetPool = ToolkitTest;

Widget* plain_button(int x, int y, const char* label, int w = -1, int h = -1)
{
    return create_button(x, y, w, h, ART_BUTTON, nullptr, 0, 0, label, nullptr, 0, 0);
}

TEST_F(WidgetPool, SixtyFifthWidgetIsNullAndFortyFirstRegistrationFails)
{
    std::set<Widget*> seen;
    for (int i = 0; i < WIDGET_POOL_SIZE; ++i)
        seen.insert(widget_alloc());
    EXPECT_EQ(seen.size(), size_t(WIDGET_POOL_SIZE));
    EXPECT_EQ(seen.count(nullptr), 0u);
    EXPECT_EQ(widget_alloc(), nullptr);
    EXPECT_EQ(create_checkbox(0, 0), nullptr);
    EXPECT_EQ(plain_button(0, 0, "x"), nullptr);

    Widget* w = *seen.begin();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        ASSERT_EQ(registry_add(w, SLOT_PRESS, nullptr), 0) << i;
    EXPECT_EQ(registry_add(w, SLOT_PRESS, nullptr), -1);
    EXPECT_EQ(active_slots(), REGISTRY_SIZE);
    w->state = 7;  // a freed record is handed out again, zeroed
    widget_free(w);
    EXPECT_EQ(widget_alloc(), w);
    EXPECT_EQ(w->state, 0);
}

TEST_F(WidgetPool, ButtonTakesArtworkSizeOrStretchedCopiesThatItOwns)
{
    Widget* own = plain_button(10, 20, "Own");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->width, artwork(ART_BUTTON)->w);
    EXPECT_EQ(own->images[1], artwork(ART_BUTTON_PRESSED));
    EXPECT_EQ(own->owns_images, 0);
    Widget* big = plain_button(0, 0, "Big", 300, 90);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->owns_images, 1);
    EXPECT_EQ(big->images[1]->w * 1000 + big->images[1]->h, 300090);
    widget_free(big);  // frees its copies (the sanitizer build reports a leak otherwise)
    EXPECT_EQ(artwork(ART_BUTTON)->w, own->width);
    // A label past 31 bytes is cut before the character that would not fit.
    Widget* lab = plain_button(0, 0, (std::string(30, 'x') + "\xE2\x82\xAC").c_str());
    EXPECT_EQ(std::string(lab->label), std::string(30, 'x'));
    // An index at the end of the table has no pressed partner.
    EXPECT_EQ(create_button(0, 0, -1, -1, ART_COUNT - 1, nullptr, 0, 0, nullptr, nullptr, 0, 0),
              nullptr);
    EXPECT_EQ(create_button(0, 0, -1, -1, -3, nullptr, 0, 0, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(WidgetPool, PartialClearKeepsPersistentWidgetsAndPlayRequestSurvivesEveryClear)
{
    Widget* keep = create_checkbox(0, 0);
    Widget* drop = create_checkbox(50, 0);
    keep->persistent = 1;
    registry_add(keep, SLOT_PRESS, nullptr);
    registry_add(drop, SLOT_PRESS, nullptr);
    ASSERT_EQ(post_play_request(), 0);
    ASSERT_EQ(post_play_request(), 0);  // one request is kept pending
    EXPECT_EQ(active_slots(), 3);
    registry_clear(0);
    widgets_clear(0);
    EXPECT_EQ(keep->in_use, 1);
    EXPECT_EQ(drop->in_use, 0);
    EXPECT_EQ(active_slots(), 2);
    EXPECT_EQ(keep->slot->widget, keep);
    registry_clear(1);
    widgets_clear(1);
    EXPECT_EQ(keep->in_use, 0);
    EXPECT_EQ(active_slots(SLOT_PLAY_REQUEST), 1);
    // Screens filling the registry afterwards cannot overwrite it.
    Widget* w = create_checkbox(0, 0);
    int added = 0;
    while (added <= REGISTRY_SIZE && registry_add(w, SLOT_PRESS, nullptr) == 0)
        ++added;
    EXPECT_EQ(added, REGISTRY_SIZE - 1);
}

TEST_F(WidgetPool, FreedWidgetTakesItsSlotsAlongSoTheRecordsNextOwnerStaysQuiet)
{
    Widget* old = plain_button(100, 100, "Old");
    ASSERT_EQ(registry_add(old, SLOT_PRESS, count_action<0>), 0);
    widgets_clear(0);  // a screen that forgets registry_clear
    EXPECT_EQ(active_slots(), 0);
    ASSERT_EQ(plain_button(100, 100, "New"), old);
    click(110, 110);
    EXPECT_EQ(g_actions[0], 0);
}

TEST_F(WidgetPool, ResizeRedrawKeepsRunningSpinnerAndClearCancelsItsJob)
{
    Widget* spin = create_spinner(10, 10);
    ASSERT_EQ(spinner_start_job(spin, job_until_cancelled, spin), 0);
    EXPECT_EQ(spinner_start_job(spin, job_until_cancelled, spin), -1);  // one job at a time
    registry_add(spin, SLOT_PRESS, nullptr);
    ui_set_resize_redraw(1);
    registry_clear(1);
    widgets_clear(1);
    widget_free(spin);
    ui_set_resize_redraw(0);
    EXPECT_EQ(spin->in_use, 1);
    EXPECT_EQ(active_slots(), 1);
    widgets_clear(1);  // raises the job's cancel request and waits for it
    EXPECT_TRUE(spinner_cancel_requested(spin));
    EXPECT_EQ(spin->in_use, 0);
    EXPECT_EQ(active_slots(), 0);
}

TEST_F(WidgetPool, DrawingEveryKindPartlyOffTheSurfaceStaysInsideIt)
{
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    for (Widget* w :
         {create_button(-30, -20, 200, 60, ART_BUTTON, artwork(ART_MOVIE), 5, 5, "Edge", font, 0,
                        1),
          create_toggle(960, 580, artwork(ART_LOCK), artwork(ART_LOCKP), 1),
          create_selector3(900, 10, "Small", "Large", font, 0, 0),
          create_colour_picker(800, 590, 40, 30),
          create_edit_box(-50, 300, 300, 50, "hidden", font, 0, 0), create_spinner(990, 590),
          create_checkbox(-10, -10), create_image(700, 500, artwork(ART_DIALOG), 1)}) {
        ASSERT_NE(w, nullptr);
        w->state = 1;
        widget_draw(surface(), w);
        widget_draw(nullptr, w);
    }
    widget_draw(surface(), nullptr);
    // A button with save-under restores its background when released.
    fill_rect(surface(), 0, 0, 1000, 600, 0xFF336699);
    Widget* b = create_button(100, 100, -1, -1, ART_STANDBY, nullptr, 0, 0, nullptr, nullptr, 0, 1);
    SDL_Rect r{100, 100, Uint16(b->width), Uint16(b->height)};
    SurfacePtr normal(surface_create(b->width, b->height)),
        after(surface_create(b->width, b->height));
    for (auto [state, out] : {std::pair{0, normal.get()}, {1, after.get()}, {0, after.get()}}) {
        b->state = uint8_t(state);
        widget_draw(surface(), b);
        copy_rect(out, 0, 0, surface(), &r);
    }
    EXPECT_TRUE(same_pixels(normal.get(), after.get()));
}

// A redraw puts back what lay under the widget: with save_under the pixels
// of a dialog card (not the screen's background image), and all around a
// colour picker, so the frame of the cell chosen before leaves no trace.
TEST_F(WidgetPool, RedrawPutsBackWhatLayUnderTheWidgetAndItsSelectionFrame)
{
    constexpr uint32_t CARD = 0xFF336699;
    SDL_Surface* bg = screen_background(surface());
    struct Case {
        Widget* w;
        int save_under;
        int probe_x, probe_y;  // outside what the new state draws
    };
    for (const Case& c : {Case{create_checkbox(100, 100), 1, 100, 100},
                          Case{create_colour_picker(200, 300, 30, 30), 0, 200, 296},
                          Case{create_colour_picker(200, 400, 30, 30), 1, 198, 429}}) {
        ASSERT_NE(c.w, nullptr);
        fill_rect(surface(), 0, 0, 1000, 600, CARD);
        c.w->save_under = uint8_t(c.save_under);
        widget_draw(surface(), c.w);
        c.w->state = 3;
        widget_draw(surface(), c.w);
        const uint32_t under = c.save_under ? CARD : get_pixel(bg, c.probe_x, c.probe_y);
        EXPECT_EQ(get_pixel(surface(), c.probe_x, c.probe_y), under)
            << "kind " << c.w->kind << " save_under " << c.save_under;
    }
}

TEST_F(WidgetPool, ListRowsLoadSharedPicturesOnceAndReleaseOnlyTheirOwn)
{
    ListRow rows[4] = {};
    for (int i = 0; i < 4; ++i)
        rows[i].name.text = "row";
    std::strcpy(rows[0].icon_file, "images/movie.png");
    std::strcpy(rows[1].icon_file, "images/movie.png");
    std::strcpy(rows[2].icon_file, "images/no-such-picture.png");
    rows[3].icon = artwork(ART_TV);  // the caller's own picture
    Widget* l = create_list(ui(), 0, 120, 420, 300, rows, 4, ListSetup{});
    ASSERT_NE(l, nullptr);
    widget_draw(surface(), l);
    ASSERT_NE(rows[0].icon, nullptr);
    EXPECT_EQ(rows[0].icon_loaded, ROW_ICON_LOADED);
    EXPECT_EQ(rows[1].icon, rows[0].icon);
    EXPECT_EQ(rows[1].icon_loaded, ROW_ICON_SHARED);
    EXPECT_EQ(rows[2].icon_loaded, ROW_ICON_MISSING);
    widget_draw(surface(), l);  // nothing is loaded twice (the leak check would see it)
    widget_free(l);
    EXPECT_EQ(rows[0].icon, nullptr);
    EXPECT_EQ(rows[1].icon, nullptr);
    EXPECT_EQ(rows[3].icon, artwork(ART_TV));
    EXPECT_EQ(current_list_widget(), nullptr);
}

TEST_F(WidgetPool, HiddenExtensionsApplyToVideoAndAudioRowsOnly)
{
    auto draw_row = [&](std::string name, int media_class, bool hide) {
        ListRow row{};
        row.name.text = name.c_str();
        row.media_class = media_class;
        ListSetup setup;
        setup.hide_extensions = hide;
        Widget* l = create_list(ui(), 0, 0, 420, 60, &row, 1, setup);
        SurfacePtr out(surface_create(420, 60));
        widget_draw(out.get(), l);
        widget_free(l);
        return out;
    };
    for (auto [name, media_class, hide, hidden] :
         {std::tuple{"Holiday.mkv", MEDIA_CLASS_VIDEO, true, true},
          {"Song.mp3", MEDIA_CLASS_AUDIO, true, true},
          {"Photo.jpg", MEDIA_CLASS_IMAGE, true, false},
          {"Holiday.mkv", MEDIA_CLASS_VIDEO, false, false}}) {
        const std::string bare = std::string(name).substr(0, std::strlen(name) - 4);
        EXPECT_EQ(same_pixels(draw_row(name, media_class, hide).get(),
                              draw_row(bare, media_class, false).get()),
                  hidden)
            << name;
    }
}

// ---- message boxes and errors ----------------------------------------------------------

struct Seen {
    std::string text;
    int top = -1, width = -1, count = 0;
};
Seen g_seen;
int g_screen_calls, g_home_calls;

class Dialogs : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        g_seen = Seen{};
        g_screen_calls = g_home_calls = 0;
        ui_set_message_box_observer([](const char* text, int top, int width) {
            g_seen = {text, top, width, g_seen.count + 1};
        });
    }
};

TEST_F(Dialogs, OkReturnsToTheScreenThatRaisedTheMessageOrHome)
{
    message_box(ui(), surface(), "Hello there", 160, 0, nullptr);
    EXPECT_EQ(active_slots(), 2);
    ASSERT_TRUE(registered("OK") && registered("Menu"));
    ui_set_home_screen([](AppState*) { ++g_home_calls; });
    ui()->current_screen = [](AppState*) { ++g_screen_calls; };
    // Without live channels there is nothing to go back to: home.
    for (auto [code, screen_calls, home_calls] :
         {std::tuple{int(ERR_STREAM_DATA), 1, 0}, {ERR_NO_CHANNELS, 1, 1}}) {
        show_error(ui(), ErrorContext{}, code);
        ASSERT_NE(registered("OK"), nullptr);
        click(registered("OK"));
        EXPECT_EQ(std::pair(g_screen_calls, g_home_calls), std::pair(screen_calls, home_calls))
            << code;
    }
    ui_set_home_screen(nullptr);
    // Huge texts and odd places never crash.
    std::string text(5000, 'w');
    for (size_t i = 0; i < text.size(); i += 7)
        text[i] = ' ';
    message_box(ui(), surface(), text.c_str(), 160, 0, nullptr);
    message_box(ui(), surface(), "x", 590, 1200, nullptr);
    message_box(ui(), surface(), "x", -50, 30, nullptr);
    message_box(ui(), nullptr, "x", 100, 0, nullptr);
    message_box(ui(), surface(), nullptr, 100, 0, nullptr);
}

// The texts themselves are the table's business; what matters is that the
// right one is chosen for what the user was doing and that a cancelled
// operation shows only what still concerns the user.
std::string error_text(ErrorContext context, int code, bool cancelled = false)
{
    char text[1024];
    return error_message_text(context, cancelled, code, text, sizeof text) ? text : "(none)";
}

TEST_F(Dialogs, ErrorTextsFollowWhatTheUserWasDoingAndACancel)
{
    const ErrorContext local{SOURCE_LOCAL, BROWSE_LOCAL, MEDIA_KIND_DIRECT};
    const ErrorContext streamer{SOURCE_STREAMER, BROWSE_REMOTE, MEDIA_KIND_STREAMED};
    const ErrorContext upnp{SOURCE_UPNP, BROWSE_UPNP, MEDIA_KIND_DIRECT};
    const ErrorContext live{SOURCE_STREAMER, BROWSE_CHANNELS, MEDIA_KIND_LIVE};
    // ERR_GENERIC by source (playlist and recording lists count as local),
    // ERR_MEDIA_OPEN by media kind.
    EXPECT_EQ(
        (std::set<std::string>{error_text(local, ERR_GENERIC), error_text(streamer, ERR_GENERIC),
                               error_text(upnp, ERR_GENERIC)})
            .size(),
        3u);
    for (int mode : {BROWSE_PLAYLIST_ITEMS, BROWSE_RECORDINGS})
        EXPECT_EQ(error_text({SOURCE_STREAMER, mode, 0}, ERR_GENERIC),
                  error_text(local, ERR_GENERIC));
    EXPECT_EQ((std::set<std::string>{error_text(local, ERR_MEDIA_OPEN),
                                     error_text(streamer, ERR_MEDIA_OPEN),
                                     error_text(live, ERR_MEDIA_OPEN)})
                  .size(),
              3u);
    // Unknown codes share "Unexpected error" and the support address.
    for (int code : {-3, -99, 5}) {
        const std::string t = error_text(local, code);
        EXPECT_EQ(t.rfind("Unexpected error", 0), 0u) << code;
        EXPECT_TRUE(t.ends_with(std::string(" ") + SUPPORT_ADDRESS)) << code;
    }
    // After a cancel, failures the user caused by cancelling are not shown.
    for (auto [code, shown] : {std::pair{int(ERR_NO_NETWORK), false},
                               {ERR_GENERIC, false},
                               {ERR_DECODE, true},
                               {ERR_MEDIA_OPEN, true},
                               {-99, false}})
        EXPECT_EQ(error_text(local, code, true) != "(none)", shown) << code;
    // show_error while cancelled neither clears the screen nor shows a hidden code.
    registry_add(create_checkbox(0, 0), SLOT_PRESS, nullptr);
    ui()->abort_requested = 1;
    show_error(ui(), local, ERR_NO_NETWORK);
    EXPECT_EQ(g_seen.count, 0);
    EXPECT_EQ(active_slots(), 1);
    ui()->abort_requested = 0;
}

}  // namespace
