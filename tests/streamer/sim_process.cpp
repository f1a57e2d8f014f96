#include "tests/streamer/sim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/net.h"

namespace {

constexpr int START_WAIT_MS = 10000;  // python's start-up on a loaded machine

}  // namespace

std::string sim_python()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        const size_t end = dirs.find(':', at);
        const std::string candidate =
            dirs.substr(at, end == std::string::npos ? std::string::npos : end - at) + "/python3";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return "";
}

bool SimProcess::start(const std::string& script, const std::vector<std::string>& args)
{
    const std::string python = sim_python();
    int out[2];
    if (python.empty() || ::pipe(out) != 0)
        return false;
    std::vector<std::string> argv = {python, std::string(VELMORA_SOURCE_DIR) + "/tools/" + script};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        std::vector<char*> raw;
        for (auto& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    ::close(out[1]);
    Socket reader(out[0]);
    std::string line;
    char c;
    while (line.find('\n') == std::string::npos && wait_readable(reader.fd(), START_WAIT_MS) > 0 &&
           ::read(reader.fd(), &c, 1) == 1)
        line += c;
    port_ = std::atoi(line.c_str());
    return port_ > 0;
}

void SimProcess::stop()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}
