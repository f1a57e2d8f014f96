// Fuzzes the texts that come from outside: subtitle text and dialogue lines
// (from any media file) and the play-request text (from the network).
#include <cstring>
#include <vector>

#include "app/listener.h"
#include "subtitles/subtitle_text.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

constexpr size_t LONGEST_INPUT = 2048;

int one(const uint8_t* data, size_t size)
{
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    // Full-size output and tiny ones: every size must stay in bounds and end
    // in a NUL.
    for (size_t out_size : {size_t{256}, size_t{1}, size_t{2}, size_t{7}}) {
        std::vector<char> out(out_size, 'x');
        subtitle_plain_text(text.data(), out.data(), out_size);
        if (!std::memchr(out.data(), '\0', out_size))
            return 1;
        subtitle_dialogue_text(text.data(), out.data(), out_size);
        if (!std::memchr(out.data(), '\0', out_size))
            return 1;
    }
    FlagWord flags{0};
    listener_take_text(&flags, reinterpret_cast<const char*>(data), size);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one,
                     {"{\\an8}<i>Hello</i> {\\b1}world</b>",
                      "Dialogue: 0,0:00:01.00,0:00:02.00,Default,,0,0,0,,Hi\\Nthere",
                      "0,0,Default,,0,0,0,,{\\pos(1,2)}Text\\n", "play http://host:80/a b",
                      std::string(600, 'h') + "http://x"},
                     LONGEST_INPUT);
}
