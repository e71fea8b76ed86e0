// The committed pictures, sounds and tunes, as the program finds them beside
// itself: the sizes and layouts the windows rely on, and the properties that
// make them usable (legible backgrounds, faces that join the background,
// sounds that are short, tunes of the right length).
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <cmath>
#include <cstdint>

#include "gui/skin/JpegImage.h"

namespace obu {
namespace {

const QString kAssets = QStringLiteral(OBU_ASSET_FOLDER);

QByteArray readFile(const QString& name) {
    QFile f(kAssets + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage picture(const QString& name) {
    return name.endsWith(QLatin1String(".jpg"))
               ? loadJpeg(kAssets + name)
               : QImage(kAssets + name).convertToFormat(QImage::Format_ARGB32);
}

double luminance(QRgb c) {
    return 0.299 * qRed(c) + 0.587 * qGreen(c) + 0.114 * qBlue(c);
}

struct Stats {
    double mean = 0, spread = 0;
    double red = 0, green = 0, blue = 0;
};

Stats stats(const QImage& image, const QRect& area) {
    Stats s;
    double sumSquares = 0;
    const int n = area.width() * area.height();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = image.pixel(x, y);
            const double l = luminance(c);
            s.mean += l;
            sumSquares += l * l;
            s.red += qRed(c);
            s.green += qGreen(c);
            s.blue += qBlue(c);
        }
    s.mean /= n;
    s.spread = std::sqrt(std::max(0.0, sumSquares / n - s.mean * s.mean));
    s.red /= n;
    s.green /= n;
    s.blue /= n;
    return s;
}

double meanDifference(const QImage& a, const QImage& b) {
    double total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            total += std::abs(luminance(a.pixel(x, y)) - luminance(b.pixel(x, y)));
    return total / (a.width() * a.height());
}

TEST(SkinAssets, EveryPictureHasTheSizeItsWindowExpects) {
    const struct {
        const char* file;
        int w, h;
    } expected[] = {
        {"obu-background.jpg", 600, 216},
        {"obu-splash.jpg", 324, 189},
        {"obu-about.jpg", 174, 127},
        {"obu-credits.jpg", 303, 235},
        {"obu-extras.jpg", 460, 230},
        {"face-connect.png", 326, 31},
        {"face-disconnect.png", 326, 31},
        {"face-alarm.png", 326, 31},
        {"face-connection.png", 326, 31},
        {"face-extras.png", 326, 31},
        {"face-exit.png", 164, 29},
        {"lights.png", 36, 18},
        {"ok.png", 16, 13},
        {"cancel.png", 40, 13},
        {"page-alarm.png", 91, 75},
        {"page-connection.png", 91, 121},
        {"obu-icon.png", 32, 32},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.file);
        const QImage image = picture(QLatin1String(e.file));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(e.w, e.h));
        // Its HiDPI copy: twice as many pixels each way, the same picture.
        QString sharpName = QLatin1String(e.file);
        sharpName.insert(sharpName.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
        const QImage sharp = picture(sharpName);
        ASSERT_FALSE(sharp.isNull()) << sharpName.toStdString();
        EXPECT_EQ(sharp.size(), QSize(2 * e.w, 2 * e.h));
        const QImage halved =
            sharp.scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(image.format());
        // Text on the smallest buttons is hinted differently at each size.
        EXPECT_LT(meanDifference(image, halved), 20.0) << "not the same drawing";
    }
}

TEST(SkinAssets, ButtonFacesJoinTheBackgroundAndLookPressedWhenPressed) {
    const QImage background = picture(QStringLiteral("obu-background.jpg"));
    ASSERT_FALSE(background.isNull());
    const struct {
        const char* file;
        QRect place;
    } buttons[] = {
        {"face-connection.png", {7, 63, 163, 31}},  {"face-alarm.png", {7, 93, 163, 31}},
        {"face-extras.png", {7, 122, 163, 31}},     {"face-connect.png", {7, 152, 163, 31}},
        {"face-disconnect.png", {7, 152, 163, 31}}, {"face-exit.png", {346, 184, 82, 29}},
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.file);
        const QImage strip = picture(QLatin1String(b.file));
        ASSERT_EQ(strip.size(), QSize(2 * b.place.width(), b.place.height()));
        const QImage resting = strip.copy(0, 0, b.place.width(), b.place.height());
        const QImage pressed = strip.copy(b.place.width(), 0, b.place.width(), b.place.height());
        // The corners show the background the button sits on, in both faces.
        for (const QImage& face : {resting, pressed})
            for (const QPoint corner :
                 {QPoint(0, 0), QPoint(face.width() - 1, 0), QPoint(0, face.height() - 1)}) {
                const QRgb on = face.pixel(corner),
                           under = background.pixel(b.place.topLeft() + corner);
                // (the background went through JPEG, the faces did not)
                EXPECT_NEAR(qRed(on), qRed(under), 16);
                EXPECT_NEAR(qGreen(on), qGreen(under), 16);
                EXPECT_NEAR(qBlue(on), qBlue(under), 16);
            }
        // The pressed face is plainly different and darker.
        EXPECT_GT(meanDifference(resting, pressed), 6.0);
        const QRect body(10, 6, b.place.width() - 20, b.place.height() - 14);
        EXPECT_LT(stats(pressed, body).mean, stats(resting, body).mean - 5);
    }
    // Connect reads as go (green), Disconnect as stop (red).
    const QRect body(30, 8, 120, 14);
    const Stats connect = stats(picture(QStringLiteral("face-connect.png")), body);
    const Stats disconnect = stats(picture(QStringLiteral("face-disconnect.png")), body);
    EXPECT_GT(connect.green, connect.red + 40);
    EXPECT_GT(disconnect.red, disconnect.green + 40);
}

TEST(SkinAssets, TextAreasAreCalmEnoughToRead) {
    // Black labels over the main background: the middle panel, the status line
    // and the settings panel are light and plain.
    const QImage background = picture(QStringLiteral("obu-background.jpg"));
    for (const QRect& area :
         {QRect(192, 14, 217, 142), QRect(10, 192, 325, 13), QRect(466, 16, 120, 140)}) {
        const Stats s = stats(background, area);
        EXPECT_GT(s.mean, 230) << area.x() << "," << area.y();
        EXPECT_LT(s.spread, 6) << area.x() << "," << area.y();
    }
    // The teal "Version 1.3" on the splash sits on a pale, even patch.
    const Stats version = stats(picture(QStringLiteral("obu-splash.jpg")), QRect(8, 122, 125, 23));
    EXPECT_GT(version.mean, 200);
    EXPECT_LT(version.spread, 8);
    // The white heading of the credits overlaps the picture's black bottom.
    EXPECT_LT(stats(picture(QStringLiteral("obu-credits.jpg")), QRect(16, 222, 265, 13)).mean, 12);
    // The extras editor's text and rows sit on its light card.
    EXPECT_GT(stats(picture(QStringLiteral("obu-extras.jpg")), QRect(64, 48, 334, 26)).mean, 230);
}

TEST(SkinAssets, LightsShowOffAndOn) {
    const QImage lights = picture(QStringLiteral("lights.png"));
    const Stats off = stats(lights, QRect(5, 5, 8, 8));
    const Stats on = stats(lights, QRect(23, 5, 8, 8));
    EXPECT_LT(std::abs(off.green - off.red), 25);  // grey
    EXPECT_GT(on.green, on.red + 60);              // green
}

// ---- Sounds ---------------------------------------------------------------------------------

struct WaveInfo {
    bool valid = false;
    int channels = 0, rate = 0, bits = 0;
    double seconds = 0, peak = 0;
};

std::uint32_t le(const QByteArray& b, qsizetype at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

WaveInfo readWave(const QByteArray& b) {
    WaveInfo w;
    if (b.size() < 44 || !b.startsWith("RIFF") || b.mid(8, 4) != "WAVE") return w;
    qsizetype at = 12;
    qsizetype data = -1, dataSize = 0;
    while (at + 8 <= b.size()) {
        const QByteArray id = b.mid(at, 4);
        const qsizetype size = le(b, at + 4, 4);
        if (id == "fmt ") {
            if (le(b, at + 8, 2) != 1) return w;  // PCM only
            w.channels = static_cast<int>(le(b, at + 10, 2));
            w.rate = static_cast<int>(le(b, at + 12, 4));
            w.bits = static_cast<int>(le(b, at + 22, 2));
        } else if (id == "data") {
            data = at + 8;
            dataSize = std::min(size, b.size() - data);
        }
        at += 8 + size + (size & 1);
    }
    if (data < 0 || w.bits != 16 || w.channels < 1 || w.rate <= 0) return w;
    for (qsizetype i = data; i + 1 < data + dataSize; i += 2)
        w.peak = std::max(w.peak, std::abs(static_cast<std::int16_t>(le(b, i, 2)) / 32768.0));
    w.seconds = static_cast<double>(dataSize) / (2.0 * w.channels * w.rate);
    w.valid = true;
    return w;
}

TEST(SkinAssets, WaveSoundsAreShortUnclippedPcm) {
    const struct {
        const char* file;
        double shortest, longest;
    } sounds[] = {{"obuclick.okx", 0.005, 0.1},
                  {"obubtnd.okx", 0.02, 0.2},
                  {"obubtnu.okx", 0.02, 0.2},
                  {"obualarm.okx", 1.0, 2.5}};
    for (const auto& s : sounds) {
        SCOPED_TRACE(s.file);
        const WaveInfo w = readWave(readFile(QLatin1String(s.file)));
        ASSERT_TRUE(w.valid);
        EXPECT_GE(w.seconds, s.shortest);
        EXPECT_LE(w.seconds, s.longest);
        EXPECT_GT(w.peak, 0.2);
        EXPECT_LT(w.peak, 0.99);
    }
}

// ---- Tunes ----------------------------------------------------------------------------------

struct TuneInfo {
    bool valid = false;
    double seconds = 0;
    int notes = 0;
    std::uint32_t channels = 0;  // bit per channel with notes
};

std::uint32_t be(const QByteArray& b, qsizetype at, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Reads a format 0 Standard MIDI File far enough to time it.
TuneInfo readTune(const QByteArray& b) {
    TuneInfo t;
    if (b.size() < 22 || !b.startsWith("MThd") || be(b, 4, 4) != 6 || be(b, 8, 2) != 0) return t;
    const double division = be(b, 12, 2);
    if (b.mid(14, 4) != "MTrk" || division <= 0 || (be(b, 12, 2) & 0x8000)) return t;
    const qsizetype end = 22 + be(b, 18, 4);
    if (end > b.size()) return t;
    double microsPerQuarter = 500000, seconds = 0;
    int running = 0;
    for (qsizetype at = 22; at < end;) {
        std::uint32_t delta = 0;
        unsigned char c;
        do {
            c = static_cast<unsigned char>(b[at++]);
            delta = (delta << 7) | (c & 0x7F);
        } while ((c & 0x80) && at < end);
        seconds += delta / division * microsPerQuarter / 1e6;
        int status = static_cast<unsigned char>(b[at]);
        if (status & 0x80)
            ++at;
        else
            status = running;
        if (status == 0xFF) {
            const int type = static_cast<unsigned char>(b[at]);
            const int length = static_cast<unsigned char>(b[at + 1]);
            if (type == 0x51) microsPerQuarter = be(b, at + 2, 3);
            if (type == 0x2F) {
                t.seconds = seconds;
                t.valid = true;
                return t;
            }
            at += 2 + length;
            continue;
        }
        running = status;
        const int kind = status & 0xF0;
        if (kind == 0x90 && b[at + 1] != 0) {
            ++t.notes;
            t.channels |= 1u << (status & 0x0F);
        }
        at += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
    return t;
}

TEST(SkinAssets, TunesAreMidiOfTheLengthTheirScreensNeed) {
    // The quotation shows for 14 s; the credits scroll through two passes and more.
    const struct {
        const char* file;
        double shortest, longest;
    } tunes[] = {{"obu.okx", 15, 25}, {"obupt.okx", 40, 60}};
    for (const auto& s : tunes) {
        SCOPED_TRACE(s.file);
        const QByteArray bytes = readFile(QLatin1String(s.file));
        const TuneInfo t = readTune(bytes);
        ASSERT_TRUE(t.valid);
        EXPECT_GE(t.seconds, s.shortest);
        EXPECT_LE(t.seconds, s.longest);
        EXPECT_GT(t.notes, 50);
        EXPECT_GE(__builtin_popcount(t.channels), 3);  // a tune, not a single line
        EXPECT_LT(bytes.size(), 16 * 1024);
    }
}

}  // namespace
}  // namespace obu
