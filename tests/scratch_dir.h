// A fresh folder under /tmp for one test, removed with everything in it when
// the test ends. Header-only, so any suite can use it without another library.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

class ScratchDir {
public:
    ScratchDir()
    {
        char tmpl[] = "/tmp/velmora-test-XXXXXX";
        // Without a folder every file lands in one that does not exist, so
        // writes fail instead of going somewhere shared.
        const char* made = mkdtemp(tmpl);
        path_ = made ? made : "/nonexistent/velmora-test";
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};
