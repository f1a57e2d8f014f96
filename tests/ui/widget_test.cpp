// The widget pool, the registry and its clear rules, constructors, drawing,
// message boxes and error messages, with the real artwork and fonts.
#include "toolkit_fixture.h"

#include <set>
#include <string>

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

    // A label longer than 31 bytes is cut and terminated.
    Widget* lab = create_button(0, 0, -1, -1, ART_BUTTON, nullptr, 0, 0,
                                "0123456789012345678901234567890123456789", nullptr, 0, 0);
    ASSERT_NE(lab, nullptr);
    EXPECT_EQ(std::strlen(lab->label), 31u);
    // An index at the end of the table has no pressed partner.
    EXPECT_EQ(create_button(0, 0, -1, -1, ART_COUNT - 1, nullptr, 0, 0, nullptr, nullptr, 0, 0), nullptr);
    EXPECT_EQ(create_button(0, 0, -1, -1, -3, nullptr, 0, 0, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(WidgetPool, EditBoxCutsItsTextToTheLimitAndKeepsTheCaretInside)
{
    TTF_Font* font = font_get(FONT_SET_MAIN, FONT_PRELUDE);
    std::string long_text(400, 'a');
    Widget* box = create_edit_box(100, 50, 300, 50, long_text.c_str(), font, TEXT_BLACK, 0);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->edit.limit, 255);
    EXPECT_EQ(std::strlen(box->edit.text), 255u);
    EXPECT_EQ(box->edit.caret_index, 255);
    EXPECT_GE(box->edit.caret_x, box->x);
    EXPECT_LE(box->edit.caret_x, box->x + box->width);

    Widget* short_box = create_edit_box(100, 150, 300, 50, "abc", font, TEXT_BLACK, 2);
    ASSERT_NE(short_box, nullptr);
    EXPECT_STREQ(short_box->edit.text, "ab");
    int w = 0;
    text_size(font, "ab", &w, nullptr);
    EXPECT_EQ(short_box->edit.caret_x, 100 + 6 + w);
}

TEST_F(WidgetPool, PartialClearKeepsPersistentWidgetsAndPlayRequestSurvivesEveryClear)
{
    Widget* keep = create_checkbox(0, 0);
    Widget* drop = create_checkbox(50, 0);
    keep->persistent = 1;
    ASSERT_EQ(registry_add(keep, SLOT_PRESS, count_action<0>), 0);
    ASSERT_EQ(registry_add(drop, SLOT_PRESS, count_action<1>), 0);
    ASSERT_EQ(post_play_request(app()), 0);
    ASSERT_EQ(post_play_request(app()), 0);   // one request is kept pending
    EXPECT_EQ(active_slots(), 3);

    registry_clear(app(), 0);
    widgets_clear(app(), 0);
    EXPECT_EQ(keep->in_use, 1);
    EXPECT_EQ(drop->in_use, 0);
    EXPECT_EQ(active_slots(), 2);
    EXPECT_EQ(keep->slot->widget, keep);

    registry_clear(app(), 1);
    widgets_clear(app(), 1);
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
    widgets_clear(app(), 0);   // a screen that forgets registry_clear
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
    registry_clear(app(), 1);
    widgets_clear(app(), 1);
    widget_free(spin);
    ui_set_resize_redraw(0);
    EXPECT_EQ(spin->in_use, 1);
    EXPECT_EQ(active_slots(), 1);

    // An ordinary clear raises the job's cancel request and waits for it.
    widgets_clear(app(), 1);
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

TEST_F(WidgetPool, ColourPickerFramesTheChosenCell)
{
    SDL_Surface* s = surface();
    Widget* p = create_colour_picker(100, 100, 40, 30);
    p->state = 3;
    widget_draw(s, p);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(get_pixel(s, 100 + i * 60 + 20, 115), SUBTITLE_COLOURS[i]) << i;
    // The frame lies in the gap around cell 3 only.
    EXPECT_NE(get_pixel(s, 100 + 3 * 60 - 2, 115), get_pixel(s, 100 + 2 * 60 - 2, 115));
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
    Widget* l = create_list(app(), 0, 120, 420, 300, rows, 4, 0);
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
        app()->settings.hide_extensions = uint8_t(hide);
        Widget* l = create_list(app(), 0, 0, 420, 60, &row, 1, 0);
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
    message_box(app(), s, "Hello there", 160, 0, nullptr);
    EXPECT_EQ(g_seen.width, 400);
    // The dialog frame covers x 10..409 at the box's middle row and nothing
    // just outside it.
    int row = 160 + 20;
    EXPECT_EQ(get_pixel(s, 9, row) & 0xFFFFFF, 0u);
    EXPECT_EQ(get_pixel(s, 410, row) & 0xFFFFFF, 0u);
    EXPECT_NE(get_pixel(s, 12, row) & 0xFFFFFF, 0u);
    EXPECT_NE(get_pixel(s, 407, row) & 0xFFFFFF, 0u);
    // Menu and OK are registered, OK centred in the pane below the text.
    Widget* ok = registered("OK");
    Widget* menu = registered("Menu");
    ASSERT_TRUE(ok && menu);
    EXPECT_EQ(active_slots(), 2);
    EXPECT_EQ(ok->x, (420 - artwork(ART_BUTTON)->w) / 2);
    EXPECT_GT(ok->y, 180);
    EXPECT_EQ(menu->x, 1000 - 106);
    EXPECT_EQ(menu->y, 8);
    EXPECT_EQ(menu->height, 54);
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
    app()->ui.current_screen = fake_screen;
    show_error(app(), -20);
    ASSERT_NE(registered("Menu"), nullptr);
    ASSERT_NE(registered("OK"), nullptr);
    click(registered("OK"));
    EXPECT_EQ(g_screen_calls, 1);
    // Without live channels there is nothing to go back to: home.
    show_error(app(), -13);
    ASSERT_NE(registered("OK"), nullptr);
    click(registered("OK"));
    EXPECT_EQ(g_home_calls, 1);
    ui_set_home_screen(nullptr);
}

TEST_F(Dialogs, EveryErrorCodeShowsItsText)
{
    // Most messages do not depend on where the list came from: those are
    // shown for local files (source 0, mode 2, media kind 2) at the list top.
    const struct {
        int code;
        const char* starts;
        int list_source = 0, browse_mode = 2, media_kind = 2, top = 160;
    } cases[] = {
        {-1, "The destination file/folder could not be opened successfully. Please make sure the file/folder"},
        {-1, "The destination file/folder could not be opened successfully. Please make sure the file/folder", 1, 0},
        {-1, "Could not connect to the streaming server.", 1, 3},
        {-1, "The destination file/folder could not be opened successfully. Please make sure your device has network connectivity.", 2, 5},
        {-2, "Velmora Media Streamer is not running on your PC"},
        {-8, "No shared media files could be found on the current path."},
        {-9, "Could not communicate with the Velmora directory service."},
        {-10, "No network connection was detected. Please turn on network and try again."},
        {-11, "Media could not be opened. It might be corrupt"},
        {-11, "Streaming could not start. Please make sure the channel is set up correctly", 0, 4, 0, 100},
        {-11, "Streaming could not start. Please make sure the file is still accessible on the server.", 1, 3, 1},
        {-12, "This feature is to stream media from a remote PC."},
        {-13, "No live channels could be found on the streaming server"},
        {-15, "There is not enough memory for this operation."},
        {-16, "An unrecoverable error was encountered while decoding the stream."},
        {-19, "Out of buffer space for progressive download."},
        {-20, "An error was detected while playing the stream."},
        {-21, "An error occurred while communicating with the streaming server."},
        {-23, "Could not find any DLNA/UPNP servers on the network.", 0, 5},
        {-3, "Unexpected error. Please contact us at"},
        {-99, "Unexpected error. Please contact us at"},
    };
    for (const auto& c : cases) {
        app()->nav.list_source = c.list_source;
        app()->nav.browse_mode = c.browse_mode;
        app()->nav.media_kind = c.media_kind;
        g_seen = Seen{};
        show_error(app(), c.code);
        ASSERT_EQ(g_seen.count, 1) << c.code;
        EXPECT_EQ(g_seen.text.rfind(c.starts, 0), 0u) << c.code << ": " << g_seen.text;
        EXPECT_EQ(g_seen.top, c.top) << c.code;
        EXPECT_EQ(g_seen.width, 400);
    }
    // The two messages that ask the user to get in touch end with the address.
    for (int code : {-11, -4}) {
        app()->nav.media_kind = 2;
        show_error(app(), code);
        EXPECT_EQ(g_seen.text.substr(g_seen.text.size() - std::strlen(SUPPORT_ADDRESS)),
                  SUPPORT_ADDRESS);
        EXPECT_NE(g_seen.text.find("contact us at "), std::string::npos);
    }
}

TEST_F(Dialogs, CancelledOperationsShowOnlyTheStreamingErrors)
{
    app()->ui.abort_requested = 1;
    Widget* w = create_checkbox(0, 0);
    ASSERT_EQ(registry_add(w, SLOT_PRESS, nullptr), 0);
    for (int code : {-1, -2, -8, -9, -10, -13, -23, -99}) {
        g_seen = Seen{};
        show_error(app(), code);
        EXPECT_EQ(g_seen.count, 0) << code;
    }
    // Nothing shown means nothing cleared either.
    EXPECT_EQ(w->in_use, 1);
    EXPECT_EQ(active_slots(), 1);
    for (int code : {-11, -12, -15, -16, -19, -20, -21}) {
        g_seen = Seen{};
        show_error(app(), code);
        EXPECT_EQ(g_seen.count, 1) << code;
    }
}

TEST_F(Dialogs, HugeTextAndOddWidthsNeverCrash)
{
    std::string text(5000, 'w');
    for (size_t i = 0; i < text.size(); i += 7)
        text[i] = ' ';
    message_box(app(), surface(), text.c_str(), 160, 0, nullptr);
    message_box(app(), surface(), "x", 590, 1200, nullptr);
    message_box(app(), surface(), "x", -50, 30, nullptr);
    message_box(app(), nullptr, "x", 100, 0, nullptr);
    message_box(app(), surface(), nullptr, 100, 0, nullptr);
    SUCCEED();
}

}  // namespace
