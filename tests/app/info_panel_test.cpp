// The file information panel: its track choice rules and texts, and the
// panel drawn into a real interface surface with the real artwork, its check
// boxes tapped and its content dragged through the event handler.
#include "tests/ui/ui_test_support.h"

#include <cstring>
#include <string>

#include "app/info_panel.h"
#include "platform/media_enums.h"

namespace {

using namespace toolkit_test;

// What a tap chooses is checked through the panel (InfoPanel below).
TEST(TrackChoice, BoxesShowTheChosenOrALoneStreamButNeverForceSubtitlesOn)
{
    const struct {
        int kind, choice, stream, count;
        bool checked;
    } boxes[] = {
        {STREAM_KIND_AUDIO, STREAM_AUTO, 1, 1, true},  // a lone stream always shows chosen
        {STREAM_KIND_AUDIO, STREAM_AUTO, 1, 2, false},      {STREAM_KIND_AUDIO, 2, 2, 2, true},
        {STREAM_KIND_SUBTITLE, STREAM_AUTO, 3, 1, false},  // subtitles are never forced on
        {STREAM_KIND_SUBTITLE, SUBTITLES_OFF, 3, 1, false}, {STREAM_KIND_SUBTITLE, 3, 3, 1, true},
    };
    for (const auto& b : boxes)
        EXPECT_EQ(track_box_checked(b.kind, b.choice, b.stream, b.count), b.checked)
            << b.kind << " " << b.choice << " " << b.stream << " " << b.count;
}

StreamInfo stream(int index, int kind, const char* description, double fps = 0, bool cover = false)
{
    StreamInfo s{};
    s.index = index;
    s.kind = kind;
    s.frame_rate = fps;
    s.attached_picture = cover;
    std::strcpy(s.description, description);
    if (kind == STREAM_KIND_VIDEO)
        s.width = 160, s.height = 120;
    return s;
}

TEST(TrackTexts, LabelsAndLengths)
{
    const struct {
        StreamInfo s;
        const char* label;
    } labels[] = {
        {stream(0, STREAM_KIND_VIDEO, "Video: h264", 25), "Strm #0: Video: h264, 25.00 fps"},
        {stream(1, STREAM_KIND_VIDEO, "Video: png", 90000, true), "Strm #1: Video: png"},
        {stream(3, STREAM_KIND_AUDIO, "Audio: aac"), "Strm #3: Audio: aac"},
        {stream(4, STREAM_KIND_SUBTITLE, "Subtitle: ssa"), "Strm #4: Subtitle: ssa - CP1252"},
    };
    char out[TRACK_LABEL_SIZE];
    for (const auto& l : labels) {
        track_label(l.s, "CP1252", out, sizeof out);
        EXPECT_STREQ(out, l.label);
    }
    const struct {
        int64_t ms;
        const char* text;
    } lengths[] = {{0, "N/A"}, {999, "00:00:00"}, {3723500, "01:02:03"}};
    for (const auto& l : lengths) {
        length_text(l.ms, out, sizeof out);
        EXPECT_STREQ(out, l.text);
    }
}

constexpr int LIST_WIDTH = 420;
constexpr uint32_t OUTSIDE = 0xFF123456;  // what the screen drew around the panel

class InfoPanel : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        ui()->list_pane_width = LIST_WIDTH;
        fill_rect(surface(), 0, 0, 1000, 600, OUTSIDE);
        now().video_stream = now().audio_stream = now().subtitle_stream = STREAM_AUTO;
        // A film described as if read: the panel reads nothing for the item
        // it already holds.
        SelectedItem& item = app()->browser.selected;
        std::strcpy(item.play_path, "/media/film.mkv");
        std::strcpy(item.display_name, "film.mkv");
        item.size = 1048576;
        item.media_class = MEDIA_CLASS_VIDEO;
        std::strcpy(app()->settings.subtitle_charset, "UTF-8");
        InfoPanelState& p = app()->info_panel;
        std::strcpy(p.path, item.play_path);
        p.has_media = 1;
        p.media.duration_ms = 2000;
        p.media.bit_rate = 512000;
        p.media.stream_count = 4;
        p.media.streams[0] = stream(0, STREAM_KIND_VIDEO, "Video: h264", 25);
        p.media.streams[1] = stream(1, STREAM_KIND_AUDIO, "Audio: aac, 48000 Hz");
        p.media.streams[2] = stream(2, STREAM_KIND_AUDIO, "Audio: aac, 44100 Hz");
        p.media.streams[3] = stream(3, STREAM_KIND_SUBTITLE, "Subtitle: ssa");
    }
    NowPlaying& now() { return app()->now; }
    Widget* box(int kind, int stream_index)
    {
        const InfoPanelState& p = app()->info_panel;
        for (int i = 0; i < p.box_count; i++)
            if (p.boxes[i].kind == kind && p.boxes[i].stream_index == stream_index)
                return p.boxes[i].widget;
        return nullptr;
    }
    static int registered_boxes()
    {
        int n = 0;
        for (int i = 0; i < REGISTRY_SIZE; ++i)
            n += registry_slots()[i].active && registry_slots()[i].widget->kind == WIDGET_CHECKBOX;
        return n;
    }
    // Pixels outside the panel that are not the screen's own.
    int drawn_outside()
    {
        int n = 0;
        for (int y = 0; y < 600; y++)
            for (int x = 0; x < 1000; x++)
                n += (x < LIST_WIDTH || y < 70 || y >= 530) &&
                     get_pixel(surface(), x, y) != OUTSIDE;
        return n;
    }
};

TEST_F(InfoPanel, TappedBoxesStoreTheTrackChoicesAndTheSoftwareFlag)
{
    info_panel_draw(app());
    EXPECT_EQ(drawn_outside(), 0);
    EXPECT_EQ(get_pixel(surface(), LIST_WIDTH + 2, 72), 0xFF151515u);
    EXPECT_STREQ(app()->browser.selected.info, "1.00 MB");
    EXPECT_EQ(registered_boxes(), 5);               // four streams and software decoding
    EXPECT_TRUE(box(STREAM_KIND_VIDEO, 0)->state);  // the only video shows chosen
    EXPECT_FALSE(box(STREAM_KIND_AUDIO, 1)->state || box(STREAM_KIND_AUDIO, 2)->state);

    // Video and audio are radio buttons (tapping the checked one keeps it
    // chosen); subtitles toggle.
    const struct {
        int kind, stream;
        int32_t NowPlaying::*choice;
        int32_t after;
    } taps[] = {
        {STREAM_KIND_AUDIO, 2, &NowPlaying::audio_stream, 2},
        {STREAM_KIND_AUDIO, 2, &NowPlaying::audio_stream, 2},
        {STREAM_KIND_SUBTITLE, 3, &NowPlaying::subtitle_stream, 3},
        {STREAM_KIND_SUBTITLE, 3, &NowPlaying::subtitle_stream, SUBTITLES_OFF},
    };
    for (const auto& t : taps) {
        Widget* w = box(t.kind, t.stream);
        ASSERT_TRUE(w && !w->disabled) << t.kind << " " << t.stream;
        click(w);
        EXPECT_EQ(now().*t.choice, t.after);
        EXPECT_EQ(w, box(t.kind, t.stream));  // the same widget is kept while redrawing
    }
    EXPECT_TRUE(box(STREAM_KIND_AUDIO, 2)->state);
    EXPECT_FALSE(box(STREAM_KIND_AUDIO, 1)->state);
    // The last box lies below the panel: a scroll past the end stops at it.
    app()->browser.info_scroll = 10000;
    info_panel_draw(app());
    EXPECT_EQ(app()->browser.info_scroll, app()->info_panel.content_height - 460);
    ASSERT_FALSE(box(INFO_BOX_SOFTWARE, -1)->disabled);
    click(box(INFO_BOX_SOFTWARE, -1));
    EXPECT_EQ(app()->browser.software_decoding, 1);
    EXPECT_EQ(drawn_outside(), 0);

    // A screen that clears everything and draws again gets new boxes.
    registry_clear(1);
    widgets_clear(1);
    ASSERT_NE(create_button(0, 0, 100, 54, ART_CHECKBOX, nullptr, 0, 0, "Menu", nullptr, 0, 0),
              nullptr);
    info_panel_draw(app());
    EXPECT_EQ(registered_boxes(), 5);
}

TEST_F(InfoPanel, TallContentScrollsByDraggingAndANewItemStartsAtTheTop)
{
    app()->settings.large_thumbnails = 1;
    std::strcpy(app()->browser.selected.subtitle_path, "/media/film.srt");
    info_panel_draw(app());
    ASSERT_GT(app()->info_panel.content_height, 460);
    ASSERT_NE(app()->info_panel.drag_area, nullptr);
    send(mouse_button(SDL_MOUSEBUTTONDOWN, 700, 450));
    for (int y = 440; y >= 250; y -= 10)
        send(mouse_motion(700, y));
    send(mouse_button(SDL_MOUSEBUTTONUP, 700, 250));
    int scroll = app()->browser.info_scroll;
    EXPECT_GT(scroll, 150);
    EXPECT_LE(scroll, app()->info_panel.content_height - 460);
    EXPECT_EQ(drawn_outside(), 0);
    // Boxes scrolled out of view take no presses.
    for (int i = 0; i < app()->info_panel.box_count; i++) {
        const Widget* w = app()->info_panel.boxes[i].widget;
        EXPECT_EQ(w->disabled, w->y < 70 || w->y + w->height > 530) << i;
    }
    info_panel_draw(app());
    EXPECT_EQ(app()->browser.info_scroll, scroll);

    // An item that cannot be read: no streams, nothing to scroll.
    std::strcpy(app()->browser.selected.play_path, "/nonexistent/other.mkv");
    app()->browser.selected.subtitle_path[0] = '\0';
    info_panel_open(app());
    EXPECT_EQ(app()->browser.info_scroll, 0);
    EXPECT_EQ(app()->info_panel.has_media, 0);
    EXPECT_EQ(registered_boxes(), 0);
    EXPECT_EQ(drawn_outside(), 0);
}

}  // namespace
