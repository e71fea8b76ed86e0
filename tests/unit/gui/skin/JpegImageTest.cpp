// The JPEG loader on the committed pictures and on damaged input.
#include "gui/skin/JpegImage.h"
#include "gui/skin/SkinPicture.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <vector>

#include "tests/support/TempFolder.h"

namespace obu {
namespace {

const QString kAssets = QStringLiteral(OBU_ASSET_FOLDER);

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Encodes a picture as another program would have written it.
QByteArray encode(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(98);
    EXPECT_TRUE(writer.write(image)) << qPrintable(writer.errorString());
    return buffer.data();
}

// Left half one colour, right half another.
QImage halves(int w, int h, QRgb left, QRgb right, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.setPixel(x, y, x < w / 2 ? left : right);
    return image.convertToFormat(format);
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
    }
}

TEST(JpegImage, ColourGreyAndCmykPicturesDecodeToTheirColours) {
    const QImage rgb = decodeJpeg(encode(halves(32, 16, qRgb(220, 30, 40), qRgb(20, 60, 200))));
    ASSERT_EQ(rgb.size(), QSize(32, 16));
    expectNear(rgb.pixel(4, 8), 220, 30, 40);
    expectNear(rgb.pixel(27, 8), 20, 60, 200);

    const QImage grey = decodeJpeg(
        encode(halves(32, 16, qRgb(40, 40, 40), qRgb(200, 200, 200), QImage::Format_Grayscale8)));
    ASSERT_EQ(grey.size(), QSize(32, 16));
    EXPECT_EQ(grey.format(), QImage::Format_RGB32);
    expectNear(grey.pixel(4, 8), 40, 40, 40, 4);
    expectNear(grey.pixel(27, 8), 200, 200, 200, 4);

    // CMYK as Adobe programs store it, inverted: 255 is no ink. Magenta ink
    // alone on the left, cyan and yellow (green) on the right.
    const QImage cmyk = decodeJpeg(readFile(QStringLiteral(OBU_TEST_DATA "adobe-cmyk.jpg")));
    ASSERT_EQ(cmyk.size(), QSize(32, 16));
    expectNear(cmyk.pixel(4, 8), 255, 0, 255);
    expectNear(cmyk.pixel(27, 8), 0, 255, 0);
}

TEST(JpegImage, TruncatedGarbledAndForeignDataGiveNullImages) {
    const QByteArray good = readFile(kAssets + QStringLiteral("obu-about.jpg"));
    ASSERT_GT(good.size(), 1000);
    ASSERT_FALSE(decodeJpeg(good).isNull());
    // Bytes after the end of the picture are no damage.
    EXPECT_EQ(decodeJpeg(good + QByteArray(100, '\0')).size(), QSize(174, 127));

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
    QByteArray small = encode(halves(16, 16, qRgb(10, 20, 30), qRgb(10, 20, 30)));
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

// The HiDPI copy is taken on a fine screen only, and only when it is whole
// and twice the size of the picture it stands for.
TEST(SkinPicture, TheSharpCopyServesAFineScreenWhenItIsWholeAndTwiceTheSize) {
    test::TempFolder folder;
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QImage sharp(60, 40, QImage::Format_RGB32);
    sharp.fill(Qt::blue);
    folder.write(QStringLiteral("face.jpg"), encode(picture));
    folder.write(QStringLiteral("face@2x.jpg"), encode(sharp));
    const QString path = folder.file(QStringLiteral("face.jpg"));

    const QPixmap fine = loadSkinPicture(path, 2.0);
    EXPECT_EQ(fine.size(), QSize(60, 40));
    EXPECT_EQ(fine.devicePixelRatio(), 2.0);
    EXPECT_EQ(fine.deviceIndependentSize(), QSizeF(30, 20));
    EXPECT_GT(qBlue(fine.toImage().pixel(30, 20)), 200);
    const QPixmap plain = loadSkinPicture(path, 1.0);
    EXPECT_EQ(plain.size(), QSize(30, 20));
    EXPECT_GT(qRed(plain.toImage().pixel(15, 10)), 200);

    // Cut short, or of another size: the picture itself, scaled by Qt.
    const QByteArray whole = encode(sharp);
    folder.write(QStringLiteral("face@2x.jpg"), whole.left(whole.size() / 2));
    EXPECT_EQ(loadSkinPicture(path, 2.0).size(), QSize(30, 20));
    folder.write(QStringLiteral("face@2x.jpg"), encode(sharp.scaled(50, 40)));
    EXPECT_EQ(loadSkinPicture(path, 2.0).size(), QSize(30, 20));
    EXPECT_TRUE(loadSkinPicture(folder.file(QStringLiteral("missing.jpg")), 2.0).isNull());
}

}  // namespace
}  // namespace obu
