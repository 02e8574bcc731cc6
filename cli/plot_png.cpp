// Charts as PNG files, written without libpng.

#include <QImage>
#include <array>

#include "cli/plot_chart.h"

namespace {

quint32 crc32(const QByteArray &bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

void appendBigEndian(QByteArray &to, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        to.append(char(v >> shift));
}

} // namespace

// The PNG of an RGB32 image: rows unfiltered and deflated at zlib's fastest
// level. A chart is mostly flat colour, which that compresses well; libpng's
// adaptive row filters (what QImage::save uses) took three times as long for
// a file a third smaller.
QByteArray plotPng(QImage &image)
{
    // The rows as PNG wants them (a filter byte, then red, green and blue)
    // are written over the image's own pixels: each lands at or before the
    // place it was read from.
    const int w = image.width(), h = image.height();
    uchar *const bits = image.bits();
    uchar *out = bits;
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(bits + qsizetype(y) * image.bytesPerLine());
        for (int x = 0; x < w; ++x) {
            const QRgb pixel = line[x];
            if (x == 0)
                *out++ = 0; // filter: none
            *out++ = uchar(qRed(pixel));
            *out++ = uchar(qGreen(pixel));
            *out++ = uchar(qBlue(pixel));
        }
    }
    const QByteArray raw = QByteArray::fromRawData(reinterpret_cast<const char *>(bits), int(out - bits));
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&png](const char *type, const QByteArray &data) {
        const QByteArray typed = QByteArray(type, 4) + data;
        appendBigEndian(png, quint32(data.size()));
        png += typed;
        appendBigEndian(png, crc32(typed));
    };
    QByteArray header;
    appendBigEndian(header, quint32(w));
    appendBigEndian(header, quint32(h));
    header.append("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    chunk("IHDR", header);
    chunk("IDAT", qCompress(raw, 1).mid(4)); // a zlib stream after Qt's 4-byte length
    chunk("IEND", QByteArray());
    return png;
}
