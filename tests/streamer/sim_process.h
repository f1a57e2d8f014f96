// The simulators of tools/ as child processes of a test: started with their
// arguments, their port read from the first line they print, stopped when
// the object goes.
//
// Test thread only.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// The python3 to run the simulators with, or "" when there is none.
std::string sim_python();

class SimProcess {
public:
    ~SimProcess() { stop(); }
    // Starts tools/<script> with args; false when it did not print a port
    // within a few seconds.
    bool start(const std::string& script, const std::vector<std::string>& args);
    void stop();
    int port() const { return port_; }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};
