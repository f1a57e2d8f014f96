// Directory service lookup: where the streamer of the account can be reached.
// The directory service host gives a list of up to three brokers over HTTP;
// the first broker that accepts a connection is asked, by the account user
// name in base64url form, for the streamer's host, address and base port.
//
// The service's host name, fallback address and port are build settings
// (CMake cache variables VELMORA_DIRECTORY_HOST, VELMORA_DIRECTORY_ADDRESS,
// VELMORA_DIRECTORY_PORT). The environment variable VELMORA_DIRECTORY, when
// set to "host,address,port" (any field may be empty to keep the built-in
// one), replaces them at run time; tests use it to point the lookup at a
// simulator.
//
// Threads: directory_lookup runs on the thread that brings the link up (the
// command connection's user of the moment); it opens and closes only the
// link's directory and broker sockets, through the link's own operations.
// The parse functions are pure.
#pragma once

#include <cstddef>
#include <cstdint>

#include "streamer/streamer_link.h"

constexpr size_t DIRECTORY_BUFFER_SIZE = 1024;  // each HTTP request and answer

struct DirectoryConfig {
    char host[LINK_HOST_SIZE];
    char address[BROKER_ADDRESS_SIZE];
    int32_t port;
};

// The built-in configuration with the VELMORA_DIRECTORY overrides applied.
DirectoryConfig directory_config();

// Fills link->host, host_address, base_port and command_port. 0;
// ERR_LOGIN_REFUSED when the broker reports a non-zero status (streamer not
// running or wrong login); ERR_DIRECTORY_SERVICE when no broker could be
// reached or its answer is malformed. Every socket it opened is closed.
int directory_lookup(StreamerLink* link);

// Brokers from a directory answer (text, NUL-terminated): complete
// "<host>", "<ip>", "<port>" triples in order, at most `max`; the texts are
// cut to their fields. Returns the count.
int directory_parse_brokers(const char* text, BrokerEntry* out, int max);

struct BrokerAnswer {
    char host[LINK_HOST_SIZE];
    char address[LINK_ADDRESS_SIZE];
    int32_t port;
};
// A broker answer (text, NUL-terminated): 0 with *out filled;
// ERR_LOGIN_REFUSED for a non-zero status digit (out untouched);
// ERR_DIRECTORY_SERVICE when "resp:", a field or its comma is missing, a
// field would start past the end of the text, or the port is not one a
// streamer can listen on with its command port above it.
int directory_parse_answer(const char* text, BrokerAnswer* out);

// The two HTTP requests, formatted into out (DIRECTORY_BUFFER_SIZE bytes):
// their lengths, or 0 when they do not fit.
size_t directory_request_text(char* out, const char* service_host);
size_t broker_request_text(char* out, const char* encoded_user, const char* broker_host);
