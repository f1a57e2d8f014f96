// Fuzzes the channel table as the streamer stores it: the first four bytes
// are the announced count, the rest the stored table (plain or zlib).
// Whatever arrives, the result is a known code, a success holds exactly the
// announced count of entries within the table, and every name ends within
// its field.
#include <cstring>
#include <string>
#include <vector>

#include "platform/pack.h"
#include "platform/result_codes.h"
#include "streamer/channels.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

constexpr size_t COUNT_BYTES = 4;

int one(const uint8_t* data, size_t size)
{
    if (size < COUNT_BYTES)
        return 0;
    uint32_t count;
    std::memcpy(&count, data, COUNT_BYTES);
    // Counts past the table are refused before any byte is looked at; fold
    // most of them into range so that the inflate paths get the time.
    if (count > CHANNEL_TABLE_SIZE + 1)
        count %= CHANNEL_TABLE_SIZE + 1;
    std::vector<ChannelEntry> table(CHANNEL_TABLE_SIZE);
    int32_t got = -1;
    const int rc = channel_table_unpack(
        count, data + COUNT_BYTES, static_cast<uint32_t>(size - COUNT_BYTES), table.data(), &got);
    if (rc == ERR_NO_CHANNELS || rc == ERR_GENERIC)
        return got == -1 ? 0 : 1;
    if (rc == ERR_SERVER_REPLY)
        return got == 0 ? 0 : 1;
    if (rc != 0 || got != static_cast<int32_t>(count))
        return 1;
    for (const ChannelEntry& e : table)
        if (!std::memchr(e.name, 0, sizeof(e.name)))
            return 1;
    return 0;
}

std::string with_count(uint32_t count, const std::string& stored)
{
    return std::string(reinterpret_cast<const char*>(&count), COUNT_BYTES) + stored;
}

std::string table(uint32_t count)
{
    std::string out(count * CHANNEL_ENTRY_SIZE, '\0');
    for (uint32_t i = 0; i < count; ++i) {
        ChannelEntry e{};
        e.number = static_cast<uint16_t>(i + 1);
        std::strcpy(e.name, "News 24/7");
        std::memcpy(&out[i * CHANNEL_ENTRY_SIZE], &e, sizeof(e));
    }
    return out;
}

std::string zipped(const std::string& plain)
{
    std::string out(pack_bound(plain.size()), '\0');
    size_t n = out.size();
    pack_buffer(out.data(), &n, plain.data(), plain.size());
    out.resize(n);
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one,
                     {with_count(3, table(3)), with_count(40, zipped(table(40))),
                      with_count(2, std::string(2 * CHANNEL_ENTRY_SIZE, '\xff'))},
                     COUNT_BYTES + CHANNEL_TABLE_BYTES + 64);
}
