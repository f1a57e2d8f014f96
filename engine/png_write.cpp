#include "engine/png_write.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <png.h>

namespace {

constexpr int RGB_BYTES = 3;

struct PngJob {
    std::FILE* file;
    const uint8_t* pixels;
    int width;
    int height;
    int bytes_per_pixel;
    bool swap;
    uint8_t* row;  // RGB_BYTES x width, owned by the caller
};

// Errors leave through the jump point set in encode; nothing is printed
// (the program never logs).
void on_error(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}
void on_warning(png_structp, png_const_charp) {}

void write_bytes(png_structp png, png_bytep data, size_t size)
{
    auto* f = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, size, f) != size)
        png_error(png, "write failed");  // a full disk
}

void flush_bytes(png_structp png)
{
    std::fflush(static_cast<std::FILE*>(png_get_io_ptr(png)));
}

void fill_row(const PngJob& job, int y, uint8_t* row)
{
    const uint8_t* src = job.pixels + size_t(y) * job.width * job.bytes_per_pixel;
    const int r = job.swap ? 2 : 0, b = job.swap ? 0 : 2;
    for (int x = 0; x < job.width; x++, src += job.bytes_per_pixel, row += RGB_BYTES) {
        row[0] = src[r];
        row[1] = src[1];
        row[2] = src[b];
    }
}

// libpng jumps back to the setjmp below on any error. No object with a
// destructor lives in this function, so the jump skips no clean-up; the row
// buffer belongs to the caller.
int encode(const PngJob* job)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!png)
        return -1;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return -1;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return -1;
    }
    png_set_write_fn(png, job->file, write_bytes, flush_bytes);
    png_set_IHDR(png, info, png_uint_32(job->width), png_uint_32(job->height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < job->height; y++) {
        fill_row(*job, y, job->row);
        png_write_row(png, job->row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return 0;
}

}  // namespace

int png_write_rgb(const char* file, const uint8_t* pixels, int width, int height,
                  int bytes_per_pixel, bool swap)
{
    if (!file || !*file || !pixels || width <= 0 || height <= 0 || width > PNG_WRITE_MAX_SIDE ||
        height > PNG_WRITE_MAX_SIDE || bytes_per_pixel < RGB_BYTES || bytes_per_pixel > 4)
        return -1;
    std::string temporary = std::string(file) + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return -1;
    fchmod(fd, 0644);  // mkstemp makes it private; thumbnails are ordinary files
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(temporary.c_str());
        return -1;
    }
    std::vector<uint8_t> row(size_t(width) * RGB_BYTES);
    PngJob job{f, pixels, width, height, bytes_per_pixel, swap, row.data()};
    bool ok = encode(&job) == 0;
    ok = std::fclose(f) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), file) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok ? 0 : -1;
}
