#include "upnp/play_to.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/result_codes.h"
#include "platform/text_copy.h"
#include "upnp/device_list.h"
#include "upnp/discovery.h"

namespace {

constexpr int ATTEMPTS = 5;              // an action that fails is sent again, five times in all
constexpr size_t URI_LIMIT = 1024;       // what the player holds as a media path
constexpr size_t METADATA_LIMIT = 1536;  // the DIDL-Lite kept with a row
constexpr const char* INSTANCE_ID = "0";
constexpr const char* NORMAL_SPEED = "1";
constexpr int64_t MS_PER_SECOND = 1000;

std::atomic<int> g_action_timeout_ms{5000};  // a TV busy loading an item answers within seconds
std::atomic<int> g_poll_timeout_ms{2000};    // a poll is repeated a second later anyway
std::atomic<int> g_poll_period_ms{1000};
std::atomic<int> g_silent_polls_for_gone{5};

// What each renderer was found to need, by UDN, for the rest of the run.
struct RendererMemory {
    char udn[UPNP_TEXT_SIZE];
    bool by_time;
};
std::mutex g_memory_lock;  // guards g_memory
std::vector<RendererMemory> g_memory;
constexpr size_t MEMORY_LIMIT = 64;  // renderers met in one run; more are simply not remembered

bool remembered_by_time(const std::string& udn)
{
    std::lock_guard<std::mutex> guard(g_memory_lock);
    for (const RendererMemory& m : g_memory)
        if (udn == m.udn)
            return m.by_time;
    return false;
}

void remember_by_time(const std::string& udn)
{
    std::lock_guard<std::mutex> guard(g_memory_lock);
    for (RendererMemory& m : g_memory)
        if (udn == m.udn) {
            m.by_time = true;
            return;
        }
    if (g_memory.size() >= MEMORY_LIMIT)
        return;
    RendererMemory m{};
    copy_text(m.udn, sizeof m.udn, udn.c_str());
    m.by_time = true;
    g_memory.push_back(m);
}

bool parse_int64(const std::string& text, int64_t* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0')
        return false;
    *out = v;
    return true;
}

}  // namespace

TransportState transport_state_match(const char* text)
{
    if (!text || !text[0])
        return TRANSPORT_UNKNOWN;
    static constexpr struct {
        const char* text;
        TransportState state;
    } STATES[] = {{"PLAYING", TRANSPORT_PLAYING},
                  {"TRANSITIONING", TRANSPORT_TRANSITIONING},
                  {"STOPPED", TRANSPORT_STOPPED},
                  {"PAUSED", TRANSPORT_PAUSED}};
    for (const auto& s : STATES)
        if (std::strstr(text, s.text))
            return s.state;
    return TRANSPORT_OTHER;
}

int64_t play_to_count_for(int64_t position_ms, int64_t duration_ms)
{
    if (duration_ms <= 0 || position_ms <= 0)
        return 0;
    if (position_ms >= duration_ms)
        return COUNT_SCALE - 1;  // the scale's top is "not implemented", never a target
    return position_ms * COUNT_SCALE / duration_ms;
}

int64_t play_to_position_for(int64_t count, int64_t duration_ms)
{
    if (count < 0 || count >= COUNT_SCALE || duration_ms <= 0)
        return -1;
    return duration_ms * count / COUNT_SCALE;
}

void play_to_time_text(int64_t position_ms, char* out, size_t out_size)
{
    const int64_t seconds = position_ms > 0 ? position_ms / MS_PER_SECOND : 0;
    std::snprintf(out, out_size, "%lld:%02d:%02d", static_cast<long long>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

int64_t play_to_parse_time(const char* text)
{
    if (!text)
        return -1;
    unsigned long long h = 0;
    unsigned m = 0, s = 0;
    int used = 0;
    if (std::sscanf(text, "%llu:%2u:%2u%n", &h, &m, &s, &used) != 3 || m > 59 || s > 59 ||
        h > 1000000)
        return -1;
    int64_t ms = (static_cast<int64_t>(h) * 3600 + m * 60 + s) * MS_PER_SECOND;
    const char* rest = text + used;
    if (*rest == '\0')
        return ms;
    if (*rest != '.')
        return -1;
    // Fractions: decimal digits, or F0/F1 (a fraction of a second).
    unsigned long f0 = 0, f1 = 0;
    int n = 0;
    if (std::sscanf(rest + 1, "%lu/%lu%n", &f0, &f1, &n) == 2 && rest[1 + n] == '\0')
        return f1 > 0 && f0 < f1 ? ms + static_cast<int64_t>(f0 * 1000 / f1) : ms;
    int64_t scale = 100;
    for (const char* p = rest + 1; *p; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        ms += (*p - '0') * scale;
        scale /= 10;
    }
    return ms;
}

// ---- the session -------------------------------------------------------------------------

struct PlayToSession {
    std::string udn;
    std::string uri;
    std::string metadata;
    std::mutex lock;  // "session lock": guards status, commands and closing
    std::condition_variable wake;
    PlayToStatus status{};
    std::deque<std::pair<PlayToCommand, int64_t>> commands;
    bool closing = false;
    std::atomic<uint8_t> cancel{0};  // ends the action in flight
    int silent_polls = 0;            // controller thread only
    std::thread thread;
};

namespace {

// ---- actions -----------------------------------------------------------------------------

UpnpActionRequest transport_action(const PlayToSession* s, const char* name)
{
    UpnpActionRequest r;
    r.kind = UPNP_RENDERERS;
    r.udn = s->udn;
    r.action = name;
    r.in = {{"InstanceID", INSTANCE_ID}};
    return r;
}

// Sends the action up to five times; true when one attempt succeeded.
bool send_with_attempts(PlayToSession* s, const UpnpActionRequest& r)
{
    for (int i = 0; i < ATTEMPTS && !s->cancel.load(); ++i)
        if (upnp_call_action(r, g_action_timeout_ms.load(), &s->cancel, nullptr) == 0)
            return true;
    return false;
}

bool send_simple(PlayToSession* s, const char* name)
{
    return send_with_attempts(s, transport_action(s, name));
}

bool send_play(PlayToSession* s)
{
    UpnpActionRequest r = transport_action(s, "Play");
    r.in.emplace_back("Speed", NORMAL_SPEED);
    return send_with_attempts(s, r);
}

bool start_item(PlayToSession* s)
{
    UpnpActionRequest r = transport_action(s, "SetAVTransportURI");
    r.in.emplace_back("CurrentURI", s->uri);
    r.in.emplace_back("CurrentURIMetaData", s->metadata);
    return send_with_attempts(s, r) && send_play(s);
}

int64_t known_duration(PlayToSession* s)
{
    std::lock_guard<std::mutex> guard(s->lock);
    return s->status.duration_ms;
}

bool seek_in(PlayToSession* s, const char* unit, const std::string& target)
{
    UpnpActionRequest r = transport_action(s, "Seek");
    r.in.emplace_back("Unit", unit);
    r.in.emplace_back("Target", target);
    return send_with_attempts(s, r);
}

// Seeks by the count scale, or by time for a renderer that needs it; a
// refused count seek is tried by time at once and, when that works, time
// is used with this renderer from then on.
void seek(PlayToSession* s, int64_t position_ms)
{
    const int64_t duration = known_duration(s);
    if (duration <= 0)
        return;  // no scale to seek on
    char time_text[32];
    play_to_time_text(position_ms, time_text, sizeof time_text);
    bool ok = false;
    if (!remembered_by_time(s->udn)) {
        ok = seek_in(s, "ABS_COUNT", std::to_string(play_to_count_for(position_ms, duration)));
        if (!ok && !s->cancel.load() && seek_in(s, "REL_TIME", time_text)) {
            remember_by_time(s->udn);
            ok = true;
        }
    } else {
        ok = seek_in(s, "REL_TIME", time_text);
    }
    std::lock_guard<std::mutex> guard(s->lock);
    s->status.seek_by_time = remembered_by_time(s->udn);
    if (!ok)
        ++s->status.seeks_failed;
}

void run_command(PlayToSession* s, PlayToCommand command, int64_t argument)
{
    switch (command) {
    case PLAY_TO_STOP: {
        const bool ok = send_simple(s, "Stop");
        {
            std::lock_guard<std::mutex> guard(s->lock);
            ++(ok ? s->status.stops_done : s->status.stops_failed);
        }
        s->wake.notify_all();  // a closing owner may wait for the stop
        break;
    }
    case PLAY_TO_SEEK: seek(s, argument); break;
    case PLAY_TO_PAUSE: send_simple(s, "Pause"); break;
    case PLAY_TO_RESUME: send_play(s); break;
    }
}

// ---- polling -----------------------------------------------------------------------------

// The position from GetPositionInfo's answer: the count on the scale, or
// the relative time for a renderer that does not count.
int64_t reported_position(PlayToSession* s, const std::vector<std::string>& v, int64_t duration)
{
    int64_t count = COUNT_SCALE;
    if (!parse_int64(v[0], &count) || count == COUNT_SCALE)
        remember_by_time(s->udn);  // "not implemented" (or no count at all)
    if (!remembered_by_time(s->udn))
        return play_to_position_for(count, duration);
    return play_to_parse_time(v[1].c_str());
}

// One poll round: position, then transport state. The answers update the
// status; a round without any answer counts towards "gone".
void poll(PlayToSession* s)
{
    const int timeout = g_poll_timeout_ms.load();
    UpnpActionRequest position = transport_action(s, "GetPositionInfo");
    position.out_names = {"AbsCount", "RelTime", "TrackDuration"};
    std::vector<std::string> v;
    const bool have_position = upnp_call_action(position, timeout, &s->cancel, &v) == 0 &&
                               v.size() == 3;
    if (have_position) {
        const int64_t track = play_to_parse_time(v[2].c_str());
        std::lock_guard<std::mutex> guard(s->lock);
        if (s->status.duration_ms <= 0 && track > 0)
            s->status.duration_ms = track;
    }
    const int64_t at = have_position ? reported_position(s, v, known_duration(s)) : -1;
    UpnpActionRequest transport = transport_action(s, "GetTransportInfo");
    transport.out_names = {"CurrentTransportState"};
    std::vector<std::string> t;
    const bool have_state = upnp_call_action(transport, timeout, &s->cancel, &t) == 0 &&
                            t.size() == 1;
    // Only silence counts: a goodbye the stack reports may not have been
    // said, and a renderer that really left stops answering at once.
    s->silent_polls = have_position || have_state ? 0 : s->silent_polls + 1;
    const bool gone = s->silent_polls >= g_silent_polls_for_gone.load();
    std::lock_guard<std::mutex> guard(s->lock);
    if (at >= 0)
        s->status.position_ms = at;
    if (have_state)
        s->status.state = transport_state_match(t[0].c_str());
    s->status.seek_by_time = remembered_by_time(s->udn);
    s->status.gone = s->status.gone || (gone && !s->cancel.load());
    ++s->status.polls;
}

// ---- the controller thread ---------------------------------------------------------------

// Waits for a command, the next poll time or the end; false at the end.
bool next_job(PlayToSession* s, std::chrono::steady_clock::time_point poll_at,
              std::pair<PlayToCommand, int64_t>* command, bool* has_command)
{
    std::unique_lock<std::mutex> guard(s->lock);
    s->wake.wait_until(guard, poll_at, [&] { return s->closing || !s->commands.empty(); });
    *has_command = !s->commands.empty();
    if (*has_command) {
        *command = s->commands.front();
        s->commands.pop_front();
        return true;
    }
    return !s->closing;
}

void controller(PlayToSession* s)
{
    const bool started = start_item(s);
    {
        std::lock_guard<std::mutex> guard(s->lock);
        s->status.start = started ? PLAY_TO_STARTED : PLAY_TO_START_FAILED;
    }
    s->wake.notify_all();
    if (!started)
        return;
    auto poll_at = std::chrono::steady_clock::now();
    for (;;) {
        std::pair<PlayToCommand, int64_t> command{};
        bool has_command = false;
        if (!next_job(s, poll_at, &command, &has_command))
            return;
        if (has_command) {
            run_command(s, command.first, command.second);
            continue;
        }
        if (std::chrono::steady_clock::now() < poll_at)
            continue;
        poll(s);
        poll_at = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(g_poll_period_ms.load());
    }
}

}  // namespace

PlayToSession* play_to_session_open(const char* renderer_udn, const char* uri, const char* metadata,
                                    int64_t duration_ms)
{
    if (!renderer_udn || !renderer_udn[0] || !uri || !uri[0] || !metadata ||
        std::strlen(uri) >= URI_LIMIT || std::strlen(metadata) >= METADATA_LIMIT)
        return nullptr;
    auto* s = new PlayToSession;
    s->udn = renderer_udn;
    s->uri = uri;
    s->metadata = metadata;
    s->status.start = PLAY_TO_STARTING;
    s->status.position_ms = -1;
    s->status.duration_ms = duration_ms > 0 ? duration_ms : 0;
    s->status.seek_by_time = remembered_by_time(s->udn);
    try {
        s->thread = std::thread(controller, s);
    } catch (...) {
        delete s;
        return nullptr;
    }
    return s;
}

void play_to_session_command(PlayToSession* s, PlayToCommand command, int64_t argument_ms)
{
    if (!s)
        return;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        s->commands.emplace_back(command, argument_ms);
    }
    s->wake.notify_all();
}

PlayToStatus play_to_session_status(PlayToSession* s)
{
    if (!s)
        return PlayToStatus{
            PLAY_TO_START_FAILED, TRANSPORT_UNKNOWN, -1, 0, 0, 0, 0, 0, true, false};
    std::lock_guard<std::mutex> guard(s->lock);
    return s->status;
}

void play_to_session_close(PlayToSession* s, bool stop, int stop_wait_ms)
{
    if (!s)
        return;
    if (stop) {
        std::unique_lock<std::mutex> guard(s->lock);
        const uint32_t before = s->status.stops_done + s->status.stops_failed;
        s->commands.clear();
        s->commands.emplace_back(PLAY_TO_STOP, 0);
        s->wake.notify_all();
        // The thread may still be starting the item: Stop follows the start.
        s->wake.wait_for(guard, std::chrono::milliseconds(stop_wait_ms), [&] {
            return s->status.stops_done + s->status.stops_failed != before ||
                   s->status.start == PLAY_TO_START_FAILED;
        });
    }
    {
        std::lock_guard<std::mutex> guard(s->lock);
        s->closing = true;
    }
    s->cancel = 1;
    s->wake.notify_all();
    s->thread.join();
    delete s;
}

void play_to_set_timing(int action_timeout_ms, int poll_timeout_ms, int poll_period_ms,
                        int silent_polls_for_gone)
{
    g_action_timeout_ms = action_timeout_ms;
    g_poll_timeout_ms = poll_timeout_ms;
    g_poll_period_ms = poll_period_ms;
    g_silent_polls_for_gone = silent_polls_for_gone;
}

void play_to_forget_renderers()
{
    std::lock_guard<std::mutex> guard(g_memory_lock);
    g_memory.clear();
}
