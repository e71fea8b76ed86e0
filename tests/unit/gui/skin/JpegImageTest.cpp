// The JPEG loader on the committed pictures and on damaged input.
#include "gui/skin/JpegImage.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "tests/support/TempFolder.h"

namespace obu {
namespace {

const QString kAssets = QStringLiteral(OBU_ASSET_FOLDER);

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Encodes raw samples with libjpeg, as another program would have written them.
QByteArray encode(const std::vector<unsigned char>& samples, int w, int h, J_COLOR_SPACE space,
                  int components) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = w;
    info.image_height = h;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 98, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * w * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    free(buffer);
    return out;
}

// Left half one colour, right half another.
std::vector<unsigned char> halves(int w, int h, std::vector<unsigned char> left,
                                  std::vector<unsigned char> right) {
    std::vector<unsigned char> samples;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto& c = x < w / 2 ? left : right;
            samples.insert(samples.end(), c.begin(), c.end());
        }
    return samples;
}

void expectNear(QRgb pixel, int r, int g, int b, int tolerance = 12) {
    EXPECT_NEAR(qRed(pixel), r, tolerance);
    EXPECT_NEAR(qGreen(pixel), g, tolerance);
    EXPECT_NEAR(qBlue(pixel), b, tolerance);
}

TEST(JpegImage, CommittedPicturesLoadAtTheirSizesAndColours) {
    const struct {
        const char* file;
        int w, h;
    } pictures[] = {{"obu-background.jpg", 600, 216},
                    {"obu-splash.jpg", 324, 189},
                    {"obu-about.jpg", 174, 127},
                    {"obu-credits.jpg", 303, 235},
                    {"obu-extras.jpg", 460, 230}};
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.file);
        const QString path = kAssets + QLatin1String(p.file);
        const QImage ours = loadJpeg(path);
        ASSERT_FALSE(ours.isNull());
        EXPECT_EQ(ours.size(), QSize(p.w, p.h));
        EXPECT_EQ(ours.format(), QImage::Format_RGB32);
        // Qt's own reader decodes the same file; the colours must agree.
        const QImage reference = QImage(path).convertToFormat(QImage::Format_RGB32);
        if (reference.isNull()) continue;
        long long difference = 0;
        for (int y = 0; y < p.h; ++y)
            for (int x = 0; x < p.w; ++x) {
                const QRgb a = ours.pixel(x, y), b = reference.pixel(x, y);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_LT(static_cast<double>(difference) / (3.0 * p.w * p.h), 1.5);
    }
}

TEST(JpegImage, ColourGreyAndCmykPicturesDecodeToTheirColours) {
    const QImage rgb =
        decodeJpeg(encode(halves(32, 16, {220, 30, 40}, {20, 60, 200}), 32, 16, JCS_RGB, 3));
    ASSERT_EQ(rgb.size(), QSize(32, 16));
    expectNear(rgb.pixel(4, 8), 220, 30, 40);
    expectNear(rgb.pixel(27, 8), 20, 60, 200);

    const QImage grey = decodeJpeg(encode(halves(32, 16, {40}, {200}), 32, 16, JCS_GRAYSCALE, 1));
    ASSERT_EQ(grey.size(), QSize(32, 16));
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
    expectNear(grey.pixel(4, 8), 40, 40, 40, 4);
    expectNear(grey.pixel(27, 8), 200, 200, 200, 4);

    // CMYK as Adobe programs store it, inverted: 255 is no ink. Magenta ink
    // alone on the left, cyan and yellow (green) on the right.
    const QImage cmyk = decodeJpeg(
        encode(halves(32, 16, {255, 0, 255, 255}, {0, 255, 0, 255}), 32, 16, JCS_CMYK, 4));
    ASSERT_EQ(cmyk.size(), QSize(32, 16));
    expectNear(cmyk.pixel(4, 8), 255, 0, 255);
    expectNear(cmyk.pixel(27, 8), 0, 255, 0);
}

TEST(JpegImage, TruncatedGarbledAndForeignDataGiveNullImages) {
    const QByteArray good = readFile(kAssets + QStringLiteral("obu-about.jpg"));
    ASSERT_GT(good.size(), 1000);
    ASSERT_FALSE(decodeJpeg(good).isNull());

    for (qsizetype keep : {qsizetype(1), qsizetype(2), qsizetype(20), qsizetype(300),
                           good.size() / 3, good.size() / 2, good.size() - 40, good.size() - 2}) {
        SCOPED_TRACE(keep);
        EXPECT_TRUE(decodeJpeg(good.left(keep)).isNull());
    }

    QByteArray noise(4096, '\0');
    unsigned seed = 12345;
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    EXPECT_TRUE(decodeJpeg(noise).isNull());
    EXPECT_TRUE(decodeJpeg(QByteArray("\xFF\xD8", 2) + noise).isNull());
    EXPECT_TRUE(decodeJpeg(good.left(600) + noise).isNull());
    EXPECT_TRUE(decodeJpeg(readFile(kAssets + QStringLiteral("page-alarm.png"))).isNull());
    EXPECT_TRUE(decodeJpeg(QByteArray("[Options]\r\nSound=1\r\n")).isNull());
}

TEST(JpegImage, CorruptScanDataNeverCrashesAndNeverGivesAWrongSize) {
    const QByteArray good = readFile(kAssets + QStringLiteral("obu-credits.jpg"));
    ASSERT_FALSE(good.isEmpty());
    for (int k = 1; k <= 24; ++k) {
        QByteArray bad = good;
        const qsizetype at = bad.size() * k / 26;
        for (qsizetype i = at; i < at + 16 && i < bad.size() - 2; ++i)
            bad[i] = static_cast<char>(bad[i] ^ 0x5A);
        const QImage image = decodeJpeg(bad);
        if (!image.isNull()) {
            EXPECT_EQ(image.size(), QSize(303, 235));
        }
    }
}

TEST(JpegImage, HugeClaimedSizeIsRefusedWithoutReadingOn) {
    QByteArray small = encode(halves(16, 16, {10, 20, 30}, {10, 20, 30}), 16, 16, JCS_RGB, 3);
    const qsizetype sof = small.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    // Height and width of the frame header: 60000 x 60000.
    for (int i : {5, 7}) {
        small[sof + i] = static_cast<char>(0xEA);
        small[sof + i + 1] = static_cast<char>(0x60);
    }
    EXPECT_TRUE(decodeJpeg(small).isNull());
}

TEST(JpegImage, EmptyMissingAndUnreadableFilesGiveNullImages) {
    test::TempFolder folder;
    folder.write(QStringLiteral("empty.jpg"), QByteArray());
    EXPECT_TRUE(loadJpeg(folder.file(QStringLiteral("empty.jpg"))).isNull());
    EXPECT_TRUE(loadJpeg(folder.file(QStringLiteral("missing.jpg"))).isNull());
    EXPECT_TRUE(loadJpeg(folder.path()).isNull());
    EXPECT_TRUE(loadJpeg(QString()).isNull());
    EXPECT_TRUE(decodeJpeg(QByteArray()).isNull());
}

}  // namespace
}  // namespace obu
