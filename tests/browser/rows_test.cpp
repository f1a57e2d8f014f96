// Display rows: icons by kind, class and view, thumbnails, text places.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "browser/rows.h"
#include "platform/text_copy.h"
#include "tests/browser/browser_test_support.h"

namespace {

const char* thumb_for_clips(const MediaEntry* e)
{
    return std::strstr(e->name, "clip") ? "data/thumbs/clip.png" : nullptr;
}

TEST(Rows, IconsFollowKindClassAndView)
{
    TestList rows_made;
    BrowserList& list = rows_made.list;
    const struct {
        int kind;
        const char* name;
        const char* path;
        int source_class;
    } rows[] = {
        {ENTRY_FOLDER, "Films", "", 0},
        {ENTRY_FILE, "clip.mp4", "", 0},
        {ENTRY_FILE, "song.FLAC", "", 0},
        {ENTRY_FILE, "photo.png", "", 0},
        {ENTRY_FILE, "notes.txt", "", 0},
        {ENTRY_PLAYLIST, "Party", "", 0},
        {ENTRY_RENDERER, "TV", "", 0},
        {ENTRY_PLAYLIST_UPNP_ITEM, "Track 1", "http://192.0.2.1/a.mp3", 0},
        {ENTRY_FILE, "ab", "", MEDIA_CLASS_VIDEO},
        {ENTRY_FILE, "Radio stream", "", MEDIA_CLASS_AUDIO},
    };
    for (const auto& r : rows) {
        MediaEntry* e = browser_list_add_row(&list, r.kind, r.name, "");
        copy_text(e->path, sizeof e->path, r.path);
        e->media_class = r.source_class;
    }
    const struct {
        const char* list_icon;
        const char* icon_view;
        int slot_icons;
        int media_class;
    } want[] = {
        {"images/folder.png", "images/folderl.png", ICON_SLOT_FOLDER, MEDIA_CLASS_FOLDER},
        {"images/vfile.png", "data/thumbs/clip.png", ICON_SLOT_THUMBNAIL + 1, MEDIA_CLASS_VIDEO},
        {"images/afile.png", "images/afilel.png", ICON_SLOT_AUDIO, MEDIA_CLASS_AUDIO},
        {"images/ifile.png", "images/ifilel.png", ICON_SLOT_IMAGE, MEDIA_CLASS_IMAGE},
        {"images/file.png", "images/filel.png", ICON_SLOT_FILE, MEDIA_CLASS_OTHER},
        {"images/file.png", "images/file.png", ICON_SLOT_FILE, MEDIA_CLASS_PLAYLIST},
        {"images/tv.png", "images/tv.png", ICON_SLOT_RENDERER, MEDIA_CLASS_RENDERER},
        {"images/afile.png", "images/afilel.png", ICON_SLOT_AUDIO, MEDIA_CLASS_AUDIO},  // by URL
        {"", "", 0, MEDIA_CLASS_VIDEO},  // too short for an icon
        {"images/afile.png", "images/afilel.png", ICON_SLOT_AUDIO, MEDIA_CLASS_AUDIO},
    };
    auto out = std::make_unique<ListRow[]>(MAX_BROWSER_ENTRIES);
    for (int view : {VIEW_LIST, VIEW_ICONS}) {
        RowSetup setup{};
        setup.view = view;
        setup.browse_mode = BROWSE_LOCAL;
        setup.thumbnails = true;
        setup.thumbnail_of = thumb_for_clips;
        ASSERT_EQ(row_classify(&list, out.get(), 0, MAX_BROWSER_ENTRIES, setup), list.count);
        for (int i = 0; i < list.count; ++i) {
            const ListRow& r = out[size_t(i)];
            EXPECT_STREQ(r.icon_file, view == VIEW_ICONS ? want[i].icon_view : want[i].list_icon)
                << list.rows[i].name;
            EXPECT_EQ(r.media_class, want[i].media_class) << list.rows[i].name;
            if (view == VIEW_ICONS) {
                EXPECT_EQ(r.icon_slot, want[i].slot_icons) << list.rows[i].name;
            }
            EXPECT_EQ(r.name.x, view == VIEW_ICONS ? 140 : 70);
            EXPECT_EQ(r.name.text, list.rows[i].name);
        }
    }
    EXPECT_EQ(out[7].upnp_path, list.rows[7].path);
    EXPECT_EQ(out[1].upnp_path, nullptr);
}

}  // namespace
