// The preferences file and the zlib helpers: round trips, unusable or hostile
// files, saves that fail part-way, and compression that does not fit.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/prefs.h"
#include "platform/file_io.h"
#include "platform/pack.h"
#include "tests/full_disk.h"
#include "tests/scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PrefsFile : public ::testing::Test {
protected:
    void SetUp() override { settings_set_defaults(&s_); }
    Bytes bytes() const
    {
        return {std::istreambuf_iterator<char>(std::ifstream(path_).rdbuf()), {}};
    }
    void write(const Bytes& f) const
    {
        std::ofstream(path_).write(reinterpret_cast<const char*>(f.data()), f.size());
    }
    int save() { return prefs_save_to(&s_, path_.c_str()); }
    int load() { return prefs_load_from(&loaded_, path_.c_str()); }
    bool loaded_is_zero() const { return loaded_.version == 0 && settings_checksum(&loaded_) == 0; }
    static void make_incompressible()
    {
        std::mt19937 rng(7);
        std::generate_n(reinterpret_cast<uint8_t*>(&s_) + SETTINGS_HEADER_SIZE,
                        SETTINGS_PAYLOAD_SIZE, std::ref(rng));
    }
    ScratchDir dir_;
    const std::string path_ = dir_.file("prefs.dat");
    static inline Settings s_, loaded_;
};

TEST_F(PrefsFile, RoundTripsCompressedAndPlain)
{
    s_.remember_login = 1;
    std::strcpy(s_.username, "alice");
    for (bool plain : {false, true}) {
        if (plain)
            make_incompressible();  // then stored plain, packed_size 0
        ASSERT_EQ(save(), 0);
        const Bytes file = bytes();
        int32_t packed = 0;
        std::memcpy(&packed, file.data() + 8, 4);
        EXPECT_EQ(static_cast<size_t>(packed), plain ? 0 : file.size() - 12);
        EXPECT_EQ(file.size() == SETTINGS_SIZE, plain);
        ASSERT_EQ(load(), 0);
        EXPECT_EQ(std::memcmp(&s_, &loaded_, sizeof(Settings)), 0);
    }
}

// Every unusable file is refused with a zero block, and without reading more
// than a file of ours can hold: a header claiming 64 MiB on a (sparse) file
// that long is refused before the claimed bytes are read.
TEST_F(PrefsFile, UnusableFilesAreRefusedWithAZeroBlock)
{
    EXPECT_EQ(load(), -2);  // missing
    EXPECT_TRUE(loaded_is_zero());
    ASSERT_EQ(save(), 0);
    const Bytes good = bytes();
    auto packed = [](int32_t n) { return [n](Bytes& f) { std::memcpy(f.data() + 8, &n, 4); }; };
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
        off_t sparse_size = 0;  // the file made that long after writing
    } cases[] = {
        {"version 14", [](Bytes& f) { f[4] = 14; }},
        {"last byte changed", [](Bytes& f) { f.back() ^= 0x55; }},
        {"short header", [](Bytes& f) { f.resize(7); }},
        {"short payload", [](Bytes& f) { f.resize(f.size() - 3); }},
        {"zlib header, then garbage",
         [](Bytes& f) {
             for (size_t i = 14; i < f.size(); ++i)
                 f[i] = i * 31;
         }},
        {"packed_size 2^31-1", packed(0x7FFFFFFF)},
        {"packed_size negative", packed(-5)},
        {"packed_size 1", packed(1)},
        {"packed_size 64 MiB, file that long", packed(64 << 20), 12 + (64 << 20)},
    };
    auto bytes_read = [] {  // by this process so far
        std::ifstream io("/proc/self/io");
        std::string key;
        long value = -1;
        while (io >> key >> value && key != "rchar:") {
        }
        return value;
    };
    for (const auto& c : cases) {
        Bytes f = good;
        c.damage(f);
        write(f);
        ASSERT_TRUE(c.sparse_size == 0 || truncate(path_.c_str(), c.sparse_size) == 0);
        const long before = bytes_read();
        EXPECT_EQ(load(), -1) << c.what;
        EXPECT_LT(bytes_read() - before, 1 << 20) << c.what;
        EXPECT_TRUE(loaded_is_zero()) << c.what;
    }
}

TEST_F(PrefsFile, LoadForgetsUnrememberedLoginAndTakesTheLegacyHost)
{
    std::strcpy(s_.username, "carol");
    std::strcpy(s_.password, "pw");
    std::memcpy(s_.legacy_streamer_address, "192.0.2.10XXXXXX", 16);  // not terminated
    ASSERT_EQ(save(), 0);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(loaded_.username[0] | loaded_.password[0], 0);
    EXPECT_STREQ(loaded_.streamer_host, "192.0.2.10XXXXXX");
    std::strcpy(s_.streamer_host, "media-pc");  // a host of its own stays
    ASSERT_EQ(save(), 0);
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(loaded_.streamer_host, "media-pc");
}

// A save that runs out of room part-way fails and leaves the old file whole.
TEST_F(PrefsFile, FailedSaveKeepsThePreviousFile)
{
    ASSERT_EQ(save(), 0);
    const Bytes before = bytes();
    make_incompressible();
    EXPECT_TRUE(fails_on_a_full_disk([&] { return save() == -1; }))
        << "the save did not report its failure";
    EXPECT_EQ(bytes(), before);
    EXPECT_NE(access(file_replace_temp_path(path_.c_str()).c_str(), F_OK), 0)
        << "temporary file left behind";
    EXPECT_EQ(prefs_save_to(&s_, dir_.file("no/such/folder/prefs.dat").c_str()), -1);
}

// A whole stream round-trips; a truncated one gives what it held and says
// so; output cut short, on either side, is refused and never overruns.
TEST(Pack, RoundTripAndDestinationsTooSmall)
{
    Bytes src(100000);  // runs of 100 equal bytes: compresses well
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = (i / 100) % 7;
    Bytes packed(pack_bound(src.size()));
    size_t whole = packed.size();
    ASSERT_EQ(pack_buffer(packed.data(), &whole, src.data(), src.size()), 0);
    Bytes out(src.size());
    for (size_t in_len : {whole, whole / 2}) {
        size_t out_len = out.size();
        bool complete = false;
        ASSERT_EQ(unpack_buffer(out.data(), &out_len, packed.data(), in_len, &complete), 0);
        EXPECT_EQ(complete, in_len == whole);
        EXPECT_EQ(out_len == src.size(), in_len == whole);
    }
    EXPECT_EQ(out, src);
    for (size_t capacity : {size_t{0}, size_t{16}, whole / 2, whole - 1}) {
        Bytes dst(capacity + 8, 0xEE);
        size_t len = capacity;
        EXPECT_EQ(pack_buffer(dst.data(), &len, src.data(), src.size()), -1) << capacity;
        EXPECT_LE(len, capacity);
        len = capacity;
        EXPECT_EQ(unpack_buffer(dst.data(), &len, packed.data(), whole), 0);
        EXPECT_EQ(len, capacity);
        EXPECT_EQ(dst[capacity], 0xEE) << capacity;
    }
}

}  // namespace
