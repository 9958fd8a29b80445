#include "platform/ui/image.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>

#include "platform/sys/file_io.h"

namespace qvl::ui {

namespace {

std::size_t pixelOffset(int x, int y, int width) {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3U;
}

// Characters that take ink: a block text skips blanks, and a UTF-8 sequence
// is one character (its continuation bytes take no cell of their own).
bool startsCharacter(unsigned char byte) { return (byte & 0xC0U) != 0x80U; }
bool isBlank(unsigned char byte) { return byte == ' ' || byte == '\t'; }

struct FileCloser {
    void operator()(std::FILE* file) const noexcept {
        if (file != nullptr) std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// libpng reports errors by longjmp; these functions keep no objects with
// destructors alive across the calls that may jump.
bool encodePng(std::FILE* file, const Image& image) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::uint8_t* row = image.rgb().data();
    const std::size_t stride = static_cast<std::size_t>(image.width()) * 3U;
    for (int y = 0; y < image.height(); ++y, row += stride) {
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool decodePng(std::FILE* file, Image& out) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    // Set before the jump point, so the error path sees its value.
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png)) != 0) {
        std::free(rows);
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_user_limits(png, 1U << 15U, 1U << 15U);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 3U) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    out = Image(static_cast<int>(width), static_cast<int>(height));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (rows == nullptr) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = out.rgb().data() + static_cast<std::size_t>(y) * width * 3U;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    std::free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

Image::Image(int width, int height, Colour background) : width_(std::max(width, 0)), height_(std::max(height, 0)) {
    rgb_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3U);
    for (std::size_t i = 0; i < rgb_.size(); i += 3) {
        rgb_[i] = background.red;
        rgb_[i + 1] = background.green;
        rgb_[i + 2] = background.blue;
    }
}

Colour Image::pixel(int x, int y) const noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::size_t at = pixelOffset(x, y, width_);
    return Colour{rgb_[at], rgb_[at + 1], rgb_[at + 2]};
}

void Image::setPixel(int x, int y, Colour colour) noexcept {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const std::size_t at = pixelOffset(x, y, width_);
    rgb_[at] = colour.red;
    rgb_[at + 1] = colour.green;
    rgb_[at + 2] = colour.blue;
}

void ImageCanvas::fill(const Rect& area, Colour colour) {
    const int left = std::max(area.left, 0);
    const int top = std::max(area.top, 0);
    const int right = std::min(area.right, image_.width());
    const int bottom = std::min(area.bottom, image_.height());
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) image_.setPixel(x, y, colour);
    }
}

void ImageCanvas::line(Point from, Point to, Colour colour) {
    // Bresenham; the end point is left out, as the window system does.
    int x = from.x;
    int y = from.y;
    const int dx = std::abs(to.x - from.x);
    const int dy = -std::abs(to.y - from.y);
    const int stepX = from.x < to.x ? 1 : -1;
    const int stepY = from.y < to.y ? 1 : -1;
    int error = dx + dy;
    while (x != to.x || y != to.y) {
        image_.setPixel(x, y, colour);
        const int doubled = 2 * error;
        if (doubled >= dy) {
            error += dy;
            x += stepX;
        }
        if (doubled <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

void ImageCanvas::text(Point topLeft, std::string_view utf8, Colour colour) {
    int x = topLeft.x;
    for (const char ch : utf8) {
        const auto byte = static_cast<unsigned char>(ch);
        if (!startsCharacter(byte)) continue;
        if (!isBlank(byte)) {
            fill(Rect{.left = x + 1,
                      .top = topLeft.y + 3,
                      .right = x + kCharAdvance - 1,
                      .bottom = topLeft.y + kCharHeight - 2},
                 colour);
        }
        x += kCharAdvance;
    }
}

bool writePng(const std::filesystem::path& path, const Image& image) {
    if (image.empty()) return false;
    std::filesystem::path temporary = path;
    temporary += ".tmp";
    {
        FilePtr file(sys::openFile(temporary, "wb"));
        if (!file) return false;
        const bool encoded = encodePng(file.get(), image);
        const bool flushed = std::fflush(file.get()) == 0;
        if (!encoded || !flushed) {
            file.reset();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    if (!sys::replaceFile(temporary, path)) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return false;
    }
    return true;
}

std::optional<Image> readPng(const std::filesystem::path& path) {
    FilePtr file(sys::openFile(path, "rb"));
    if (!file) return std::nullopt;
    unsigned char signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return std::nullopt;
    }
    std::rewind(file.get());
    Image image;
    if (!decodePng(file.get(), image)) return std::nullopt;
    return image;
}

}  // namespace qvl::ui
