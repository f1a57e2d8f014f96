// PacketQueue: the flush packet, size accounting, blocking hand-over and abort.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/packet_queue.h"

namespace {

PacketPtr packet_of_size(int size, int64_t pts = 0)
{
    PacketPtr p(av_packet_alloc());
    EXPECT_EQ(av_new_packet(p.get(), size), 0);
    p->pts = pts;
    return p;
}

class PacketQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        flush_packet_reset();
        packet_queue_init(&q);
    }
    void TearDown() override { packet_queue_end(&q); }
    PacketQueue q;
};

TEST_F(PacketQueueTest, HandsEveryPacketOverInOrderAndAccountsForIt)
{
    EXPECT_EQ(packet_queue_size(&q), PACKET_NODE_SIZE);
    for (int size : {100, 7, 0})
        ASSERT_EQ(packet_queue_put(&q, packet_of_size(size, size).get()),
                  0);  // the queue keeps its own
    EXPECT_EQ(packet_queue_count(&q), 4);
    EXPECT_EQ(packet_queue_size(&q), 107 + 4 * PACKET_NODE_SIZE);
    PacketPtr got;
    ASSERT_EQ(packet_queue_get(&q, &got), 1);
    EXPECT_TRUE(is_flush_packet(got.get()));
    // A consumer blocked on the queue gets what a producer thread hands over.
    constexpr int COUNT = 2000;
    std::thread producer([&] {
        for (int i = 0; i < COUNT; i++)
            packet_queue_put(&q, packet_of_size(i % 50, 1000 + i).get());
    });
    for (int64_t expected : {100, 7, 0}) {
        ASSERT_EQ(packet_queue_get(&q, &got), 1);
        EXPECT_TRUE(got->pts == expected && !is_flush_packet(got.get()));
    }
    EXPECT_TRUE(is_empty_packet(got.get()));
    for (int64_t expected = 1000; expected < 1000 + COUNT; expected++) {
        ASSERT_EQ(packet_queue_get(&q, &got), 1);
        ASSERT_EQ(got->pts, expected);
    }
    producer.join();
    EXPECT_EQ(packet_queue_size(&q), 0);
}

TEST_F(PacketQueueTest, AbortWakesTheConsumerAndTheQueueThenTakesNothing)
{
    packet_queue_flush(&q);
    std::atomic<int> result{0};
    std::thread consumer([&] {
        PacketPtr got;
        result = packet_queue_get(&q, &got);
    });
    packet_queue_abort(&q);
    consumer.join();
    EXPECT_EQ(result, -1);
    packet_queue_init(&q);  // usable again
    PacketPtr p = packet_of_size(10);
    ASSERT_EQ(packet_queue_put(&q, p.get()), 0);
    packet_queue_abort(&q);
    PacketPtr got;
    EXPECT_EQ(packet_queue_get(&q, &got), -1);  // even with packets queued
    EXPECT_EQ(got, nullptr);
    // Nobody drains it any more: a put must not make it grow.
    EXPECT_EQ(packet_queue_put(&q, p.get()), -1);
    EXPECT_EQ(packet_queue_put_flush(&q), -1);
    EXPECT_EQ(packet_queue_count(&q), 2);
}

}  // namespace
