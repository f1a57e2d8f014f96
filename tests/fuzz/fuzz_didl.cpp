// Fuzzes the DIDL-Lite answer of a Browse: whatever a server sends, rows
// stay within their fields, terminated, and the table limit holds.
#include <cstring>
#include <string>

#include "tests/fuzz/fuzz_driver.h"
#include "upnp/didl.h"

namespace {

constexpr int TABLE_LIMIT = 64;
int g_taken = 0;

bool terminated(const char* text, size_t size)
{
    return std::memchr(text, 0, size) != nullptr;
}

bool take(void*, const UpnpRow* row)
{
    if (g_taken >= TABLE_LIMIT)
        return false;
    ++g_taken;
    if (!terminated(row->name, sizeof row->name) || !terminated(row->path, sizeof row->path) ||
        !terminated(row->extra, sizeof row->extra) ||
        !terminated(row->date_text, sizeof row->date_text) || row->size < 0)
        __builtin_trap();
    return true;
}

int one(const uint8_t* data, size_t size)
{
    std::string xml(reinterpret_cast<const char*>(data), size);  // the call takes a C string
    g_taken = 0;
    DidlParseResult r = didl_parse(xml.c_str(), "udn:uuid-1,id:0/}7", take, nullptr);
    return r.rows <= TABLE_LIMIT ? 0 : 1;
}

const char* const HEAD = "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
                         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                         "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\">";

}  // namespace

int main(int argc, char** argv)
{
    const std::string head = HEAD;
    const std::string seeds[] = {
        head + "<container id=\"12\" parentID=\"7\"><dc:title>A/B</dc:title>"
               "<upnp:class>object.container</upnp:class></container></DIDL-Lite>",
        head + "<item id=\"1\" parentID=\"7\"><dc:title>Beach</dc:title>"
               "<upnp:class>object.item.imageItem</upnp:class><dc:date>2020-01-01</dc:date>"
               "<res protocolInfo=\"http-get:*:image/jpeg:*\" resolution=\"160x120\" "
               "size=\"10\">http://h/s</res><res protocolInfo=\"http-get:*:image/jpeg:*\" "
               "resolution=\"640x480\" size=\"-5\">http://h/l</res></item></DIDL-Lite>",
        head + "<item id=\"2\" parentID=\"7\"><dc:title>Song</dc:title>"
               "<upnp:class>object.item.audioItem</upnp:class>"
               "<upnp:originalTrackNumber>7</upnp:originalTrackNumber>"
               "<res protocolInfo=\"http-get:*:audio/mpeg:*\" size=\"1536\">http://h/a.mp3</res>"
               "</item></DIDL-Lite>",
    };
    return fuzz_main(argc, argv, one, {std::begin(seeds), std::end(seeds)}, 1 << 14);
}
