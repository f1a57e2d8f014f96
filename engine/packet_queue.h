// PacketQueue: the blocking FIFO of compressed packets between the demux
// thread (the only producer) and one decoder (video thread, subtitle thread or
// the audio callback).
//
// Contract:
// - packet_queue_init empties the queue, clears abort and enqueues the flush
//   packet, so every queue starts with exactly one packet of size 0 + 80.
// - size counts each packet's payload plus PACKET_NODE_SIZE bytes.
// - packet_queue_put references (duplicates) the caller's packet: the caller
//   keeps its own. 0 on success, -1 when the copy cannot be made or the queue
//   is aborted (an aborted queue takes nothing, the flush packet included).
// - Any thread may call every operation; each takes only the queue's lock.
// - packet_queue_get always blocks until a packet arrives (returns 1) or the
//   queue is aborted (returns -1, at once, even with packets still queued).
// - packet_queue_abort wakes every waiter; the queue stays aborted until the
//   next packet_queue_init.
// - The flush packet is recognised by its data pointer (is_flush_packet). An
//   empty packet (no data, size 0) asks the decoder to hand out what it holds.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "engine/av_owners.h"

constexpr int32_t PACKET_NODE_SIZE = 80;

struct PacketQueue {
    std::deque<PacketPtr> packets;
    int32_t nb_packets = 0;
    int32_t size = 0;
    std::atomic<bool> abort_request{false};  // also read without the lock
    std::mutex mutex;
    std::condition_variable cond;
};

// Points the flush packet's data at the static text "FLUSH" again.
void flush_packet_reset();
bool is_flush_packet(const AVPacket* pkt);
bool is_empty_packet(const AVPacket* pkt);

void packet_queue_init(PacketQueue* q);
int packet_queue_put(PacketQueue* q, const AVPacket* pkt);
// Enqueues the flush packet.
int packet_queue_put_flush(PacketQueue* q);
int packet_queue_get(PacketQueue* q, PacketPtr* out);
void packet_queue_flush(PacketQueue* q);
void packet_queue_abort(PacketQueue* q);
void packet_queue_end(PacketQueue* q);

// Snapshots taken under the queue's lock.
int32_t packet_queue_size(PacketQueue* q);
int32_t packet_queue_count(PacketQueue* q);
bool packet_queue_aborted(PacketQueue* q);
