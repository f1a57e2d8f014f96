// A StreamerLink wired as start-up wires it, with its own settings, abort
// flag and lock, and short waits so that failures come quickly.
#pragma once

#include <gtest/gtest.h>

#include <SDL/SDL_mutex.h>

#include <atomic>
#include <cstring>
#include <memory>

#include "platform/app_flags.h"
#include "platform/settings.h"
#include "streamer/streamer_link.h"

constexpr int TEST_REPLY_MS = 400;  // long enough for loopback, short for a test

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
