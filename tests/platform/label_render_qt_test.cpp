// Labels with graded frames, graded backgrounds and pictures rendered
// offscreen; the pixels are checked where each part must show. The windows
// are also written next to the test as PNGs for a person to look at.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QString>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/qt/qt_platform.h"

namespace kesu::platform::qt {
namespace {

constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;
constexpr Colour kYellow = 0x00FFFF;
// Behind the labels: the window's background.
constexpr Colour kBehind = 0x808000;
constexpr Colour kBack = kWhite;
constexpr int kLeft = 10;
constexpr int kTop = 10;

// A 4x4 picture of four 2x2 quarters: red, green over blue, yellow.
std::string QuarteredPng() {
    QImage img(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool right = x >= 2;
            const bool bottom = y >= 2;
            img.setPixelColor(
                x, y, bottom ? (right ? Qt::yellow : Qt::blue) : (right ? Qt::green : Qt::red));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toStdString();
}

// One label of `w` x `h` at (kLeft, kTop) in a window, rendered and read back
// as pixels of the window's client area.
class LabelRender : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = p_.UserInterface().CreateWindow();
        window_->SetGeometry({0, 0, 160, 120});
        window_->SetBackColour(kBehind);
        label_ = p_.UserInterface().CreateLabel(window_.get());
        label_->SetBackColour(kBack);
        label_->SetVisible(true);
    }
    void TearDown() override {
        label_.reset();
        window_.reset();
    }

    QImage Render(int w, int h, const LabelStyle& style, const std::string& name) {
        label_->SetGeometry({kLeft, kTop, w, h});
        label_->SetLabelStyle(style);
        window_->Show(WindowShow::Normal);
        p_.Loop().ProcessPending();
        const std::string path = ::testing::TempDir() + "kesu_label_" + name + ".png";
        EXPECT_TRUE(SaveWindowPng(*window_, path));
        QImage img(QString::fromStdString(path));
        EXPECT_FALSE(img.isNull());
        return img;
    }

    QtPlatform p_;
    std::unique_ptr<Window> window_;
    std::unique_ptr<Label> label_;
};

// Whether the pixel at (x, y) of the label is `c` within `tolerance` per channel.
::testing::AssertionResult At(const QImage& img, int x, int y, Colour c, int tolerance = 2) {
    const QColor got = img.pixelColor(kLeft + x, kTop + y);
    const QColor want(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                      static_cast<int>((c >> 16) & 0xFF));
    if (std::abs(got.red() - want.red()) <= tolerance &&
        std::abs(got.green() - want.green()) <= tolerance &&
        std::abs(got.blue() - want.blue()) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "label pixel (" << x << ", " << y << ") is " << got.name().toStdString() << ", not "
           << want.name().toStdString();
}

struct Sample {
    int x;
    int y;
    Colour colour;
};

void ExpectPixels(const QImage& img, const std::vector<Sample>& samples, int tolerance = 2) {
    for (const Sample& s : samples) EXPECT_TRUE(At(img, s.x, s.y, s.colour, tolerance));
}

TEST_F(LabelRender, GradedFrameRunsFromOuterToInnerEdgeThroughItsUsableColours) {
    const struct {
        const char* name;
        LabelFrame frame;
        std::vector<Sample> samples;
    } kCases[] = {
        // Outer edge, middle ring and inner edge on every side; the background
        // starts inside the frame.
        {"frame3",
         {9, {kRed, kGreen, kBlue}},
         {{0, 0, kRed},
          {59, 39, kRed},
          {30, 4, kGreen},
          {55, 20, kGreen},
          {8, 20, kBlue},
          {30, 31, kBlue},
          {9, 20, kBack},
          {50, 30, kBack}}},
        // An unusable colour in the middle: the other two meet halfway.
        {"frame2",
         {5, {kRed, kButtonFace, kBlue}},
         {{0, 20, kRed}, {2, 20, 0x800080}, {4, 20, kBlue}, {5, 20, kBack}}},
        // One usable colour: no frame is drawn, but its band is still kept free.
        {"frame1",
         {5, {kButtonFace, kRed, kButtonFace}},
         {{0, 20, kBehind}, {4, 20, kBehind}, {5, 20, kBack}}},
        // Wider than half the label: rings up to the middle, nothing inside;
        // ring 19 of 25 lies 19/24 of the way.
        {"frame_full", {25, {kRed, kGreen, kBlue}}, {{0, 0, kRed}, {19, 20, 0x956A00}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        LabelStyle style;
        style.frame = c.frame;
        ExpectPixels(Render(60, 40, style, c.name), c.samples);
    }
}

TEST_F(LabelRender, EachGradientModePutsItsColoursWhereItsDirectionSays) {
    const GradeColours rgb{kRed, kGreen, kBlue};
    // 61 x 41: the centre falls on a pixel, (30, 20).
    const struct {
        LabelGradient gradient;
        std::vector<Sample> samples;
    } kCases[] = {
        {{Gradient::LeftToRight, rgb}, {{0, 20, kRed}, {30, 20, kGreen}, {60, 20, kBlue}}},
        {{Gradient::TopToBottom, rgb}, {{30, 0, kRed}, {30, 20, kGreen}, {30, 40, kBlue}}},
        {{Gradient::TopLeftToBottomRight, rgb}, {{0, 0, kRed}, {30, 20, kGreen}, {60, 40, kBlue}}},
        {{Gradient::BottomLeftToTopRight, rgb}, {{0, 40, kRed}, {30, 20, kGreen}, {60, 0, kBlue}}},
        {{Gradient::SidesToCentre, rgb},
         {{0, 20, kRed}, {15, 20, kGreen}, {30, 20, kBlue}, {45, 20, kGreen}, {60, 20, kRed}}},
        {{Gradient::TopAndBottomToCentre, rgb},
         {{30, 0, kRed}, {30, 10, kGreen}, {30, 20, kBlue}, {30, 30, kGreen}, {30, 40, kRed}}},
        {{Gradient::Radial, rgb}, {{0, 0, kRed}, {60, 40, kRed}, {30, 20, kBlue}}},
        {{Gradient::Box, rgb}, {{0, 20, kRed}, {60, 0, kRed}, {10, 20, kGreen}, {30, 20, kBlue}}},
        // Two usable colours are enough; one is not, and the colour fills.
        {{Gradient::LeftToRight, {kButtonFace, kRed, kBlue}}, {{0, 20, kRed}, {60, 20, kBlue}}},
        {{Gradient::LeftToRight, {kButtonFace, kRed, kButtonFace}},
         {{0, 20, kBack}, {60, 20, kBack}}},
    };
    for (const auto& c : kCases) {
        const std::string name = "gradient" + std::to_string(&c - kCases);
        SCOPED_TRACE(name);
        LabelStyle style;
        style.gradient = c.gradient;
        ExpectPixels(Render(61, 41, style, name), c.samples, 6);
    }
}

TEST_F(LabelRender, PictureIsPlacedByItsLayoutInsideTheFrameAndReplacesTheBackground) {
    label_->SetPicture(QuarteredPng());
    LabelStyle style;
    style.gradient = {Gradient::LeftToRight, {kRed, kGreen, kBlue}};
    style.picture_layout = PictureLayout::TopLeft;
    // Beside the picture neither gradient nor colour: what is behind shows.
    ExpectPixels(Render(40, 20, style, "picture_topleft"), {{0, 0, kRed},
                                                            {3, 1, kGreen},
                                                            {1, 3, kBlue},
                                                            {3, 3, kYellow},
                                                            {4, 0, kBehind},
                                                            {30, 15, kBehind}});
    style.picture_layout = PictureLayout::Tiled;
    ExpectPixels(Render(40, 20, style, "picture_tiled"),
                 {{4, 0, kRed}, {6, 2, kYellow}, {37, 19, kBlue}, {39, 18, kYellow}});
    style.picture_layout = PictureLayout::Stretched;
    ExpectPixels(Render(40, 20, style, "picture_stretched"),
                 {{8, 4, kRed}, {31, 4, kGreen}, {8, 15, kBlue}, {31, 15, kYellow}});
    style.frame = {5, {kBlack, kBlack, kBlack}};
    ExpectPixels(Render(40, 20, style, "picture_framed"),
                 {{4, 4, kBlack}, {6, 6, kRed}, {33, 6, kGreen}, {33, 13, kYellow}});
}

TEST_F(LabelRender, UnreadablePictureFallsBackToGradientThenColour) {
    label_->SetPicture(QuarteredPng());
    label_->SetPicture("\x89PNG but not really");
    LabelStyle style;
    style.gradient = {Gradient::LeftToRight, {kRed, kGreen, kBlue}};
    ExpectPixels(Render(40, 20, style, "picture_unreadable"), {{0, 0, kRed}, {39, 0, kBlue}});
    style.gradient = {};
    ExpectPixels(Render(40, 20, style, "picture_unreadable_solid"), {{0, 0, kBack}});

    // Readable bytes again show the picture; no bytes remove it.
    label_->SetPicture(QuarteredPng());
    ExpectPixels(Render(40, 20, style, "picture_again"), {{31, 15, kYellow}});
    label_->SetPicture("");
    ExpectPixels(Render(40, 20, style, "picture_removed"), {{31, 15, kBack}});
}

TEST_F(LabelRender, PlainBordersFrameTheBackground) {
    LabelStyle style;
    label_->SetBorder(Border::Single);
    QImage img = Render(40, 20, style, "border_single");
    // A dark line on the edge, the background just inside it.
    EXPECT_LT(img.pixelColor(kLeft, kTop + 10).lightness(), 100);
    EXPECT_LT(img.pixelColor(kLeft + 39, kTop + 10).lightness(), 100);
    ExpectPixels(img, {{2, 10, kBack}, {37, 10, kBack}});
    label_->SetBorder(Border::None);
    ExpectPixels(Render(40, 20, style, "border_none"), {{0, 10, kBack}, {39, 10, kBack}});
}

}  // namespace
}  // namespace kesu::platform::qt
