// Real UPnP peers for tests, on a network of the test's own: the test
// process moves into a new network namespace (nothing it does reaches the
// machine's network, and the namespace goes with the process), where two
// veth ends with 192.0.2.x addresses carry multicast between our stack and
// the peers, which refuse the loopback interface.
//
// Test thread only. peer_net_enter must run before any UPnP thread starts.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The ends: ours and the peers'.
constexpr const char* PEER_NET_OURS = "vtest0";
constexpr const char* PEER_NET_PEERS = "vtest1";
constexpr const char* PEER_NET_PEER_ADDRESS = "192.0.2.2";

// Moves the process into its own namespace and brings the links up. false
// with the reason when namespaces are not allowed here (the caller skips).
bool peer_net_enter(std::string* why);

// Starts a program (argv[0] looked up in PATH) with its output to log_file;
// its pid, or -1.
pid_t peer_spawn(const std::vector<std::string>& argv, const std::string& log_file);
// Ends a spawned program and reaps it.
void peer_stop(pid_t pid);

// Runs a shell command; true when it exits 0.
bool peer_run(const std::string& command);
// The same with its output shown (what a failing test prints).
bool peer_run_shown(const std::string& command);
