#include "engine/packet_queue.h"

namespace {

// The flush packet carries no payload of its own: consumers only compare its
// data pointer, so a queued copy points at this static text.
uint8_t g_flush_text[] = "FLUSH";
AVPacket g_flush_packet;

}  // namespace

void flush_packet_reset()
{
    g_flush_packet = AVPacket{};
    g_flush_packet.data = g_flush_text;
    g_flush_packet.size = 0;
}

bool is_flush_packet(const AVPacket* pkt)
{
    return pkt && pkt->data == g_flush_text;
}

bool is_empty_packet(const AVPacket* pkt)
{
    // A queued copy of an empty packet gets a padding buffer, so only the
    // size tells it apart.
    return pkt && pkt->size == 0 && !is_flush_packet(pkt);
}

void packet_queue_init(PacketQueue* q)
{
    {
        std::lock_guard lock(q->mutex);
        q->packets.clear();
        q->nb_packets = 0;
        q->size = 0;
        q->abort_request = false;
    }
    packet_queue_put_flush(q);
}

namespace {

void append_locked(PacketQueue* q, PacketPtr pkt)
{
    q->size += pkt->size + PACKET_NODE_SIZE;
    q->nb_packets++;
    q->packets.push_back(std::move(pkt));
    q->cond.notify_all();
}

}  // namespace

int packet_queue_put(PacketQueue* q, const AVPacket* pkt)
{
    if (q->abort_request)
        return -1;
    PacketPtr copy(av_packet_alloc());
    if (!copy || av_packet_ref(copy.get(), pkt) < 0)
        return -1;
    std::lock_guard lock(q->mutex);
    // Nobody takes from an aborted queue: accepting would let it grow and
    // keep the end of the media waiting for a drain that never comes.
    if (q->abort_request)
        return -1;
    append_locked(q, std::move(copy));
    return 0;
}

int packet_queue_put_flush(PacketQueue* q)
{
    PacketPtr flush(av_packet_alloc());
    if (!flush)
        return -1;
    // Not reference-counted: av_packet_free leaves the static text alone.
    flush->data = g_flush_text;
    flush->size = 0;
    std::lock_guard lock(q->mutex);
    if (q->abort_request)
        return -1;
    append_locked(q, std::move(flush));
    return 0;
}

int packet_queue_get(PacketQueue* q, PacketPtr* out)
{
    std::unique_lock lock(q->mutex);
    for (;;) {
        if (q->abort_request)
            return -1;
        if (!q->packets.empty()) {
            *out = std::move(q->packets.front());
            q->packets.pop_front();
            q->nb_packets--;
            q->size -= (*out)->size + PACKET_NODE_SIZE;
            return 1;
        }
        q->cond.wait(lock);
    }
}

void packet_queue_flush(PacketQueue* q)
{
    std::lock_guard lock(q->mutex);
    q->packets.clear();
    q->nb_packets = 0;
    q->size = 0;
}

void packet_queue_abort(PacketQueue* q)
{
    std::lock_guard lock(q->mutex);
    q->abort_request = true;
    q->cond.notify_all();
}

void packet_queue_end(PacketQueue* q)
{
    packet_queue_flush(q);
}

int32_t packet_queue_size(PacketQueue* q)
{
    std::lock_guard lock(q->mutex);
    return q->size;
}

int32_t packet_queue_count(PacketQueue* q)
{
    std::lock_guard lock(q->mutex);
    return q->nb_packets;
}

bool packet_queue_aborted(PacketQueue* q)
{
    return q->abort_request.load();
}
