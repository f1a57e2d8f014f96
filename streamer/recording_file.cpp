#include "streamer/recording_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/result_codes.h"
#include "streamer/second_index.h"
#include "streamer/stream_data.h"

namespace {

constexpr size_t FILE_NAME_MAX = 255;
constexpr size_t TIME_TEXT_SIZE = 26;  // "Www Mmm dd hh:mm:ss yyyy\n" and its NUL
constexpr const char* DAY_NAMES[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* MONTH_NAMES[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
// Description bytes each version stores before its two index fields.
constexpr uint32_t HEADER_SIZE_BY_VERSION[RECORDING_VERSION_MAX + 1] = {24, 24, 36, 40};
// Versions 0 and 1 leave out the description's first four bytes.
constexpr uint8_t VERSION_WITHOUT_HEAD = 1;
constexpr uint32_t DESCRIPTION_HEAD = 4;
constexpr size_t LAST_MS_OFFSET = offsetof(RecordingHeader, last_ms);
constexpr size_t INDEX_FIELDS_OFFSET = offsetof(RecordingHeader, index_offset);
constexpr size_t WALK_BLOCK = 64 * 1024;
constexpr int64_t MS_PER_SECOND = 1000;

// The fixed 24-character local time text, day of the month padded with a
// space, as the C library's asctime writes it (but never in another locale).
void time_text(const std::tm& t, char out[TIME_TEXT_SIZE])
{
    const int wday = std::clamp(t.tm_wday, 0, 6);
    const int mon = std::clamp(t.tm_mon, 0, 11);
    std::snprintf(out, TIME_TEXT_SIZE, "%s %s %2d %02d:%02d:%02d %d\n", DAY_NAMES[wday],
                  MONTH_NAMES[mon], t.tm_mday % 100, t.tm_hour % 100, t.tm_min % 100,
                  t.tm_sec % 100, (t.tm_year + 1900) % 10000);
}

char name_byte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80
               ? c
               : '_';
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool write_at(int fd, uint64_t offset, const void* bytes, size_t n)
{
    return lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0 && file_write_exact(fd, bytes, n);
}

// The chunk walk of a recording whose index is missing: only whole chunks
// count, so a header seen without all of its payload is held back until the
// next header (or the end of the walk) shows it complete.
struct Rebuild {
    SecondClock clock;
    std::vector<uint32_t>* index;
    uint8_t pending_type = 0;
    uint32_t pending_value = 0;
    uint64_t pending_offset = 0;
    bool pending = false;
    bool timed = false;  // a video or audio chunk was counted
};

void rebuild_commit(Rebuild* r)
{
    if (!r->pending)
        return;
    r->pending = false;
    if (r->pending_type != CHUNK_VIDEO && r->pending_type != CHUNK_AUDIO)
        return;
    r->timed = true;
    const uint32_t begun = second_clock_feed(&r->clock, r->pending_value);
    r->index->insert(r->index->end(), begun, static_cast<uint32_t>(r->pending_offset));
}

void rebuild_header(void* context, uint8_t type, uint32_t value, uint64_t offset)
{
    auto* r = static_cast<Rebuild*>(context);
    rebuild_commit(r);
    r->pending = type != CHUNK_END;
    r->pending_type = type;
    r->pending_value = value;
    r->pending_offset = offset;
}

void ignore_payload(void*, uint8_t, const uint8_t*, size_t) {}

// Walks the chunks from data_start to the end of the source (at most what a
// 32-bit index offset reaches): fills the index, the times and data_end.
int rebuild_by_walking(const RecordingSource& src, RecordingPlayback* out)
{
    Rebuild r;
    r.index = &out->seek_index;
    out->seek_index.clear();
    ChunkParser parser{};
    const ChunkEvents events{&r, rebuild_header, ignore_payload};
    const uint64_t limit = std::min<uint64_t>(src.size, std::numeric_limits<uint32_t>::max());
    std::vector<uint8_t> block(WALK_BLOCK);
    for (uint64_t at = out->data_start; at < limit && !parser.ended;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(WALK_BLOCK, limit - at));
        if (!src.read_at(src.context, at, block.data(), n))
            break;
        if (chunk_parse(&parser, block.data(), n, events) < 0)
            break;
        at += n;
    }
    const uint64_t whole = chunk_parser_boundary(parser);
    if (r.pending && whole > r.pending_offset)
        rebuild_commit(&r);
    if (!r.timed)
        return ERR_MEDIA_OPEN;
    out->data_end = out->data_start + whole;
    out->start_ms = static_cast<uint32_t>(r.clock.first_ms);
    out->duration_ms = static_cast<uint32_t>(r.clock.now_ms - r.clock.first_ms);
    out->rebuilt = 1;
    return RESULT_OK;
}

// Reads and checks the stored index: every entry inside the chunks and none
// before the one of the second before it.
int read_stored_index(const RecordingSource& src, uint32_t offset, uint32_t count,
                      RecordingPlayback* out)
{
    out->seek_index.assign(count, 0);
    if (count > 0 && !src.read_at(src.context, offset, out->seek_index.data(),
                                  static_cast<size_t>(count) * sizeof(uint32_t)))
        return ERR_MEDIA_OPEN;
    const uint64_t chunk_bytes = out->data_end - out->data_start;
    uint32_t previous = 0;
    for (uint32_t entry : out->seek_index) {
        if (entry >= chunk_bytes || entry < previous)
            return ERR_MEDIA_OPEN;
        previous = entry;
    }
    return RESULT_OK;
}

// The index fields say where the chunks end; a recording that was never
// finished (both zero) is walked instead.
int read_index(const RecordingSource& src, uint32_t index_offset, uint32_t index_count,
               uint32_t last_ms, RecordingPlayback* out)
{
    if (index_offset == 0 && index_count == 0)
        return rebuild_by_walking(src, out);
    const bool inside = index_offset >= out->data_start + CHUNK_HEADER_SIZE &&
                        index_offset <= src.size &&
                        static_cast<uint64_t>(index_count) * sizeof(uint32_t) <=
                            src.size - index_offset;
    if (!inside)
        return ERR_MEDIA_OPEN;
    out->data_end = index_offset;
    uint8_t first[CHUNK_HEADER_SIZE];
    if (!src.read_at(src.context, out->data_start, first, sizeof first))
        return ERR_MEDIA_OPEN;
    if (first[3] != CHUNK_VIDEO && first[3] != CHUNK_AUDIO)
        return ERR_MEDIA_OPEN;
    out->start_ms = le32(first) & CHUNK_VALUE_MASK;
    out->duration_ms = last_ms > out->start_ms ? last_ms - out->start_ms : 0;
    return read_stored_index(src, index_offset, index_count, out);
}

// Reading begins at the first chunk, or at the resume second (the last
// indexed second when the position lies past the index).
uint64_t start_offset_for(const RecordingPlayback& p, int64_t resume_ms)
{
    const auto count = static_cast<int64_t>(p.seek_index.size());
    if (resume_ms <= 0 || count == 0)
        return p.data_start;
    const int64_t second = std::min(resume_ms / MS_PER_SECOND, count - 1);
    return p.data_start + p.seek_index[static_cast<size_t>(second)];
}

// The chunk where reading begins must be a whole chunk of a known type: an
// index entry that points into a payload would feed the player noise.
bool whole_chunk_at(const RecordingSource& src, const RecordingPlayback& p, uint64_t offset)
{
    uint8_t header[CHUNK_HEADER_SIZE];
    if (offset + CHUNK_HEADER_SIZE > p.data_end ||
        !src.read_at(src.context, offset, header, sizeof header))
        return false;
    const long payload = chunk_payload_size(header[3], le32(header) & CHUNK_VALUE_MASK);
    return payload >= 0 &&
           offset + CHUNK_HEADER_SIZE + static_cast<uint64_t>(payload) <= p.data_end;
}

struct MemorySpan {
    const uint8_t* bytes;
    size_t size;
};

bool span_read_at(void* context, uint64_t offset, void* out, size_t n)
{
    const auto* span = static_cast<const MemorySpan*>(context);
    if (offset > span->size || n > span->size - offset)
        return false;
    std::memcpy(out, span->bytes + offset, n);
    return true;
}

bool fd_read_at(void* context, uint64_t offset, void* out, size_t n)
{
    const int fd = *static_cast<const int*>(context);
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
        const ssize_t got = pread(fd, p, n, static_cast<off_t>(offset));
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

}  // namespace

std::string recording_file_name(const char* folder, const char* title, const std::tm& local_time,
                                bool has_video)
{
    char when[TIME_TEXT_SIZE];
    time_text(local_time, when);
    const char* extension = has_video ? RECORDING_VIDEO_EXTENSION : RECORDING_AUDIO_EXTENSION;
    // The time text's line feed ends the name; a line break inside the title
    // only becomes "_", so the date and time always stay in the name and one
    // recording never takes another's name.
    const size_t time_length = std::strcspn(when, "\r\n");
    const size_t fixed = 1 + time_length + std::strlen(extension);
    const size_t title_room = FILE_NAME_MAX - fixed;
    std::string name;
    for (const char* c = title; *c && name.size() < title_room; ++c)
        name += name_byte(*c);
    name += '_';
    for (size_t i = 0; i < time_length; ++i)
        name += name_byte(when[i]);
    return std::string(folder) + name + extension;
}

RecordingHeader recording_header_make(const StreamDescription& description)
{
    RecordingHeader h{};
    const auto* bytes = reinterpret_cast<const uint8_t*>(&description);
    std::memcpy(h.description, bytes, sizeof h.description);
    std::memcpy(h.description_tail, bytes + offsetof(RecordingHeader, description_tail),
                sizeof h.description_tail);
    h.description[0] = RECORDING_VERSION_CURRENT;
    return h;
}

int recording_header_write(int fd, const RecordingHeader& header)
{
    return write_at(fd, 0, &header, sizeof header) ? RESULT_OK : ERR_STORE_FULL;
}

int recording_file_complete(int fd, uint32_t data_end, const std::vector<uint32_t>& index,
                            int64_t last_ms)
{
    const size_t index_bytes = index.size() * sizeof(uint32_t);
    if (static_cast<uint64_t>(data_end) + index_bytes > std::numeric_limits<uint32_t>::max() ||
        !write_at(fd, data_end, index.data(), index_bytes)) {
        // A half-written index after the chunks would read as chunks.
        (void)!ftruncate(fd, data_end);
        return ERR_STORE_FULL;
    }
    const auto last = static_cast<uint32_t>(std::max<int64_t>(last_ms, 0));
    const uint32_t fields[2] = {data_end, static_cast<uint32_t>(index.size())};
    const bool ok = write_at(fd, LAST_MS_OFFSET, &last, sizeof last) &&
                    write_at(fd, INDEX_FIELDS_OFFSET, fields, sizeof fields);
    return ok ? RESULT_OK : ERR_STORE_FULL;
}

int recording_read(const RecordingSource& src, int64_t resume_ms, RecordingPlayback* out)
{
    *out = RecordingPlayback{};
    uint8_t first[DESCRIPTION_HEAD];
    if (!src.read_at(src.context, 0, first, sizeof first) || first[0] > RECORDING_VERSION_MAX)
        return ERR_MEDIA_OPEN;
    const uint8_t version = first[0];
    const uint32_t header_size = HEADER_SIZE_BY_VERSION[version];
    const uint32_t skipped = version <= VERSION_WITHOUT_HEAD ? DESCRIPTION_HEAD : 0;
    auto* description = reinterpret_cast<uint8_t*>(&out->description);
    uint32_t fields[2];
    if (!src.read_at(src.context, 0, description + skipped, header_size) ||
        !src.read_at(src.context, header_size, fields, sizeof fields))
        return ERR_MEDIA_OPEN;
    std::memset(description, version, DESCRIPTION_HEAD);
    out->version = version;
    out->data_start = header_size + sizeof fields;
    const int rc = read_index(src, fields[0], fields[1], out->description.duration_ms, out);
    if (rc != RESULT_OK)
        return rc;
    out->description.duration_ms = out->duration_ms;
    out->seek_disabled = out->duration_ms == 0;
    out->start_offset = start_offset_for(*out, resume_ms);
    return whole_chunk_at(src, *out, out->start_offset) ? RESULT_OK : ERR_MEDIA_OPEN;
}

int recording_read_bytes(const uint8_t* bytes, size_t size, int64_t resume_ms,
                         RecordingPlayback* out)
{
    MemorySpan span{bytes, size};
    return recording_read(RecordingSource{&span, size, span_read_at}, resume_ms, out);
}

int recording_open_for_play(const char* path, int64_t resume_ms, RecordingPlayback* out,
                            std::unique_ptr<FileHandle>* file)
{
    auto handle = std::make_unique<FileHandle>(open(path, O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (handle->fd < 0 || fstat(handle->fd, &st) != 0)
        return ERR_GENERIC;
    int fd = handle->fd;
    const int rc = recording_read(
        RecordingSource{&fd, static_cast<uint64_t>(st.st_size), fd_read_at}, resume_ms, out);
    if (rc != RESULT_OK)
        return rc;
    if (lseek(fd, static_cast<off_t>(out->start_offset), SEEK_SET) < 0)
        return ERR_MEDIA_OPEN;
    *file = std::move(handle);
    return RESULT_OK;
}
