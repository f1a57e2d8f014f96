// The widget pool, the registry and its clear rules, constructors, drawing,
// message boxes and error messages, with the real artwork and fonts.
#include "toolkit_fixture.h"

#include <set>
#include <string>

#include "platform/media_enums.h"
#include "platform/result_codes.h"

namespace {

using namespace toolkit_test;

class WidgetPool : public ToolkitTest {};

TEST_F(WidgetPool, SixtyFifthWidgetIsNullAndFortyFirstRegistrationFails)
{
    std::set<Widget*> seen;
    for (int i = 0; i < WIDGET_POOL_SIZE; ++i) {
        Widget* w = widget_alloc();
        ASSERT_NE(w, nullptr) << i;
        EXPECT_EQ(w->in_use, 1);
        seen.insert(w);
    }
    EXPECT_EQ(seen.size(), size_t(WIDGET_POOL_SIZE));
    EXPECT_EQ(widget_alloc(), nullptr);
    EXPECT_EQ(create_checkbox(0, 0), nullptr);
    EXPECT_EQ(create_button(0, 0, -1, -1, ART_BUTTON, nullptr, 0, 0, "x", nullptr, 0, 0), nullptr);

    Widget* w = *seen.begin();
    for (int i = 0; i < REGISTRY_SIZE; ++i)
        ASSERT_EQ(registry_add(w, SLOT_PRESS, nullptr), 0) << i;
    EXPECT_EQ(registry_add(w, SLOT_PRESS, nullptr), -1);
    EXPECT_EQ(active_slots(), REGISTRY_SIZE);

    // A freed record is handed out again, zeroed.
    w->state = 7;
    widget_free(w);
    Widget* again = widget_alloc();
    EXPECT_EQ(again, w);
    EXPECT_EQ(again->state, 0);
}

TEST_F(WidgetPool, ButtonTakesArtworkSizeOrStretchedCopiesThatItOwns)
{
    SDL_Surface* art = artwork(ART_BUTTON);
    Widget* own = create_button(10, 20, -1, -1, ART_BUTTON, nullptr, 0, 0, "Own", nullptr, 0, 0);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->width, art->w);
    EXPECT_EQ(own->images[1], artwork(ART_BUTTON_PRESSED));
    EXPECT_EQ(own->owns_images, 0);

    Widget* big = create_button(0, 0, 300, 90, ART_BUTTON, nullptr, 0, 0, "Big", nullptr, 0, 0);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->owns_images, 1);
    EXPECT_EQ(big->images[0]->w, 300);
    EXPECT_EQ(big->images[1]->h, 90);
    // Freed with the widget (the sanitizer build reports a leak otherwise);
    // the shared artwork stays intact.
    widget_free(big);
    EXPECT_EQ(artwork(ART_BUTTON)->w, art->w);

    // A label longer than 31 bytes is cut before the character that would
    // not fit ("\xE2\x82\xAC" is three bytes from byte 30 on).
    std::string label = std::string(30, 'x') + "\xE2\x82\xAC";
    Widget* lab = create_button(0, 0, -1, -1, ART_BUTTON, nullptr, 0, 0, label.c_str(), nullptr, 0, 0);
    ASSERT_NE(lab, nullptr);
    EXPECT_EQ(std::string(lab->label), std::string(30, 'x'));
    // An index at the end of the table has no pressed partner.
    EXPECT_EQ(create_button(0, 0, -1, -1, ART_COUNT - 1, nullptr, 0, 0, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(create_button(0, 0, -1, -1, -3, nullptr, 0, 0, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(WidgetPool, PartialClearKeepsPersistentWidgetsAndPlayRequestSurvivesEveryClear)
{
    Widget* keep = create_checkbox(0, 0);
    Widget* drop = create_checkbox(50, 0);
    keep->persistent = 1;
    ASSERT_EQ(registry_add(keep, SLOT_PRESS, count_action<0>), 0);
    ASSERT_EQ(registry_add(drop, SLOT_PRESS, count_action<1>), 0);
    ASSERT_EQ(post_play_request(), 0);
    ASSERT_EQ(post_play_request(), 0);   // one request is kept pending
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
    ASSERT_EQ(active_slots(), 1);
    EXPECT_EQ(active_slots(SLOT_PLAY_REQUEST), 1);

    // Screens filling the registry afterwards cannot overwrite it.
    Widget* w = create_checkbox(0, 0);
    int added = 0;
    while (registry_add(w, SLOT_PRESS, nullptr) == 0)
        ++added;
    EXPECT_EQ(added, REGISTRY_SIZE - 1);
}

TEST_F(WidgetPool, FreedWidgetTakesItsSlotsAlongSoTheRecordsNextOwnerStaysQuiet)
{
    Widget* old = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "Old", nullptr, 0, 0);
    ASSERT_EQ(registry_add(old, SLOT_PRESS, count_action<0>), 0);
    widgets_clear(0);   // a screen that forgets registry_clear
    EXPECT_EQ(active_slots(), 0);
    Widget* reused = create_button(100, 100, -1, -1, ART_BUTTON, nullptr, 0, 0, "New", nullptr, 0, 0);
    ASSERT_EQ(reused, old);
    click(110, 110);
    EXPECT_EQ(g_actions[0], 0);
}

// Runs until its spinner asks it to stop.
int job_until_cancelled(void* arg)
{
    auto* spinner = static_cast<Widget*>(arg);
    while (!spinner_cancel_requested(spinner))
        SDL_Delay(1);
    return 0;
}

TEST_F(WidgetPool, ResizeRedrawKeepsRunningSpinnerAndClearCancelsItsJob)
{
    Widget* spin = create_spinner(10, 10);
    ASSERT_EQ(spinner_start_job(spin, job_until_cancelled, spin), 0);
    EXPECT_EQ(spinner_start_job(spin, job_until_cancelled, spin), -1);   // one job at a time
    ASSERT_EQ(registry_add(spin, SLOT_PRESS, count_action<0>), 0);

    ui_set_resize_redraw(1);
    registry_clear(1);
    widgets_clear(1);
    widget_free(spin);
    ui_set_resize_redraw(0);
    EXPECT_EQ(spin->in_use, 1);
    EXPECT_EQ(active_slots(), 1);

    // An ordinary clear raises the job's cancel request and waits for it.
    widgets_clear(1);
    EXPECT_TRUE(spinner_cancel_requested(spin));
    EXPECT_EQ(spin->in_use, 0);
    EXPECT_EQ(active_slots(), 0);
}

TEST_F(WidgetPool, DrawingEveryKindStaysInsideTheSurface)
{
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    SDL_Surface* s = surface();
    // Widgets placed partly or wholly off the surface must not write outside it.
    std::vector<Widget*> ws = {
        create_button(-30, -20, 200, 60, ART_BUTTON, artwork(ART_MOVIE), 5, 5, "Edge", font, TEXT_WHITE, 1),
        create_toggle(960, 580, artwork(ART_LOCK), artwork(ART_LOCKP), 1),
        create_selector3(900, 10, "Small", "Large", font, TEXT_WHITE, TEXT_BLACK),
        create_colour_picker(800, 590, 40, 30),
        create_edit_box(-50, 300, 300, 50, "hidden", font, TEXT_BLACK, 0),
        create_spinner(990, 590),
        create_checkbox(-10, -10),
        create_image(700, 500, artwork(ART_DIALOG), 1),
    };
    for (Widget* w : ws) {
        ASSERT_NE(w, nullptr);
        w->state = 1;
        widget_draw(s, w);
        widget_draw(s, w);
    }
    widget_draw(nullptr, ws[0]);
    widget_draw(s, nullptr);
}

TEST_F(WidgetPool, ButtonWithSaveUnderRestoresItsBackground)
{
    SDL_Surface* s = surface();
    fill_rect(s, 0, 0, 1000, 600, 0xFF336699);
    Widget* b = create_button(100, 100, -1, -1, ART_STANDBY, nullptr, 0, 0, nullptr, nullptr, 0, 1);
    ASSERT_NE(b, nullptr);
    SDL_Rect r{100, 100, Uint16(b->width), Uint16(b->height)};
    auto shown = [&] {
        widget_draw(s, b);
        SurfacePtr out(surface_create(b->width, b->height));
        copy_rect(out.get(), 0, 0, s, &r);
        return out;
    };
    SurfacePtr normal = shown();
    b->state = 1;
    shown();
    b->state = 0;
    EXPECT_TRUE(same_pixels(normal.get(), shown().get()));
}

TEST_F(WidgetPool, ListRowsLoadSharedPicturesOnceAndReleaseOnlyTheirOwn)
{
    ListRow rows[4] = {};
    const char* names[4] = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        rows[i].name.text = names[i];
    std::strcpy(rows[0].icon_file, "images/movie.png");
    std::strcpy(rows[1].icon_file, "images/movie.png");
    std::strcpy(rows[2].icon_file, "images/no-such-picture.png");
    rows[3].icon = artwork(ART_TV);   // the caller's own picture
    Widget* l = create_list(ui(), 0, 120, 420, 300, rows, 4, ListSetup{});
    ASSERT_NE(l, nullptr);
    widget_draw(surface(), l);
    ASSERT_NE(rows[0].icon, nullptr);
    EXPECT_EQ(rows[0].icon_loaded, ROW_ICON_LOADED);
    EXPECT_EQ(rows[1].icon, rows[0].icon);
    EXPECT_EQ(rows[1].icon_loaded, ROW_ICON_SHARED);
    EXPECT_EQ(rows[2].icon, nullptr);
    EXPECT_EQ(rows[2].icon_loaded, ROW_ICON_MISSING);
    widget_draw(surface(), l);   // nothing is loaded twice (the leak check would see it)
    widget_free(l);
    EXPECT_EQ(rows[0].icon, nullptr);
    EXPECT_EQ(rows[1].icon, nullptr);
    EXPECT_EQ(rows[3].icon, artwork(ART_TV));
    EXPECT_EQ(current_list_widget(), nullptr);
}

TEST_F(WidgetPool, HiddenExtensionsApplyToVideoAndAudioRowsOnly)
{
    auto draw_row = [&](const char* name, int media_class, bool hide) {
        ListRow row{};
        row.name.text = name;
        row.media_class = media_class;
        ListSetup setup;
        setup.hide_extensions = hide;
        Widget* l = create_list(ui(), 0, 0, 420, 60, &row, 1, setup);
        SurfacePtr out(surface_create(420, 60));
        widget_draw(out.get(), l);
        widget_free(l);
        return out;
    };
    EXPECT_TRUE(same_pixels(draw_row("Holiday.mkv", 2, true).get(), draw_row("Holiday", 2, false).get()));
    EXPECT_TRUE(same_pixels(draw_row("Song.mp3", 3, true).get(), draw_row("Song", 3, false).get()));
    EXPECT_FALSE(same_pixels(draw_row("Photo.jpg", 1, true).get(), draw_row("Photo", 1, false).get()));
    EXPECT_FALSE(same_pixels(draw_row("Holiday.mkv", 2, false).get(), draw_row("Holiday", 2, false).get()));
}

// ---- message boxes and errors ----------------------------------------------------------

struct Seen {
    std::string text;
    int top = -1;
    int width = -1;
    int count = 0;
};
Seen g_seen;
void observe(const char* text, int top, int width)
{
    g_seen.text = text;
    g_seen.top = top;
    g_seen.width = width;
    ++g_seen.count;
}

class Dialogs : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        g_seen = Seen{};
        ui_set_message_box_observer(observe);
    }
};

TEST_F(Dialogs, DefaultWidthIsFourHundredCentredInTheListPane)
{
    SDL_Surface* s = surface();
    fill_rect(s, 0, 0, 1000, 600, 0xFF000000);
    message_box(ui(), s, "Hello there", 160, 0, nullptr);
    EXPECT_EQ(g_seen.width, 400);
    // The dialog frame covers x 10..409 at the box's middle row and nothing
    // just outside it.
    int row = 160 + 20;
    EXPECT_EQ(get_pixel(s, 9, row) & 0xFFFFFF, 0u);
    EXPECT_EQ(get_pixel(s, 410, row) & 0xFFFFFF, 0u);
    EXPECT_NE(get_pixel(s, 12, row) & 0xFFFFFF, 0u);
    EXPECT_NE(get_pixel(s, 407, row) & 0xFFFFFF, 0u);
    // Menu and OK are registered, OK below the text.
    ASSERT_TRUE(registered("OK") && registered("Menu"));
    EXPECT_EQ(active_slots(), 2);
    EXPECT_GT(registered("OK")->y, 180);
}

int g_screen_calls = 0;
void fake_screen(AppState*) { ++g_screen_calls; }
int g_home_calls = 0;
void fake_home(AppState*) { ++g_home_calls; }

TEST_F(Dialogs, OkReturnsToTheScreenThatRaisedTheMessage)
{
    g_screen_calls = 0;
    g_home_calls = 0;
    ui_set_home_screen(fake_home);
    ui()->current_screen = fake_screen;
    show_error(ui(), ErrorContext{}, ERR_STREAM_DATA);
    ASSERT_NE(registered("Menu"), nullptr);
    ASSERT_NE(registered("OK"), nullptr);
    click(registered("OK"));
    EXPECT_EQ(g_screen_calls, 1);
    // Without live channels there is nothing to go back to: home.
    show_error(ui(), ErrorContext{}, ERR_NO_CHANNELS);
    ASSERT_NE(registered("OK"), nullptr);
    click(registered("OK"));
    EXPECT_EQ(g_home_calls, 1);
    ui_set_home_screen(nullptr);
}

// The texts themselves are the table's business; what matters is that the
// right one is chosen for what the user was doing, that every code has its
// own, and that a cancelled operation shows only what still concerns the user.
std::string error_text(ErrorContext context, int code, bool cancelled = false)
{
    char text[1024];
    return error_message_text(context, cancelled, code, text, sizeof text) ? text : "(none)";
}

TEST_F(Dialogs, ErrorTextsFollowWhatTheUserWasDoing)
{
    const ErrorContext local{SOURCE_LOCAL, BROWSE_LOCAL, MEDIA_KIND_DIRECT};
    const ErrorContext streamer{SOURCE_STREAMER, BROWSE_REMOTE, MEDIA_KIND_STREAMED};
    const ErrorContext upnp{SOURCE_UPNP, BROWSE_UPNP, MEDIA_KIND_DIRECT};
    const ErrorContext live{SOURCE_STREAMER, BROWSE_CHANNELS, MEDIA_KIND_LIVE};
    // ERR_GENERIC by source; playlist and recording lists count as local.
    std::set<std::string> generic = {error_text(local, ERR_GENERIC), error_text(streamer, ERR_GENERIC),
                                     error_text(upnp, ERR_GENERIC)};
    EXPECT_EQ(generic.size(), 3u);
    for (int mode : {BROWSE_PLAYLIST_ITEMS, BROWSE_RECORDINGS})
        EXPECT_EQ(error_text({SOURCE_STREAMER, mode, 0}, ERR_GENERIC), error_text(local, ERR_GENERIC));
    // ERR_MEDIA_OPEN by media kind; only the direct open asks the user to write.
    std::set<std::string> open = {error_text(local, ERR_MEDIA_OPEN), error_text(streamer, ERR_MEDIA_OPEN),
                                  error_text(live, ERR_MEDIA_OPEN)};
    EXPECT_EQ(open.size(), 3u);
    const std::string address = std::string(" ") + SUPPORT_ADDRESS;
    auto ends_with_address = [&](const std::string& t) {
        return t.size() > address.size() && t.compare(t.size() - address.size(), address.size(), address) == 0;
    };
    EXPECT_TRUE(ends_with_address(error_text(local, ERR_MEDIA_OPEN)));
    EXPECT_FALSE(ends_with_address(error_text(live, ERR_MEDIA_OPEN)));
    // Every known code has its own text; unknown codes share "Unexpected error".
    const int known[] = {ERR_LOGIN_REFUSED, ERR_NO_SHARED_MEDIA, ERR_DIRECTORY_SERVICE, ERR_NO_NETWORK,
                         ERR_NO_ACCOUNT, ERR_NO_CHANNELS, ERR_OUT_OF_MEMORY, ERR_DECODE, ERR_STORE_FULL,
                         ERR_STREAM_DATA, ERR_SERVER_REPLY, ERR_NO_UPNP_SERVER};
    std::set<std::string> texts(generic.begin(), generic.end());
    texts.insert(open.begin(), open.end());
    for (int code : known)
        texts.insert(error_text(local, code));
    EXPECT_EQ(texts.size(), std::size(known) + 6);
    for (int code : {-3, -99, 5}) {
        const std::string t = error_text(local, code);
        EXPECT_EQ(t.rfind("Unexpected error", 0), 0u) << code;
        EXPECT_TRUE(ends_with_address(t)) << code;
        EXPECT_EQ(texts.count(t), 0u);
    }
}

TEST_F(Dialogs, ErrorBoxSitsBelowTheTitleBarOrHigherForALiveChannel)
{
    for (auto [kind, top] : {std::pair{MEDIA_KIND_DIRECT, 160}, {MEDIA_KIND_LIVE, 100}}) {
        g_seen = Seen{};
        show_error(ui(), ErrorContext{SOURCE_STREAMER, BROWSE_CHANNELS, kind}, ERR_MEDIA_OPEN);
        EXPECT_EQ(g_seen.top, top);
        EXPECT_EQ(g_seen.width, 400);
    }
}

TEST_F(Dialogs, HugeTextAndOddWidthsNeverCrash)
{
    std::string text(5000, 'w');
    for (size_t i = 0; i < text.size(); i += 7)
        text[i] = ' ';
    message_box(ui(), surface(), text.c_str(), 160, 0, nullptr);
    message_box(ui(), surface(), "x", 590, 1200, nullptr);
    message_box(ui(), surface(), "x", -50, 30, nullptr);
    message_box(ui(), nullptr, "x", 100, 0, nullptr);
    message_box(ui(), surface(), nullptr, 100, 0, nullptr);
    SUCCEED();
}

}  // namespace
