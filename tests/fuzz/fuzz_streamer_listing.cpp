// Fuzzes the streamer's listing reply: the two lengths from the reply
// payload and the stored bytes. Whatever arrives, the plain listing is
// exactly the announced length or refused, and nothing is written past it.
#include <cstring>
#include <string>
#include <vector>

#include "platform/pack.h"
#include "streamer/remote.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

uint32_t read_u32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

int one(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    // The plain length is taken small enough for the run to stay quick.
    const uint32_t plain = read_u32(data) % (1u << 16);
    const auto stored = static_cast<uint32_t>(size - 4);
    std::vector<uint8_t> listing;
    const int r = listing_unpack(data + 4, stored, plain, &listing);
    if (r == 0 && listing.size() != (stored >= plain ? stored : plain))
        return 1;
    return r == 0 || listing.empty() ? 0 : 1;
}

std::string seed(const std::string& plain, bool zipped)
{
    std::string out(4, '\0');
    const auto n = static_cast<uint32_t>(plain.size());
    std::memcpy(out.data(), &n, 4);
    if (!zipped)
        return out + plain;
    std::string packed(pack_bound(plain.size()), '\0');
    size_t len = packed.size();
    pack_buffer(packed.data(), &len, plain.data(), plain.size());
    return out + packed.substr(0, len);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string plain;
    for (int i = 0; i < 40; ++i)
        plain += "episode " + std::to_string(i) + ".mp4" + std::string(1, '\0') + "f";
    return fuzz_main(argc, argv, one, {seed(plain, true), seed(plain, false), seed("", false)},
                     1 << 16);
}
