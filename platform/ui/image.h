// An RGB picture of the window and the PNG files it is written to and read
// from. The headless back end paints into an image; the screenshot of the
// real window lands in one too.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"

namespace qvl::ui {

class Image {
public:
    Image() = default;
    // Every pixel starts in `background`. Sizes below 0 count as 0.
    Image(int width, int height, Colour background = {});

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    bool empty() const noexcept { return width_ == 0 || height_ == 0; }
    // Outside the image: black.
    Colour pixel(int x, int y) const noexcept;
    // Outside the image: ignored.
    void setPixel(int x, int y, Colour colour) noexcept;
    // Three bytes a pixel, rows top down.
    const std::vector<std::uint8_t>& rgb() const noexcept { return rgb_; }
    std::vector<std::uint8_t>& rgb() noexcept { return rgb_; }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> rgb_;
};

// Draws into an image, clipped to it. The image has no fonts: a text becomes
// one solid block per visible character, in the text's colour, so a picture
// still shows where and in which colour text stands.
class ImageCanvas final : public Canvas {
public:
    explicit ImageCanvas(Image& image) noexcept : image_(image) {}
    void fill(const Rect& area, Colour colour) override;
    void line(Point from, Point to, Colour colour) override;
    void text(Point topLeft, std::string_view utf8, Colour colour) override;

    // The size of one character cell of the block text.
    static constexpr int kCharAdvance = 7;
    static constexpr int kCharHeight = 13;

private:
    Image& image_;
};

// Writes the image as an 8-bit RGB PNG, through a temporary file renamed over
// the target. False (and no file) on any failure, an empty image included.
bool writePng(const std::filesystem::path& path, const Image& image);
// Reads any PNG that libpng reads as 8-bit RGB; nothing when the file is
// missing or not a valid PNG.
std::optional<Image> readPng(const std::filesystem::path& path);

}  // namespace qvl::ui
