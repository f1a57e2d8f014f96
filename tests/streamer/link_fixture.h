// A StreamerLink wired as start-up wires it, with its own settings, abort
// flag and lock, and short waits so that failures come quickly; and the
// byte helpers the reply tests build their payloads with.
#pragma once

#include <gtest/gtest.h>

#include <SDL/SDL_mutex.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/app_flags.h"
#include "platform/pack.h"
#include "platform/settings.h"
#include "streamer/streamer_link.h"

constexpr int TEST_REPLY_MS = 400;  // long enough for loopback, short for a test

using Bytes = std::vector<uint8_t>;

// `plain` deflated as the streamer sends a listing or a channel table.
inline Bytes packed(const Bytes& plain)
{
    Bytes out(pack_bound(plain.size()));
    size_t n = out.size();
    EXPECT_EQ(pack_buffer(out.data(), &n, plain.data(), plain.size()), 0);
    out.resize(n);
    return out;
}

// Two u32, little-endian: the length pair that opens those replies.
inline Bytes le32(uint32_t a, uint32_t b)
{
    Bytes out;
    for (uint32_t v : {a, b})
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

struct LinkFixture : ::testing::Test {
    std::unique_ptr<Settings> settings = std::make_unique<Settings>();
    std::unique_ptr<StreamerLink> link = std::make_unique<StreamerLink>();
    FlagWord flags{0};
    std::atomic<uint8_t> abort_flag{0};
    SDL_mutex* lock = SDL_CreateMutex();

    LinkFixture()
    {
        link_attach(link.get(), &flags, settings.get(), &abort_flag, lock);
        link->times.reply_ms = TEST_REPLY_MS;
        link->times.stop_reply_ms = TEST_REPLY_MS;
        settings->handshake_value = 1;
        account("viewer", "secret");
    }
    ~LinkFixture() override
    {
        link_disconnect(link.get());
        SDL_DestroyMutex(lock);
    }
    void account(const char* user, const char* password)
    {
        std::strcpy(settings->username, user);
        std::strcpy(settings->password, password);
    }
    // Points the link at a server on loopback by its manual address.
    void manual_address(int base_port)
    {
        settings->connect_by_address = 1;
        std::strcpy(settings->streamer_host, "127.0.0.1");
        settings->streamer_port = base_port;
    }
    bool connected() const { return flags_any(&flags, APP_STREAMER_CONNECTED); }
};
