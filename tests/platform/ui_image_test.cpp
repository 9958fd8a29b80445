#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/ui/headless_window.h"
#include "platform/ui/image.h"
#include "support/temp_dir.h"

namespace qvl::ui {
namespace {

constexpr Colour kRed = Colour::rgb(255, 0, 0);
constexpr Colour kWhite = Colour::rgb(255, 255, 255);

TEST(ImageCanvas, FillsClipAndLinesLeaveTheirEndPoint) {
    Image image(10, 6);
    ImageCanvas canvas(image);
    canvas.fill({.left = -5, .top = 4, .right = 50, .bottom = 50}, kRed);
    EXPECT_EQ(image.pixel(0, 4), kRed);
    EXPECT_EQ(image.pixel(9, 5), kRed);
    EXPECT_EQ(image.pixel(9, 3), Colour{});

    canvas.line({0, 0}, {5, 0}, kWhite);
    EXPECT_EQ(image.pixel(4, 0), kWhite);
    EXPECT_EQ(image.pixel(5, 0), Colour{});
    canvas.line({9, 3}, {9, -20}, kWhite);  // leaves the image without harm
    EXPECT_EQ(image.pixel(9, 0), kWhite);
}

TEST(ImageCanvas, TextTakesOneBlockPerCharacterAndBlanksStayEmpty) {
    Image image(40, 13);
    ImageCanvas canvas(image);
    canvas.text({0, 0}, "\xC3\xA9 a", kRed);  // é, blank, a: three cells
    EXPECT_EQ(image.pixel(3, 6), kRed);
    EXPECT_EQ(image.pixel(ImageCanvas::kCharAdvance + 3, 6), Colour{});
    EXPECT_EQ(image.pixel(2 * ImageCanvas::kCharAdvance + 3, 6), kRed);
    EXPECT_EQ(image.pixel(3 * ImageCanvas::kCharAdvance + 3, 6), Colour{});
}

TEST(Png, WrittenPixelsReadBackExactly) {
    test::TempDir dir;
    Image image(3, 2, kWhite);
    image.setPixel(2, 1, Colour::rgb(1, 2, 3));
    ASSERT_TRUE(writePng(dir / "shot.png", image));
    EXPECT_FALSE(std::filesystem::exists(dir / "shot.png.tmp"));
    const std::optional<Image> back = readPng(dir / "shot.png");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->width(), 3);
    EXPECT_EQ(back->height(), 2);
    EXPECT_EQ(back->rgb(), image.rgb());
}

TEST(Png, BadInputGivesNothingAndNoFile) {
    test::TempDir dir;
    EXPECT_FALSE(writePng(dir / "empty.png", Image()));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.png"));
    EXPECT_FALSE(writePng(dir / "missing" / "x.png", Image(1, 1)));

    EXPECT_FALSE(readPng(dir / "none.png").has_value());
    test::writeFile(dir / "text.png", "not a picture at all");
    EXPECT_FALSE(readPng(dir / "text.png").has_value());

    // A real header cut short: libpng fails half way and must not crash.
    ASSERT_TRUE(writePng(dir / "whole.png", Image(64, 64, kRed)));
    const std::string bytes = test::readFile(dir / "whole.png");
    test::writeFile(dir / "cut.png", bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(readPng(dir / "cut.png").has_value());
}

TEST(Png, TheHeadlessWindowSavesWhatItShows) {
    test::TempDir dir;
    class Painter : public WindowEvents {
        void onCreate(Window& window) override {
            window.createControl({.kind = ControlKind::Button, .id = 9, .x = 10, .y = 10, .width = 40, .height = 20});
        }
        void onPaint(Canvas& canvas) override { canvas.fill({.left = 0, .top = 0, .right = 100, .bottom = 50}, kRed); }
        void onClose() override {}
        void onCallbackException(const std::exception_ptr& /*error*/) noexcept override {
            ADD_FAILURE() << "a callback threw";
        }
    } painter;
    HeadlessWindow window;
    ASSERT_TRUE(window.open({.title = "t", .width = 100, .height = 50}, painter));
    bool written = false;
    window.savePng(dir / "window.png", [&written](bool ok) { written = ok; });
    ASSERT_TRUE(written);  // on the UI thread it is done at once
    const std::optional<Image> shot = readPng(dir / "window.png");
    ASSERT_TRUE(shot.has_value());
    EXPECT_EQ(shot->pixel(80, 40), kRed);
    EXPECT_NE(shot->pixel(30, 20), kRed);  // the button

    bool failed = true;
    window.savePng(dir / "no" / "such" / "folder.png", [&failed](bool ok) { failed = !ok; });
    EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace qvl::ui
