#include "tests/fuzz/fuzz_driver.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double DEFAULT_SECONDS = 5;
// Bytes that decide parsers' paths: ends, escapes, markup and boundaries.
constexpr uint8_t INTERESTING[] = {0,   1,    '\n', '\r', ',', ':',  '{',  '}',  '<',
                                   '>', '\\', 'N',  '0',  '9', 0x7F, 0x80, 0xC3, 0xFF};

// Inputs go to the target as libFuzzer hands them: never a null pointer,
// even for an empty input.
int run_target(FuzzTarget target, const std::vector<uint8_t>& input)
{
    static const uint8_t EMPTY = 0;
    return target(input.empty() ? &EMPTY : input.data(), input.size());
}

struct Rng {
    uint64_t s;
    uint64_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return s;
    }
    size_t below(size_t n) { return n ? static_cast<size_t>(next() % n) : 0; }
};

void mutate_once(std::vector<uint8_t>& in, const std::vector<uint8_t>& other, Rng& rng,
                 size_t max_size)
{
    const size_t n = in.size();
    switch (rng.below(7)) {
    case 0:
        if (n)
            in[rng.below(n)] ^= static_cast<uint8_t>(1u << rng.below(8));
        break;
    case 1:
        if (n)
            in[rng.below(n)] = static_cast<uint8_t>(rng.next());
        break;
    case 2:
        if (n)
            in[rng.below(n)] = INTERESTING[rng.below(sizeof INTERESTING)];
        break;
    case 3:
        if (n < max_size)
            in.insert(in.begin() + static_cast<long>(rng.below(n + 1)),
                      INTERESTING[rng.below(sizeof INTERESTING)]);
        break;
    case 4:
        if (n) {
            const size_t at = rng.below(n);
            in.erase(in.begin() + static_cast<long>(at),
                     in.begin() + static_cast<long>(at + 1 + rng.below(n - at)));
        }
        break;
    case 5:
        if (n && n < max_size) {
            const size_t from = rng.below(n), len = 1 + rng.below(std::min<size_t>(n - from, 64));
            std::vector<uint8_t> piece(in.begin() + static_cast<long>(from),
                                       in.begin() + static_cast<long>(from + len));
            in.insert(in.begin() + static_cast<long>(rng.below(n + 1)), piece.begin(), piece.end());
        }
        break;
    default:
        if (!other.empty()) {
            const size_t cut = rng.below(n + 1), from = rng.below(other.size());
            in.resize(cut);
            in.insert(in.end(), other.begin() + static_cast<long>(from), other.end());
        }
        break;
    }
    if (in.size() > max_size)
        in.resize(max_size);
}

}  // namespace

int fuzz_main(int argc, char** argv, FuzzTarget target, const std::vector<std::string>& seeds,
              size_t max_size)
{
    double seconds = DEFAULT_SECONDS;
    long runs = -1;
    uint64_t seed = static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--runs"))
            runs = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seed"))
            seed = std::strtoull(argv[i + 1], nullptr, 0);
    }
    std::printf("fuzz seed %llu\n", static_cast<unsigned long long>(seed));  // to replay a finding
    std::vector<std::vector<uint8_t>> corpus;
    for (const std::string& s : seeds)
        corpus.emplace_back(s.begin(), s.end());
    corpus.emplace_back();
    for (const auto& c : corpus)
        if (run_target(target, c) != 0)
            return 1;
    Rng rng{seed | 1};
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    long done = 0;
    for (; runs < 0 ? std::chrono::steady_clock::now() < end : done < runs; ++done) {
        std::vector<uint8_t> input = corpus[rng.below(corpus.size())];
        const std::vector<uint8_t>& other = corpus[rng.below(corpus.size())];
        for (size_t k = 1 + rng.below(8); k > 0; --k)
            mutate_once(input, other, rng, max_size);
        if (run_target(target, input) != 0)
            return 1;
        // Keep a few mutants as seeds of further mutations.
        if (corpus.size() < 256 && rng.below(64) == 0)
            corpus.push_back(std::move(input));
    }
    std::printf("fuzz runs %ld\n", done);
    return 0;
}
