// The preferences file and the zlib helpers: round trips, every way a file
// can be unusable or hostile, saves that fail part-way, and compression that
// does not fit.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/pack.h"
#include "app/prefs.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PrefsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/velmora-prefs-XXXXXX";
        dir_ = mkdtemp(tmpl);
        path_ = dir_ + "/prefs.dat";
        settings_set_defaults(&s_);
    }
    void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }

    Bytes bytes() const
    {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const Bytes& data) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    int save() { return prefs_save_to(&s_, path_.c_str()); }
    int load() { return prefs_load_from(&loaded_, path_.c_str()); }
    bool loaded_is_zero() const { return loaded_.version == 0 && settings_checksum(&loaded_) == 0; }
    // Fills the payload with noise so the file no longer compresses.
    void make_incompressible()
    {
        std::mt19937 rng(7);
        auto* p = reinterpret_cast<uint8_t*>(&s_) + SETTINGS_HEADER_SIZE;
        for (size_t i = 0; i < SETTINGS_PAYLOAD_SIZE; ++i)
            p[i] = static_cast<uint8_t>(rng());
    }

    std::string dir_, path_;
    static inline Settings s_;
    static inline Settings loaded_;
};

TEST_F(PrefsFile, RoundTripsCompressedAndPlain)
{
    s_.remember_login = 1;
    std::strcpy(s_.username, "alice");
    s_.swipe_to_seek = 1;
    ASSERT_EQ(save(), 0);
    Bytes file = bytes();
    int32_t packed = 0;
    std::memcpy(&packed, file.data() + 8, 4);
    EXPECT_EQ(static_cast<size_t>(packed), file.size() - 12);
    EXPECT_LT(file.size(), 4096u);  // mostly zero: level 9 makes it small
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(std::memcmp(&s_, &loaded_, sizeof(Settings)), 0);

    make_incompressible();  // stored plain, packed_size 0
    ASSERT_EQ(save(), 0);
    file = bytes();
    EXPECT_EQ(file.size(), SETTINGS_SIZE);
    EXPECT_EQ(file[8] | file[9] | file[10] | file[11], 0);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(std::memcmp(&s_, &loaded_, sizeof(Settings)), 0);
}

TEST_F(PrefsFile, UnusableFilesAreRefusedWithAZeroBlock)
{
    EXPECT_EQ(load(), -2);  // missing
    EXPECT_TRUE(loaded_is_zero());
    ASSERT_EQ(save(), 0);
    const Bytes good = bytes();
    auto with_packed = [](int32_t n) {
        return [n](Bytes& f) { std::memcpy(f.data() + 8, &n, 4); };
    };
    const struct {
        const char* what;
        std::function<void(Bytes&)> damage;
    } cases[] = {
        {"version 14", [](Bytes& f) { f[4] = 14; }},
        {"last byte changed", [](Bytes& f) { f.back() ^= 0x55; }},
        {"short header", [](Bytes& f) { f.resize(7); }},
        {"short payload", [](Bytes& f) { f.resize(f.size() - 3); }},
        {"garbage stream", [](Bytes& f) { for (size_t i = 12; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 31); }},
        {"packed_size 2^31-1", with_packed(0x7FFFFFFF)},
        {"packed_size negative", with_packed(-5)},
        {"packed_size 1", with_packed(1)},
    };
    for (const auto& c : cases) {
        Bytes f = good;
        c.damage(f);
        write(f);
        EXPECT_EQ(load(), -1) << c.what;
        EXPECT_TRUE(loaded_is_zero()) << c.what;
    }
}

long bytes_read_so_far()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long value = 0;
    while (io >> key >> value)
        if (key == "rchar:")
            return value;
    return -1;
}

// A header claiming more than any compression of the payload can take is
// refused before a buffer is allocated or the claimed bytes are read.
TEST_F(PrefsFile, HostilePackedSizeIsRefusedBeforeReading)
{
    constexpr int32_t CLAIMED = 64 << 20;
    Bytes header(12, 0);
    header[4] = 15;
    std::memcpy(header.data() + 8, &CLAIMED, 4);
    write(header);
    ASSERT_EQ(truncate(path_.c_str(), 12 + CLAIMED), 0);  // a sparse file that long
    const long before = bytes_read_so_far();
    EXPECT_EQ(load(), -1);
    EXPECT_LT(bytes_read_so_far() - before, 1 << 20);
}

TEST_F(PrefsFile, LoadFixesCredentialsAndLegacyHost)
{
    std::strcpy(s_.username, "carol");  // not remembered: never survives
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
    s_.streamer_port = 1234;
    ASSERT_EQ(save(), 0);
    const Bytes before = bytes();

    make_incompressible();
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(save() == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not report its failure";
    EXPECT_EQ(bytes(), before);
    EXPECT_NE(access((path_ + ".tmp").c_str(), F_OK), 0) << "temporary file left behind";
    EXPECT_EQ(prefs_save_to(&s_, (dir_ + "/no/such/folder/prefs.dat").c_str()), -1);
}

TEST(Settings, DefaultsClearEverythingElse)
{
    static Settings s;
    std::memset(&s, 0xAB, sizeof(s));
    settings_set_defaults(&s);
    const auto* b = reinterpret_cast<const uint8_t*>(&s);
    for (size_t off : {16u, 28u, 92u, 36092u, 36112u, 36372u, 344781u, 346882u, 346884u, 348952u, 348955u})
        EXPECT_EQ(b[off], 0) << off;
}

Bytes pattern(size_t n)
{
    Bytes src(n);
    for (size_t i = 0; i < n; ++i)
        src[i] = static_cast<uint8_t>((i / 100) % 7);
    return src;
}

// A whole stream round-trips; a truncated one gives what it held and says
// so; output cut short, on either side, is refused and never overruns.
TEST(Pack, RoundTripAndDestinationsTooSmall)
{
    const Bytes src = pattern(100000);
    Bytes packed(pack_bound(src.size()));
    size_t whole = packed.size();
    ASSERT_EQ(pack_buffer(packed.data(), &whole, src.data(), src.size()), 0);
    ASSERT_LT(whole, src.size() / 10);
    Bytes out(src.size());
    for (size_t in_len : {whole, whole / 2}) {
        size_t out_len = out.size();
        bool complete = false;
        ASSERT_EQ(unpack_buffer(out.data(), &out_len, packed.data(), in_len, &complete), 0);
        EXPECT_EQ(complete, in_len == whole);
        EXPECT_EQ(out_len == src.size(), in_len == whole);
    }
    EXPECT_EQ(out, src);

    for (size_t capacity : {size_t{0}, size_t{1}, size_t{16}, whole / 2, whole - 1}) {
        Bytes dst(capacity + 8, 0xEE);
        size_t len = capacity;
        EXPECT_EQ(pack_buffer(dst.data(), &len, src.data(), src.size()), -1) << capacity;
        EXPECT_LE(len, capacity);
        EXPECT_EQ(dst[capacity], 0xEE) << capacity;
        len = capacity;
        dst.assign(capacity + 8, 0xEE);
        EXPECT_EQ(unpack_buffer(dst.data(), &len, packed.data(), whole), 0);
        EXPECT_EQ(len, capacity);
        EXPECT_EQ(dst[capacity], 0xEE) << capacity;
    }
}

TEST(Pack, GarbageNeverOverruns)
{
    std::mt19937 rng(11);
    Bytes out(4096);
    for (int round = 0; round < 2000; ++round) {
        Bytes junk(rng() % 300);
        for (auto& b : junk)
            b = static_cast<uint8_t>(rng());
        if (junk.size() > 2 && round % 2) {
            junk[0] = 0x78;  // a valid zlib header, then noise
            junk[1] = 0xDA;
        }
        size_t n = out.size();
        EXPECT_EQ(unpack_buffer(out.data(), &n, junk.data(), junk.size()), 0);
        EXPECT_LE(n, out.size());
    }
}

}  // namespace
