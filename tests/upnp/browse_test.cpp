// Paging through a folder: how many Browse actions a folder takes, and
// servers whose answers would otherwise hold the worker for ever.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "upnp/browse.h"

namespace {

// A server of `total` items that claims `claimed` children; pages hold
// what was asked for, or always `fixed` items when fixed > 0.
struct FakeServer {
    uint32_t total = 0;
    uint32_t claimed = 0;
    uint32_t fixed = 0;
    bool untitled = false;  // objects without titles (no rows)
    std::vector<std::pair<uint32_t, uint32_t>> calls;
    std::atomic<uint8_t>* cancel_after_first = nullptr;
    int failures_at_32 = 0;  // the second page fails this many times first
};

std::string page_text(const FakeServer& s, uint32_t start, uint32_t n)
{
    std::string body;
    for (uint32_t i = start; i < start + n; ++i) {
        body += "<item id=\"" + std::to_string(i) + "\" parentID=\"0\">";
        if (!s.untitled)
            body += "<dc:title>Item " + std::to_string(i) + "</dc:title>";
        body += "<upnp:class>object.item.videoItem</upnp:class>"
                "<res protocolInfo=\"http-get:*:video/mp4:*\">http://h/" +
                std::to_string(i) + "</res></item>";
    }
    return "<DIDL-Lite xmlns=\"urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/\" "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:upnp=\"urn:schemas-upnp-org:metadata-1-0/upnp/\">" +
           body + "</DIDL-Lite>";
}

int fake_fetch(void* context, const char*, uint32_t start, uint32_t count,
               const std::atomic<uint8_t>*, BrowseAnswer* out)
{
    auto* s = static_cast<FakeServer*>(context);
    s->calls.emplace_back(start, count);
    if (start == 32 && s->failures_at_32 > 0) {
        --s->failures_at_32;
        return -1;
    }
    uint32_t n = s->fixed ? s->fixed : (start < s->total ? std::min(count, s->total - start) : 0);
    out->result = page_text(*s, start, n);
    out->number_returned = n;
    out->total_matches = s->claimed;
    if (s->cancel_after_first)
        s->cancel_after_first->store(1);
    return 0;
}

struct Table {
    int count = 0;
    int limit = 5000;
};

bool take(void* context, const UpnpRow*)
{
    auto* t = static_cast<Table*>(context);
    if (t->count >= t->limit)
        return false;
    ++t->count;
    return true;
}

UpnpBrowseStats browse(FakeServer* s, Table* t, UpnpBrowseControl control = {nullptr, nullptr})
{
    UpnpBrowseStats stats{};
    EXPECT_EQ(upnp_browse_pages(fake_fetch, s, "0", "udn:u,id:0", take, t, control, &stats), 0);
    return stats;
}

TEST(UpnpBrowsePaging, AFolderOfSeventyTakesThreeBrowsesOf32_32And6)
{
    FakeServer s;
    s.total = s.claimed = 70;
    Table t;
    UpnpBrowseStats stats = browse(&s, &t);
    ASSERT_EQ(s.calls.size(), 3u);
    EXPECT_EQ(s.calls[0], std::make_pair(0u, 32u));
    EXPECT_EQ(s.calls[1], std::make_pair(32u, 32u));
    EXPECT_EQ(s.calls[2], std::make_pair(64u, 6u));
    EXPECT_EQ(t.count, 70);
    EXPECT_EQ(stats.pages, 3);

    // A server that does not know its total says 0: full pages mean more.
    FakeServer unknown;
    unknown.total = 70;
    Table all;
    EXPECT_EQ(browse(&unknown, &all).pages, 3);
    EXPECT_EQ(all.count, 70);
}

// A page that fails (a dropped connection, a server busy with its
// database) is asked for again; one that keeps failing ends the paging
// with the rows so far.
TEST(UpnpBrowsePaging, AFailedPageIsAskedForAgainTwice)
{
    const struct {
        int failures;
        int rows;
        size_t calls;
    } cases[] = {{1, 70, 4}, {2, 70, 5}, {3, 32, 4}};
    for (const auto& c : cases) {
        FakeServer s;
        s.total = s.claimed = 70;
        s.failures_at_32 = c.failures;
        Table t;
        browse(&s, &t);
        EXPECT_EQ(t.count, c.rows) << c.failures;
        EXPECT_EQ(s.calls.size(), c.calls) << c.failures;
    }
}

// Servers that never finish: each case must end, with the rows it gave.
struct EndlessCase {
    const char* what;
    uint32_t claimed;
    uint32_t fixed;
    bool untitled;
    int rows;
    size_t max_calls;
};

TEST(UpnpBrowsePaging, AServerThatNeverFinishesDoesNotHoldTheWorker)
{
    const EndlessCase cases[] = {
        {"TotalMatches beyond the table", 4000000000u, 32, false, 5000, 5000 / 32 + 2},
        {"pages that hold nothing", 4000000000u, 0, false, 0, 1},
        {"pages of objects that make no rows", 4000000000u, 32, true, 0, 1},
        {"TotalMatches smaller than the pages", 10, 32, false, 32, 1},
        {"TotalMatches unknown (0) on full pages", 0, 32, false, 5000, 5000 / 32 + 2},
    };
    for (const EndlessCase& c : cases) {
        FakeServer s;
        s.claimed = c.claimed;
        s.fixed = c.fixed;
        s.untitled = c.untitled;
        Table t;
        browse(&s, &t);
        EXPECT_EQ(t.count, c.rows) << c.what;
        EXPECT_LE(s.calls.size(), c.max_calls) << c.what;
    }
}

TEST(UpnpBrowsePaging, ACancelStopsPagingAndABusyListHoldsItUntilCancelled)
{
    FakeServer s;
    s.total = s.claimed = 1000;
    std::atomic<uint8_t> cancel{0};
    s.cancel_after_first = &cancel;
    Table t;
    browse(&s, &t, {&cancel, nullptr});
    EXPECT_EQ(s.calls.size(), 1u);

    // A list that stays busy holds the next page back; a cancel ends the
    // wait promptly.
    FakeServer busy_server;
    busy_server.total = busy_server.claimed = 1000;
    std::atomic<uint8_t> busy{1};
    std::atomic<uint8_t> stop{0};
    Table t2;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = 1;
    });
    const auto started = std::chrono::steady_clock::now();
    browse(&busy_server, &t2, {&stop, &busy});
    canceller.join();
    EXPECT_EQ(busy_server.calls.size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

TEST(UpnpBrowsePaging, AnUnknownServerOrABadPathIsRefused)
{
    Table t;
    EXPECT_EQ(upnp_browse_path("udn:nobody,id:0", take, &t, {nullptr, nullptr}, nullptr), -1);
    EXPECT_EQ(upnp_browse_path("/", take, &t, {nullptr, nullptr}, nullptr), -1);
    EXPECT_EQ(t.count, 0);
}

}  // namespace
