// The list's GL fast path on a real GLES context (EGL pbuffer, read back with
// glReadPixels): what it puts on screen must be exactly what drawing the
// list into the interface surface and presenting it shows, in both
// landscape orientations, including rows cut by the list's edges; short of
// texture slots or memory it steps aside for the surface path.
#include "tests/ui/ui_test_support.h"

#include <GLES2/gl2.h>

#include "render/gl_context.h"
#include "tests/render/gl_test_support.h"
#include "ui/layers.h"
#include "ui/list_gl.h"

namespace {

using namespace toolkit_test;

class ListGl : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        // Mesa's own rasterizer threads race among themselves in ways the
        // thread sanitizer reports; one thread draws the same pictures.
        setenv("LP_NUM_THREADS", "0", 0);
        ASSERT_TRUE(gl_context_create_pbuffer(&app()->out.gl, 1000, 600));
        gl_programs_init();
        ASSERT_EQ(create_ui_surfaces(&app()->out), 0);
        own_surface_ = app()->ui.ui_surface;
        apply_orientation(ui(), &app()->out, 0);
        ASSERT_NE(app()->ui.ui_slot, nullptr);
        for (int i = 0; i < 40; ++i) {
            names_.push_back("Row number " + std::to_string(i));
            rows_[i].name.text = names_.back().c_str();
        }
    }
    void TearDown() override
    {
        widgets_clear(1);
        free_ui_surfaces();
        gl_programs_free();
        gl_context_destroy(&app()->out.gl);
        app()->ui.ui_surface = own_surface_;
        ToolkitTest::TearDown();
    }
    // The screen as RGBA words as GL reads it, and how many pixels of two
    // screens differ in colour (alpha aside).
    static std::vector<uint32_t> read_screen()
    {
        std::vector<uint32_t> px(1000 * 600);
        glReadPixels(0, 0, 1000, 600, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        return px;
    }
    static long differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b)
    {
        long n = 0;
        for (size_t i = 0; i < a.size(); ++i)
            n += ((a[i] ^ b[i]) & 0x00FFFFFFu) != 0;
        return n;
    }
    Widget* make_list()
    {
        SDL_Surface* s = app()->ui.ui_surface;
        copy_rect(s, 0, 0, artwork(ART_BACKGROUND2), nullptr);
        ListSetup setup;
        setup.highlight = 1;
        setup.selected = 3;
        Widget* w = create_list(ui(), 0, 120, 420, 300, rows_, 40, setup);
        registry_add(w, SLOT_DRAG, nullptr);
        widget_draw(s, w);
        present(ui());
        return w;
    }
    bool fast(Widget* w) { return list_gl_redraw(ui(), &app()->out, w); }
    void compare_paths(Widget* w, int offset)
    {
        w->list.offset = offset;
        ASSERT_TRUE(fast(w));
        const std::vector<uint32_t> fast = read_screen();
        widget_draw(app()->ui.ui_surface, w);
        present(ui());
        EXPECT_EQ(differences(fast, read_screen()), 0) << "offset " << offset;
    }

    // Drags the list up by 100 pixels through the event handler; the screen
    // must then show what drawing into the surface and presenting shows.
    void drag_and_compare(Widget* w)
    {
        send(mouse_button(SDL_MOUSEBUTTONDOWN, 100, 400));
        g_now += 300;
        send(mouse_motion(100, 300));
        EXPECT_EQ(w->list.offset, 100);
        const std::vector<uint32_t> dragged = read_screen();
        g_now += 300;
        send(mouse_button(SDL_MOUSEBUTTONUP, 100, 300));
        widget_draw(app()->ui.ui_surface, w);
        present(ui());
        EXPECT_EQ(differences(dragged, read_screen()), 0);
    }

    SDL_Surface* own_surface_ = nullptr;
    ListRow rows_[40] = {};
    std::deque<std::string> names_;
};

TEST_F(ListGl, FastRedrawShowsExactlyWhatTheSurfaceShowsUprightAndHalfTurned)
{
    for (int orientation : {0, 2}) {
        SCOPED_TRACE(orientation);
        apply_orientation(ui(), &app()->out, orientation);
        Widget* w = make_list();
        for (int offset : {130, 0, 59, 61, 1337, list_last_offset(w)})
            compare_paths(w, offset);
        EXPECT_GT(w->list.row_layer_count, 0);
        EXPECT_LE(w->list.row_layer_count, 300 / 60 + 3);
        widgets_clear(1);
    }
    // A drag through the event handler goes through the row layers.
    apply_orientation(ui(), &app()->out, 0);
    Widget* w = make_list();
    drag_and_compare(w);
    EXPECT_GT(w->list.row_layer_count, 0);
}

// The fast path runs only upright at the screen's size, and leaves the
// caller's clear colour as it found it.
TEST_F(ListGl, PortraitOrAResizedWindowFallsBackToTheSurfaceAndTheClearColourIsKept)
{
    Widget* w = make_list();
    app()->out.window_width = 900;
    EXPECT_FALSE(fast(w));
    app()->out.window_width = 1000;
    app()->out.orientation = 1;
    EXPECT_FALSE(fast(w));
    app()->out.orientation = 0;
    glClearColor(0, 0, 0, 0);  // transparent black, as the video overlay needs
    EXPECT_TRUE(fast(w));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    for (GLfloat c : clear)
        EXPECT_EQ(c, 0.0f);
}

// The ring used to be recorded as far as it got: later frames then drew some
// rows through a layer without a texture (the rows went missing) or without
// a surface (a crash).
TEST_F(ListGl, TooFewTextureSlotsForTheRingFallBackToTheSurface)
{
    Widget* w = make_list();  // needs 300 / 60 + 3 = 8 row layers
    SlotHog hog;
    hog.take(3);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_FALSE(fast(w)) << frame;
    EXPECT_EQ(w->list.row_layer_count, 0);
    EXPECT_EQ(hog.take(), 3u);  // nothing kept from the failed attempt
    drag_and_compare(w);        // dragging still scrolls, through the surface
}

TEST_F(ListGl, RowSurfacesThatCannotBeMadeAreNeverDrawnInto)
{
    Widget* w = create_list(ui(), 0, 120, 1 << 30, 300, rows_, 40,
                            ListSetup{});  // no row surface fits
    ASSERT_NE(w, nullptr);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_FALSE(fast(w)) << frame;
    widget_draw(app()->ui.ui_surface, w);
}

}  // namespace
