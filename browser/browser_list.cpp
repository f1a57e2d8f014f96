#include "browser/browser_list.h"

#include <cstdlib>
#include <cstring>

#include "platform/text_copy.h"

bool browser_list_create(BrowserList* list)
{
    // calloc: the pages of the 18 MB table stay untouched until rows are
    // filled into them.
    list->rows = static_cast<MediaEntry*>(std::calloc(MAX_BROWSER_ENTRIES, sizeof(MediaEntry)));
    list->count = 0;
    return list->rows != nullptr;
}

void browser_list_free(BrowserList* list)
{
    std::free(list->rows);
    list->rows = nullptr;
    list->count = 0;
}

void browser_list_clear(BrowserList* list)
{
    if (list->rows && list->count > 0)
        std::memset(list->rows, 0, sizeof(MediaEntry) * static_cast<size_t>(list->count));
    list->count = 0;
}

MediaEntry* browser_list_add(BrowserList* list)
{
    if (!list->rows || list->count >= MAX_BROWSER_ENTRIES)
        return nullptr;
    MediaEntry* e = &list->rows[list->count++];
    std::memset(e, 0, sizeof *e);
    return e;
}

MediaEntry* browser_list_add_row(BrowserList* list, int kind, const char* name, const char* info)
{
    MediaEntry* e = browser_list_add(list);
    if (!e)
        return nullptr;
    e->kind = kind;
    copy_text(e->name, sizeof e->name, name);
    copy_text(e->info, sizeof e->info, info);
    return e;
}

void browser_list_copy(BrowserList* dst, const BrowserList* src)
{
    if (!dst->rows || !src->rows || dst == src)
        return;
    browser_list_clear(dst);
    std::memcpy(dst->rows, src->rows, sizeof(MediaEntry) * static_cast<size_t>(src->count));
    dst->count = src->count;
}
