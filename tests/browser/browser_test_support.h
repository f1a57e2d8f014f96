// What the browser's tests share: a list table that frees itself and a
// scratch folder of real files with chosen modification times.
#pragma once

#include <sys/stat.h>
#include <sys/time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "browser/browser_list.h"
#include "platform/text_copy.h"

struct TestList {
    BrowserList list{};
    TestList() { browser_list_create(&list); }
    ~TestList() { browser_list_free(&list); }
    MediaEntry* add(int kind, const char* name, int64_t size = 0, int64_t mtime = 0)
    {
        MediaEntry* e = browser_list_add_row(&list, kind, name, "");
        e->size = size;
        e->mtime = mtime;
        return e;
    }
};

class ScratchFolder {
public:
    ScratchFolder()
    {
        char tmpl[] = "/tmp/velmora-browser-XXXXXX";
        path_ = mkdtemp(tmpl) ? std::string(tmpl) + "/" : "";
    }
    ~ScratchFolder()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }
    // An empty file at path() + name, modified at mtime (seconds since 1970).
    bool make_file(const std::string& name, int64_t mtime = 1000) const
    {
        std::string full = path_ + name;
        std::FILE* f = std::fopen(full.c_str(), "wb");
        if (!f)
            return false;
        std::fclose(f);
        struct timeval times[2] = {{static_cast<time_t>(mtime), 0},
                                   {static_cast<time_t>(mtime), 0}};
        return utimes(full.c_str(), times) == 0;
    }
    bool make_folder(const std::string& name) const
    {
        return mkdir((path_ + name).c_str(), 0755) == 0;
    }

private:
    std::string path_;
};
