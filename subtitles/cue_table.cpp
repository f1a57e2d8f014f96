#include "subtitles/cue_table.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/file_io.h"
#include "platform/text_copy.h"
#include "subtitles/charset.h"

namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool slots_ready(CueTable* t)
{
    if (!t->cues)
        t->cues.reset(new (std::nothrow) SubtitleCue[MAX_SUBTITLE_CUES]);
    return t->cues != nullptr;
}

bool blank_line_at(const char* data, size_t size, size_t pos)
{
    return pos < size && (data[pos] == '\r' || data[pos] == '\n');
}

// Start of the line after the one at pos.
size_t next_line(const char* data, size_t size, size_t pos)
{
    const void* lf = std::memchr(data + pos, '\n', size - pos);
    return lf ? static_cast<const char*>(lf) - data + 1 : size;
}

// The first line of the block that parses as a timing line with a text that
// is not empty afterwards gives the cue; false when no line does.
bool block_cue(const char* block, size_t size, CharsetConverter* converter, SubtitleCue* cue)
{
    for (size_t line = 0; line < size; line = next_line(block, size, line)) {
        int32_t start = 0, end = 0;
        if (subtitle_text_decode_with(block + line, size - line, cue->text, SUBTITLE_FORMAT_SRT,
                                      converter, &start, &end) > 0) {
            cue->start_ms = start;
            cue->end_ms = end;
            return true;
        }
    }
    return false;
}

// A full table of streamed cues makes room: the cues before the shown one
// go, or, with none before it, the older half.
void make_room(CueTable* t)
{
    const int drop = t->shown > 0 ? t->shown : MAX_SUBTITLE_CUES / 2;
    std::memmove(&t->cues[0], &t->cues[drop], sizeof(SubtitleCue) * (t->count - drop));
    t->count -= drop;
    t->shown = t->shown > 0 ? 0 : -1;
}

bool covers(const SubtitleCue& c, int64_t t)
{
    return c.start_ms <= t && t < c.end_ms;
}

}  // namespace

void subtitle_cues_clear(CueTable* table)
{
    table->count = 0;
    table->shown = -1;
    table->shown_text[0] = '\0';
    table->changed = false;
}

int subtitle_cues_parse(CueTable* table, const char* data, size_t size, const char* charset)
{
    subtitle_cues_clear(table);
    if (!slots_ready(table))
        return -1;
    if (!data)
        size = 0;
    CharsetConverter converter(charset);
    size_t pos = size >= UTF8_BOM.size() && !std::memcmp(data, UTF8_BOM.data(), UTF8_BOM.size())
                     ? UTF8_BOM.size()
                     : 0;
    int count = 0;
    while (pos < size && count < MAX_SUBTITLE_CUES) {
        // The block runs to the next blank line; CR LF ends that line as one.
        size_t end = pos;
        while (end < size && !blank_line_at(data, size, end))
            end = next_line(data, size, end);
        if (block_cue(data + pos, end - pos, &converter, &table->cues[count]))
            count++;
        pos = end + (end + 1 < size && data[end] == '\r' && data[end + 1] == '\n' ? 2 : 1);
    }
    table->count = count;
    table->shown = -1;
    return count;
}

int subtitle_file_load(CueTable* table, const char* path, const char* charset)
{
    subtitle_cues_clear(table);
    FileHandle file(path ? open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1);
    struct stat st {};
    // Only a regular file: a folder does not read and a pipe could block.
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
        return -1;
    const size_t size = std::min(static_cast<size_t>(st.st_size), MAX_SUBTITLE_FILE_BYTES);
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[size + 1]);
    if (!bytes || !file_read_exact(file.fd, bytes.get(), size))
        return -1;
    return subtitle_cues_parse(table, bytes.get(), size, charset);
}

bool subtitle_cue_pick(CueTable* table, int64_t time_ms, CuePickMode mode)
{
    if (!table->cues || table->count <= 0)
        return false;
    const SubtitleCue* shown = table->shown >= 0 && table->shown < table->count
                                   ? &table->cues[table->shown]
                                   : nullptr;
    // Time that went back before the shown cue (a seek backwards) searches
    // from the first cue again.
    int first = 0;
    if (shown && time_ms >= shown->start_ms)
        first = mode == CUE_PICK_LOCAL ? table->shown + 1 : table->shown;
    for (int i = first; i < table->count; i++) {
        if (!covers(table->cues[i], time_ms))
            continue;
        if (i == table->shown && table->shown_text[0])
            return false;  // still showing
        table->shown = i;
        copy_text(table->shown_text, sizeof table->shown_text, table->cues[i].text);
        table->changed = true;
        return true;
    }
    if (shown && table->shown_text[0] && !covers(*shown, time_ms)) {
        table->shown_text[0] = '\0';
        table->changed = true;
        return true;
    }
    return false;
}

int subtitle_stream_cue_add(CueTable* table, const char* data, size_t size, int format,
                            const char* charset)
{
    if ((format != SUBTITLE_FORMAT_SRT && format != SUBTITLE_FORMAT_PACKET) || !slots_ready(table))
        return -1;
    SubtitleCue& cue = table->cues[table->count];
    int32_t start = 0, end = 0;
    if (subtitle_text_decode(data, size, cue.text, format, charset, &start, &end) <= 0)
        return -1;
    cue.start_ms = start;
    cue.end_ms = end;
    if (++table->count == MAX_SUBTITLE_CUES)
        make_room(table);
    return 0;
}
