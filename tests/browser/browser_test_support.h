// Helpers of the browser tests: a browser table that frees itself, with
// rows added by kind and name and its names read back in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "browser/browser_list.h"

struct TestList {
    BrowserList list{};
    TestList() { browser_list_create(&list); }
    ~TestList() { browser_list_free(&list); }
    TestList(const TestList&) = delete;
    TestList& operator=(const TestList&) = delete;
    MediaEntry* add(int kind, const char* name, int64_t size = 0, int64_t mtime = 0)
    {
        MediaEntry* e = browser_list_add_row(&list, kind, name, "");
        e->size = size;
        e->mtime = mtime;
        return e;
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < list.count; ++i)
            out.push_back(list.rows[i].name);
        return out;
    }
    // The names joined by single spaces.
    std::string joined() const
    {
        std::string out;
        for (const std::string& n : names())
            out += (out.empty() ? "" : " ") + n;
        return out;
    }
};
