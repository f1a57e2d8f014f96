// The preferences file: round trips, every way a file can be unusable, and
// saves that fail part-way.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/pack.h"
#include "app/prefs.h"

namespace {

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

    std::vector<uint8_t> bytes() const
    {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const std::vector<uint8_t>& data) const
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    }
    int load() { return prefs_load_from(&loaded_, path_.c_str()); }
    static bool all_zero(const Settings& s)
    {
        const auto* b = reinterpret_cast<const uint8_t*>(&s);
        for (size_t i = 0; i < sizeof(s); ++i)
            if (b[i])
                return false;
        return true;
    }
    // Fills the payload with noise so the file no longer compresses.
    void make_incompressible()
    {
        std::mt19937 rng(7);
        auto* p = reinterpret_cast<uint8_t*>(&s_) + SETTINGS_HEADER_SIZE;
        for (size_t i = 0; i < SETTINGS_PAYLOAD_SIZE; ++i)
            p[i] = static_cast<uint8_t>(rng());
        s_.version = SETTINGS_VERSION;
    }

    std::string dir_, path_;
    static inline Settings s_;
    static inline Settings loaded_;
};

TEST_F(PrefsFile, RoundTripKeepsEveryByteAndCompresses)
{
    s_.remember_login = 1;
    std::strcpy(s_.username, "alice");
    std::strcpy(s_.password, "secret");
    s_.streamer_port = 8000;
    s_.swipe_to_seek = 1;
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    auto file = bytes();
    ASSERT_GT(file.size(), 12u);
    int32_t packed = 0;
    std::memcpy(&packed, file.data() + 8, 4);
    EXPECT_EQ(static_cast<size_t>(packed), file.size() - 12);
    EXPECT_LT(file.size(), 4096u);  // mostly zero: level 9 makes it small
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(std::memcmp(&s_, &loaded_, sizeof(Settings)), 0);
}

TEST_F(PrefsFile, MissingFileIsMinusTwo)
{
    EXPECT_EQ(load(), -2);
    EXPECT_TRUE(all_zero(loaded_));
}

TEST_F(PrefsFile, UnusableFilesAreMinusOneAndZeroTheBlock)
{
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    const auto good = bytes();

    auto older = good;
    older[4] = 14;  // version 14
    write(older);
    EXPECT_EQ(load(), -1);
    EXPECT_TRUE(all_zero(loaded_));

    auto changed = good;
    changed.back() ^= 0x55;  // damages the zlib stream or its checksum
    write(changed);
    EXPECT_EQ(load(), -1);
    EXPECT_TRUE(all_zero(loaded_));

    write(std::vector<uint8_t>(good.begin(), good.begin() + 7));  // short header
    EXPECT_EQ(load(), -1);
    write(std::vector<uint8_t>(good.begin(), good.end() - 3));  // short payload
    EXPECT_EQ(load(), -1);

    auto garbage = good;
    auto truncated_stream = good;
    truncated_stream.resize(good.size() - 6);  // the stream ends early but the header claims more
    write(truncated_stream);
    EXPECT_EQ(load(), -1);

    for (size_t i = 12; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 31);
    write(garbage);
    EXPECT_EQ(load(), -1);
    EXPECT_TRUE(all_zero(loaded_));
}

TEST_F(PrefsFile, HostileHeadersAreRefused)
{
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    auto file = bytes();
    for (int32_t packed : {0x7FFFFFFF, -5, 1}) {
        auto f = file;
        std::memcpy(f.data() + 8, &packed, 4);
        write(f);
        EXPECT_EQ(load(), -1) << packed;
    }
}

TEST_F(PrefsFile, PlainPayloadLoads)
{
    s_.remember_login = 1;
    std::strcpy(s_.username, "bob");
    s_.checksum = settings_checksum(&s_);
    s_.packed_size = 0;
    std::vector<uint8_t> plain(reinterpret_cast<uint8_t*>(&s_), reinterpret_cast<uint8_t*>(&s_) + sizeof(s_));
    write(plain);
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(loaded_.username, "bob");
}

TEST_F(PrefsFile, IncompressibleBlockIsStoredPlain)
{
    make_incompressible();
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    auto file = bytes();
    EXPECT_EQ(file.size(), SETTINGS_SIZE);
    EXPECT_EQ(file[8] | file[9] | file[10] | file[11], 0);  // packed_size 0
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(std::memcmp(&s_, &loaded_, sizeof(Settings)), 0);
}

TEST_F(PrefsFile, CredentialsSurviveOnlyWhenRemembered)
{
    std::strcpy(s_.username, "carol");
    std::strcpy(s_.password, "pw");
    s_.remember_login = 0;
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(loaded_.username[0], 0);
    EXPECT_EQ(loaded_.password[0], 0);
}

TEST_F(PrefsFile, LegacyAddressFillsAnEmptyHost)
{
    std::memcpy(s_.legacy_streamer_address, "192.0.2.10XXXXXX", 16);  // not terminated
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(loaded_.streamer_host, "192.0.2.10XXXXXX");

    std::strcpy(s_.streamer_host, "media-pc");
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    ASSERT_EQ(load(), 0);
    EXPECT_STREQ(loaded_.streamer_host, "media-pc");
}

// A save that runs out of room part-way fails and leaves the old file whole.
TEST_F(PrefsFile, FailedSaveKeepsThePreviousFile)
{
    s_.streamer_port = 1234;
    ASSERT_EQ(prefs_save_to(&s_, path_.c_str()), 0);
    const auto before = bytes();

    make_incompressible();
    pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit lim{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &lim);
        _exit(prefs_save_to(&s_, path_.c_str()) == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not report its failure";
    EXPECT_EQ(bytes(), before);
    EXPECT_NE(access((path_ + ".tmp").c_str(), F_OK), 0) << "temporary file left behind";
    ASSERT_EQ(load(), 0);
    EXPECT_EQ(loaded_.streamer_port, 1234);
}

TEST_F(PrefsFile, UnwritableFolderFails)
{
    std::string missing = dir_ + "/no/such/folder/prefs.dat";
    EXPECT_EQ(prefs_save_to(&s_, missing.c_str()), -1);
}

TEST(Pack, RoundTripAndTruncatedStream)
{
    std::vector<uint8_t> src(100000);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<uint8_t>((i / 100) % 7);
    std::vector<uint8_t> packed(src.size() + 64);
    size_t packed_len = packed.size();
    ASSERT_EQ(pack_buffer(packed.data(), &packed_len, src.data(), src.size()), 0);
    ASSERT_LT(packed_len, src.size() / 10);

    std::vector<uint8_t> out(src.size());
    size_t out_len = out.size();
    ASSERT_EQ(unpack_buffer(out.data(), &out_len, packed.data(), packed_len), 0);
    EXPECT_EQ(out_len, src.size());
    EXPECT_EQ(out, src);

    out_len = out.size();
    ASSERT_EQ(unpack_buffer(out.data(), &out_len, packed.data(), packed_len / 2), 0);
    EXPECT_LT(out_len, src.size());  // only what the truncated stream held

    size_t small = 16;  // a destination too small never overflows
    std::vector<uint8_t> tiny(small + 8, 0xEE);
    ASSERT_EQ(unpack_buffer(tiny.data(), &small, packed.data(), packed_len), 0);
    EXPECT_EQ(small, 16u);
    EXPECT_EQ(tiny[16], 0xEE);
}

TEST(Pack, GarbageNeverOverruns)
{
    std::mt19937 rng(11);
    std::vector<uint8_t> out(4096);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> junk(rng() % 300);
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
