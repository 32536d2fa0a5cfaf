// Writes JPEG files through libjpeg itself, so tests and the fuzz corpus do
// not depend on Qt's JPEG plugin and can make the grayscale, four-colour,
// arithmetic-coded and restart-marked files Qt cannot write.
#pragma once

#include <QByteArray>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

enum class JpegModel { Rgb, Progressive, Arithmetic, Restarts, Gray, AdobeCmyk, AdobeYcck };

inline QByteArray jpegBytes(const QImage& image, JpegModel model, int quality = 92) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    switch (model) {
        case JpegModel::Gray:
            info.input_components = 1;
            info.in_color_space = JCS_GRAYSCALE;
            break;
        case JpegModel::AdobeCmyk:
        case JpegModel::AdobeYcck:
            info.input_components = 4;
            info.in_color_space = JCS_CMYK;
            break;
        default:
            info.input_components = 3;
            info.in_color_space = JCS_RGB;
            break;
    }
    jpeg_set_defaults(&info);
    if (model == JpegModel::AdobeYcck) jpeg_set_colorspace(&info, JCS_YCCK);
    if (model == JpegModel::Progressive) jpeg_simple_progression(&info);
    if (model == JpegModel::Arithmetic) info.arith_code = TRUE;
    if (model == JpegModel::Restarts) info.restart_interval = 1;
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(image.width()) * size_t(info.input_components));
    for (int y = 0; y < image.height(); ++y) {
        JSAMPLE* p = row.data();
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int r = qRed(c), g = qGreen(c), b = qBlue(c);
            if (info.input_components == 1) {
                *p++ = JSAMPLE(qGray(c));
            } else if (info.input_components == 3) {
                *p++ = JSAMPLE(r);
                *p++ = JSAMPLE(g);
                *p++ = JSAMPLE(b);
            } else {
                // Ink amounts stored inverted, as Adobe's programs write them.
                const int most = std::max({r, g, b});
                const int k = 255 - most;
                const auto ink = [&](int v) { return most == 0 ? 0 : 255 * (most - v) / most; };
                *p++ = JSAMPLE(255 - ink(r));
                *p++ = JSAMPLE(255 - ink(g));
                *p++ = JSAMPLE(255 - ink(b));
                *p++ = JSAMPLE(255 - k);
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    jpeg_destroy_compress(&info);
    return bytes;
}
