// PacketQueue: the flush packet, size accounting, blocking get and abort.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/packet_queue.h"

namespace {

PacketPtr packet_of_size(int size)
{
    PacketPtr p(av_packet_alloc());
    EXPECT_EQ(av_new_packet(p.get(), size), 0);
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

TEST_F(PacketQueueTest, StartsWithTheFlushPacketAndCountsPayloadPlusNode)
{
    EXPECT_EQ(packet_queue_size(&q), 80);
    for (int size : {100, 7, 0}) {
        PacketPtr p = packet_of_size(size);
        p->pts = size;
        if (size > 0)
            p->data[0] = 42;
        ASSERT_EQ(packet_queue_put(&q, p.get()), 0);
    }  // the caller's packets are gone; the queue holds its own references
    EXPECT_EQ(packet_queue_count(&q), 4);
    EXPECT_EQ(packet_queue_size(&q), 80 + 180 + 87 + 80);
    PacketPtr got;
    ASSERT_EQ(packet_queue_get(&q, &got), 1);
    EXPECT_TRUE(is_flush_packet(got.get()));
    for (int size : {100, 7, 0}) {
        ASSERT_EQ(packet_queue_get(&q, &got), 1);
        EXPECT_EQ(got->pts, size);
        EXPECT_FALSE(is_flush_packet(got.get()));
        if (size > 0) {
            EXPECT_EQ(got->data[0], 42);
        }
    }
    EXPECT_TRUE(is_empty_packet(got.get()));
    EXPECT_EQ(packet_queue_size(&q), 0);
    packet_queue_flush(&q);  // flushing an empty queue leaves it empty
    EXPECT_EQ(packet_queue_count(&q), 0);
}

TEST_F(PacketQueueTest, AnAbortedQueueGivesNothingAndTakesNothing)
{
    PacketPtr p = packet_of_size(10);
    packet_queue_put(&q, p.get());
    packet_queue_abort(&q);
    PacketPtr got;
    EXPECT_EQ(packet_queue_get(&q, &got), -1);
    EXPECT_EQ(got, nullptr);
    // Nobody drains it any more: a put must not make it grow.
    EXPECT_EQ(packet_queue_put(&q, p.get()), -1);
    EXPECT_EQ(packet_queue_put_flush(&q), -1);
    EXPECT_EQ(packet_queue_count(&q), 2);
    packet_queue_init(&q);  // usable again
    EXPECT_EQ(packet_queue_get(&q, &got), 1);
    EXPECT_TRUE(is_flush_packet(got.get()));
}

TEST_F(PacketQueueTest, AbortWakesABlockedConsumer)
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
}

TEST_F(PacketQueueTest, ProducerAndConsumerHandOverEveryPacket)
{
    constexpr int COUNT = 2000;
    std::thread producer([&] {
        for (int i = 0; i < COUNT; i++) {
            PacketPtr p = packet_of_size(i % 50);
            p->pts = i;
            packet_queue_put(&q, p.get());
        }
    });
    PacketPtr got;
    packet_queue_get(&q, &got);  // the flush packet
    for (int64_t expected = 0; expected < COUNT; expected++) {
        ASSERT_EQ(packet_queue_get(&q, &got), 1);
        ASSERT_EQ(got->pts, expected);
    }
    producer.join();
    EXPECT_EQ(packet_queue_size(&q), 0);
}

}  // namespace
