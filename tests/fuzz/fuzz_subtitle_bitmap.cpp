// Fuzzes bitmap subtitle rectangles as a damaged stream can describe them:
// any place, size, palette and index rows (the index buffer itself is as
// large as the rectangle says, as the decoder hands it over).
#include <cstring>
#include <vector>

#include "engine/subtitle_bitmap.h"
#include "tests/fuzz/fuzz_driver.h"

namespace {

constexpr size_t LONGEST_INPUT = 4096;
constexpr size_t HEADER = 16;
constexpr int MAX_FUZZ_SIDE = 300;  // keeps each run quick; bigger sides add nothing new

int16_t i16(const uint8_t* p)
{
    return static_cast<int16_t>(p[0] | p[1] << 8);
}

int one(const uint8_t* data, size_t size)
{
    if (size < HEADER)
        return 0;
    AVSubtitleRect r{};
    r.type = SUBTITLE_BITMAP;
    r.x = i16(data);
    r.y = i16(data + 2);
    r.w = i16(data + 4) % (MAX_FUZZ_SIDE + 2);
    r.h = i16(data + 6) % (MAX_FUZZ_SIDE + 2);
    r.nb_colors = i16(data + 8);
    const int pad = data[10] % 8;
    r.linesize[0] = r.w + pad - (data[11] & 1);  // now and then shorter than a row
    const int coded_w = i16(data + 12), coded_h = i16(data + 14);
    const uint8_t* body = data + HEADER;
    const size_t body_size = size - HEADER;
    std::vector<uint8_t> palette(256 * 4), indices;
    if (r.w > 0 && r.h > 0 && r.linesize[0] > 0)
        indices.resize(static_cast<size_t>(r.linesize[0]) * r.h);
    for (size_t i = 0; body_size && i < palette.size(); ++i)
        palette[i] = body[i % body_size];
    for (size_t i = 0; body_size && i < indices.size(); ++i)
        indices[i] = body[(i * 7) % body_size];
    r.data[0] = indices.empty() ? nullptr : indices.data();
    r.data[1] = (data[11] & 2) ? nullptr : palette.data();
    if (!subtitle_rect_usable(&r))
        return 0;
    VideoRect clamped{};
    if (!subtitle_rect_clamp(r, coded_w, coded_h, &clamped))
        return 0;
    if (clamped.w <= 0 || clamped.h <= 0 || clamped.x < 0 || clamped.y < 0 ||
        clamped.x + clamped.w > coded_w || clamped.y + clamped.h > coded_h)
        return 1;  // the clamp let a rectangle off the picture
    std::vector<uint8_t> canvas(static_cast<size_t>(clamped.w) * clamped.h * 4);
    subtitle_rect_paint(r, clamped, clamped, canvas.data());
    subtitle_rect_on_screen(clamped, coded_w, coded_h, VideoRect{-33, 0, 1066, 600});
    return 0;
}

std::string seed(int16_t x, int16_t y, int16_t w, int16_t h, int16_t colours, int cw, int ch)
{
    const int16_t v[] = {
        x, y, w, h, colours, 0, static_cast<int16_t>(cw), static_cast<int16_t>(ch)};
    std::string s(reinterpret_cast<const char*>(v), sizeof v);
    for (int i = 0; i < 64; ++i)
        s += static_cast<char>(i * 37);
    return s;
}

}  // namespace

int main(int argc, char** argv)
{
    return fuzz_main(argc, argv, one,
                     {seed(10, 20, 64, 16, 4, 720, 576), seed(-5, -5, 300, 30, 16, 320, 240),
                      seed(700, 560, 40, 40, 256, 720, 576)},
                     LONGEST_INPUT);
}
