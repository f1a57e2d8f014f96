// The settings block: layout fixed by the file format, and its defaults.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/settings.h"

namespace {

template <typename T>
T read_le(const uint8_t* block, size_t offset)
{
    T v{};
    std::memcpy(&v, block + offset, sizeof(T));
    return v;
}

TEST(Settings, DefaultsSitAtTheirFileOffsets)
{
    static Settings s;
    settings_set_defaults(&s);
    const auto* b = reinterpret_cast<const uint8_t*>(&s);
    EXPECT_EQ(read_le<int32_t>(b, 4), 15);
    EXPECT_EQ(b[20], 2);                                  // stream quality High
    EXPECT_EQ(read_le<uint32_t>(b, 24), 1u);              // handshake value
    EXPECT_EQ(b[36370], 1);                               // sound on
    EXPECT_EQ(b[36371], 1);                               // progressive download
    EXPECT_EQ(read_le<uint32_t>(b, 344776), 66u);
    EXPECT_EQ(b[344782], 1);                              // large thumbnails
    EXPECT_EQ(b[344783], 2);                              // subtitle size
    EXPECT_EQ(b[344786], 1);                              // custom bitrate enabled
    EXPECT_EQ(read_le<uint32_t>(b, 344788), 3000u);
    for (size_t off : {344792u, 345816u, 346904u, 347928u})
        EXPECT_STREQ(reinterpret_cast<const char*>(b + off), "/") << off;
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 346840), "ASCII / UTF8");
    EXPECT_EQ(b[346881], 1);
    EXPECT_EQ(read_le<uint16_t>(b, 346888), 30);
    EXPECT_EQ(read_le<uint16_t>(b, 346890), 30);
    EXPECT_EQ(read_le<uint16_t>(b, 346892), 20);
    EXPECT_EQ(read_le<uint16_t>(b, 346894), 10);
    EXPECT_EQ(b[346896], 1);
    EXPECT_EQ(b[346898], 1);
}

TEST(Settings, EverythingElseIsZero)
{
    static Settings s;
    std::memset(&s, 0xAB, sizeof(s));
    settings_set_defaults(&s);
    const auto* b = reinterpret_cast<const uint8_t*>(&s);
    // Spot checks of gaps and fields whose default is 0.
    for (size_t off : {16u, 17u, 21u, 22u, 23u, 28u, 92u, 36092u, 36108u, 36112u, 36240u, 36368u,
                       36369u, 36372u, 344780u, 344781u, 344787u, 346882u, 346883u, 346884u,
                       346897u, 346899u, 346903u, 348952u, 348955u})
        EXPECT_EQ(b[off], 0) << off;
}

TEST(Settings, ChecksumIsTheByteSumAfterTheHeader)
{
    static Settings s;
    std::memset(&s, 0, sizeof(s));
    auto* b = reinterpret_cast<uint8_t*>(&s);
    b[0] = 0xFF;  // header bytes do not count
    b[11] = 0xFF;
    b[12] = 200;
    b[SETTINGS_SIZE - 1] = 100;
    EXPECT_EQ(settings_checksum(&s), 300u);
}

}  // namespace
