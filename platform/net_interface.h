// Choosing the network interface that discovery binds to: the interface of
// the default route, else the last interface with an IPv4 address.
//
// Threads: any thread; the functions keep no state. Results: 0 with a
// non-empty, terminated name in out, or -1 (nothing suitable, or out too
// small for the name).
#pragma once

#include <cstddef>

// The interface of the default route (destination and mask 0, route up) in
// the text of /proc/net/route; the first such line wins.
int route_default_interface(const char* route_text, char* out, size_t out_size);

// The interface to bind to on this machine: the default route's interface
// from /proc/net/route, else the last non-loopback interface that has an
// IPv4 address.
int network_interface_select(char* out, size_t out_size);
