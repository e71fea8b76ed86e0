#include "JpegWriter.h"

#include <QSaveFile>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE declared first
#include <cstdlib>

#include <jpeglib.h>

namespace obu::assets {

namespace {

// Plain data only: it lives across the jump back from libjpeg's error exit.
struct Encoder {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    std::jmp_buf failed{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
};

[[noreturn]] void failEncoding(j_common_ptr info) {
    std::longjmp(static_cast<Encoder*>(info->client_data)->failed, 1);
}

// Nothing with a destructor is alive in this frame, so the jump skips no clean-up.
bool encode(Encoder& e, const unsigned char* rgb, qsizetype bytesPerLine, int width, int height,
            int quality) {
    if (setjmp(e.failed)) return false;
    jpeg_create_compress(&e.info);
    jpeg_mem_dest(&e.info, &e.buffer, &e.size);
    e.info.image_width = static_cast<JDIMENSION>(width);
    e.info.image_height = static_cast<JDIMENSION>(height);
    e.info.input_components = 3;
    e.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.info);
    jpeg_set_quality(&e.info, quality, TRUE);
    e.info.optimize_coding = TRUE;
    // No chroma subsampling: coloured captions keep sharp edges.
    for (int c = 0; c < e.info.num_components; ++c) {
        e.info.comp_info[c].h_samp_factor = 1;
        e.info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&e.info, TRUE);
    while (e.info.next_scanline < e.info.image_height) {
        auto row =
            const_cast<JSAMPROW>(rgb + static_cast<qsizetype>(e.info.next_scanline) * bytesPerLine);
        jpeg_write_scanlines(&e.info, &row, 1);
    }
    jpeg_finish_compress(&e.info);
    return true;
}

}  // namespace

bool writeJpeg(const QImage& image, const QString& path, int quality) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return false;
    Encoder e;
    e.info.err = jpeg_std_error(&e.errors);
    e.errors.error_exit = failEncoding;
    e.info.client_data = &e;
    const bool encoded =
        encode(e, rgb.constBits(), rgb.bytesPerLine(), rgb.width(), rgb.height(), quality);
    jpeg_destroy_compress(&e.info);
    bool written = false;
    if (encoded) {
        QSaveFile file(path);
        written = file.open(QIODevice::WriteOnly) &&
                  file.write(reinterpret_cast<const char*>(e.buffer),
                             static_cast<qint64>(e.size)) == static_cast<qint64>(e.size) &&
                  file.commit();
    }
    std::free(e.buffer);
    return written;
}

}  // namespace obu::assets
