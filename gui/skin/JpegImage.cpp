#include "gui/skin/JpegImage.h"

#include <QFile>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace obu {

namespace {

// Far beyond any picture of the skin; a damaged header that claims more is
// refused before memory is set aside for it.
constexpr JDIMENSION kMaxSide = 16384;
constexpr unsigned long long kMaxPixels = 64ull * 1024 * 1024;
constexpr qint64 kMaxFileBytes = 64ll * 1024 * 1024;

// Plain data only: it lives across the jumps back from libjpeg.
struct Decoder {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    std::jmp_buf failed{};
};

// libjpeg calls this on an error and expects it not to return.
[[noreturn]] void failDecoding(j_common_ptr info) {
    std::longjmp(static_cast<Decoder*>(info->client_data)->failed, 1);
}

// A warning means corrupt data or a file that ends early; libjpeg would go on
// and fill the gap with grey, but a damaged picture is better not shown at all.
void onMessage(j_common_ptr info, int level) {
    if (level < 0) failDecoding(info);
}

void discardMessage(j_common_ptr) {}

// The two stages that call into libjpeg each set their own return point for
// its errors. Nothing with a destructor is alive in these frames or in the
// library frames above them, so the jump skips no clean-up.
bool startDecoding(Decoder& d, const unsigned char* data, unsigned long size) {
    if (setjmp(d.failed)) return false;
    jpeg_create_decompress(&d.info);
    jpeg_mem_src(&d.info, data, size);
    jpeg_read_header(&d.info, TRUE);
    const JDIMENSION w = d.info.image_width;
    const JDIMENSION h = d.info.image_height;
    if (w == 0 || h == 0 || w > kMaxSide || h > kMaxSide ||
        static_cast<unsigned long long>(w) * h > kMaxPixels)
        return false;
    switch (d.info.jpeg_color_space) {
        case JCS_GRAYSCALE:
            d.info.out_color_space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            d.info.out_color_space = JCS_CMYK;
            break;
        default:
            d.info.out_color_space = JCS_RGB;
            break;
    }
    jpeg_start_decompress(&d.info);
    return true;
}

bool readRows(Decoder& d, unsigned char* bits, qsizetype bytesPerLine) {
    if (setjmp(d.failed)) return false;
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = bits + static_cast<qsizetype>(d.info.output_scanline) * bytesPerLine;
        if (jpeg_read_scanlines(&d.info, &row, 1) != 1) return false;
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

// CMYK pictures come from Adobe programs, which store the inks inverted.
void cmykToRgb(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const uchar* ink = image.constScanLine(y);
        for (qsizetype x = 0; x < image.width(); ++x) {
            const int c = ink[4 * x], m = ink[4 * x + 1], yellow = ink[4 * x + 2],
                      k = ink[4 * x + 3];
            line[x] = qRgb(c * k / 255, m * k / 255, yellow * k / 255);
        }
    }
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) return {};
    Decoder d;
    d.info.err = jpeg_std_error(&d.errors);
    d.errors.error_exit = failDecoding;
    d.errors.emit_message = onMessage;
    d.errors.output_message = discardMessage;
    d.info.client_data = &d;

    QImage image;
    bool cmyk = false;
    if (startDecoding(d, reinterpret_cast<const unsigned char*>(data.constData()),
                      static_cast<unsigned long>(data.size()))) {
        const int components = d.info.output_components;
        cmyk = d.info.out_color_space == JCS_CMYK;
        const QImage::Format format = components == 1   ? QImage::Format_Grayscale8
                                      : components == 3 ? QImage::Format_RGB888
                                                        : QImage::Format_RGB32;
        if (components == 1 || components == 3 || (cmyk && components == 4)) {
            image = QImage(static_cast<int>(d.info.output_width),
                           static_cast<int>(d.info.output_height), format);
            if (!image.isNull() && !readRows(d, image.bits(), image.bytesPerLine()))
                image = QImage();
        }
    }
    jpeg_destroy_decompress(&d.info);
    if (image.isNull()) return {};
    if (cmyk) cmykToRgb(image);
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage loadJpeg(const QString& path) {
    if (path.isEmpty()) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) return {};
    return decodeJpeg(file.readAll());
}

}  // namespace obu
