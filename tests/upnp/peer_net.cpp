#include "tests/upnp/peer_net.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// IPv6 addresses stay tentative for a while after a link comes up, and
// libupnp-based peers fail to bind until they settle; with IPv6 off in the
// namespace only a short pause for the links remains.
constexpr int LINK_SETTLE_MS = 2000;

bool write_text(const char* path, const char* text)
{
    FILE* f = std::fopen(path, "w");
    if (!f)
        return false;
    bool ok = std::fputs(text, f) >= 0;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool peer_run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool peer_run_shown(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

bool peer_net_enter(std::string* why)
{
    if (unshare(CLONE_NEWNET) != 0) {
        *why = std::string("network namespaces are not allowed here: ") + std::strerror(errno);
        return false;
    }
    write_text("/proc/sys/net/ipv6/conf/all/disable_ipv6", "1");
    write_text("/proc/sys/net/ipv6/conf/default/disable_ipv6", "1");
    const std::string ours = PEER_NET_OURS;
    const std::string peers = PEER_NET_PEERS;
    const std::string commands[] = {
        "ip link set lo up",
        "ip link add " + ours + " type veth peer name " + peers,
        "ip addr add 192.0.2.1/24 dev " + ours,
        "ip addr add " + std::string(PEER_NET_PEER_ADDRESS) + "/24 dev " + peers,
        "ip link set " + ours + " multicast on",
        "ip link set " + peers + " multicast on",
        "ip link set " + ours + " up",
        "ip link set " + peers + " up",
        "ip route add 239.0.0.0/8 dev " + ours,
        "ip route add default dev " + ours,
    };
    for (const std::string& c : commands)
        if (!peer_run(c)) {
            *why = "could not set up the test network: " + c;
            return false;
        }
    // Both ends live in this namespace, so what one end sends arrives from
    // an address of this host: without accept_local the kernel drops it.
    for (const std::string& link : {std::string("all"), ours, peers}) {
        write_text(("/proc/sys/net/ipv4/conf/" + link + "/accept_local").c_str(), "1");
        write_text(("/proc/sys/net/ipv4/conf/" + link + "/rp_filter").c_str(), "0");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(LINK_SETTLE_MS));
    return true;
}

pid_t peer_spawn(const std::vector<std::string>& argv, const std::string& log_file)
{
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    int fd = open(log_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void peer_stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGCONT);
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
