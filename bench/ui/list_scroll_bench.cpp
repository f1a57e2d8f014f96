// Times one redraw of a scrolled list (420 x 480, 60-pixel rows) on an EGL
// pbuffer: the list's own row layers (rows uploaded once, moved each frame)
// against drawing the list into the interface surface and uploading the
// whole surface. Run from anywhere; it reads artwork and fonts from the run
// folder. Prints milliseconds per redraw (glFinish included).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <GLES2/gl2.h>
#include <SDL/SDL_ttf.h>

#include "render/gl_context.h"
#include "render/video_output.h"
#include "ui/artwork.h"
#include "ui/layers.h"
#include "ui/list_gl.h"
#include "ui/ui_state.h"
#include "ui/widget.h"

namespace {

// The parts of the application record the toolkit works on.
struct Screen {
    UiState ui{};
    VideoOutput out{};
};

double ms_per_frame(int frames, Screen* app, Widget* list, bool fast, int step)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        list->list.offset = (i * step) % list_last_offset(list);
        if (!fast || !list_gl_redraw(&app->ui, &app->out, list)) {
            widget_draw(app->ui.ui_surface, list);
            present(&app->ui);
        }
        glFinish();
    }
    std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    return took.count() / frames;
}

}  // namespace

// list_scroll_bench [rows [pixels per frame]]: 200 rows and 7 pixels by
// default; a fling moves the list some 40 pixels a frame.
int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(20, std::atoi(argv[1])) : 200;
    const int step = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    if (chdir(VELMORA_RUN_DIR) != 0)
        return 1;
    auto app = std::make_unique<Screen>();
    app->out.screen_width = app->out.window_width = 1000;
    app->out.screen_height = app->out.window_height = 600;
    if (TTF_Init() != 0 || load_artwork_and_fonts(1000, 600) != 0 || ui_toolkit_init() != 0 ||
        !gl_context_create_pbuffer(&app->out.gl, 1000, 600))
        return 1;
    gl_programs_init();
    if (create_ui_surfaces(&app->out) != 0)
        return 1;
    apply_orientation(&app->ui, &app->out, 0);
    // Rows as the browser makes them: an icon, a name and a size text.
    std::vector<std::string> names;
    std::vector<ListRow> rows(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        names.push_back("A fairly long file name number " + std::to_string(i) + ".mkv");
    for (int i = 0; i < count; ++i) {
        ListRow& r = rows[size_t(i)];
        r.name = RowText{70, 5, 235, 50, names[size_t(i)].c_str(), nullptr, 0, 6};
        r.info = RowText{315, 20, 100, 20, "700.25 MB", nullptr, 0, 0};
        std::strcpy(r.icon_file, "images/vfile.png");
    }
    ListSetup setup;
    setup.highlight = 1;
    Widget* list = create_list(&app->ui, 0, 120, 420, 480, rows.data(), count, setup);
    widget_draw(app->ui.ui_surface, list);
    present(&app->ui);
    const int frames = 200;
    ms_per_frame(10, app.get(), list, true, step);
    double fast = ms_per_frame(frames, app.get(), list, true, step);
    double slow = ms_per_frame(frames, app.get(), list, false, step);
    std::printf("%d rows, %d px a frame\n", count, step);
    std::printf("list redraw, row layers:        %.2f ms\n", fast);
    std::printf("list redraw, surface + upload:  %.2f ms\n", slow);
    widgets_clear(1);
    free_ui_surfaces();
    gl_programs_free();
    gl_context_destroy(&app->out.gl);
    free_artwork_and_fonts();
    ui_toolkit_free();
    TTF_Quit();
    return 0;
}
