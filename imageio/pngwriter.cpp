// PNG as this encoder writes it:
//
//   89 50 4E 47 0D 0A 1A 0A                       signature
//   IHDR  width, height, depth 8|16, type 2|6     RGB or RGBA with straight alpha, no interlace
//   iCCP  profile name, 0, 0, zlib(ICC profile)   when the image has a colour space
//   pHYs  dots per metre x, y, unit 1             when the image has a resolution
//   tEXt / iTXt                                   one per text entry of the image
//   IDAT ...                                      one zlib stream of the filtered rows
//   IEND
//
// Each filtered row is its filter type (0 None, 1 Sub, 2 Up, 3 Average, 4 Paeth) and the row's
// samples, 16-bit ones big-endian. The rows are cut into bands that are deflated on their own
// as raw deflate: every band but the last ends in a sync flush (an empty stored block that
// leaves the stream on a byte boundary) and the last in the final block, so the bands written
// one after the other form one deflate stream. The zlib header goes in front of the first
// band, the Adler-32 of all filtered rows, combined from the bands' own, after the last. Each
// band is one IDAT chunk.

#include "imageio/pngwriter.h"

#include <QColorSpace>
#include <QIODevice>
#include <QPixelFormat>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace PngWriter {

namespace {

// Each band is deflated by whichever of two coders does better on a sample of it (measured
// with bench/bench_pngwriter.cpp): zlib level 2, whose matches catch the repeats of graphics
// and of smooth synthetic gradients, and Huffman coding alone, which on the noise of
// photographs gives output 10 to 15 % smaller than level 1 in two thirds of the time,
// spending no bits on short chance matches.
constexpr int matchLevel = 2;
constexpr std::size_t sampleBytes = 32 * 1024;   // in 8 pieces spread over the band
// Raw bytes per band (whole rows): large enough that restarting the dictionary costs little
// (against 4 MiB bands, 0.06 % more output at 1 MiB and 0.6 % at 256 KiB on the benchmark
// image), small enough that the threads finish together and the output in flight stays small.
constexpr qint64 bandTarget = 1024 * 1024;
constexpr quint32 maxChunkData = 0x7fffffffu;
constexpr int maxKeyword = 79;

struct Layout {
    quint8 colourType;   // 2 RGB, 6 RGBA
    quint8 bitDepth;     // 8 or 16
    int bytesPerPixel;
    qint64 rowBytes;     // samples of one row, without the filter byte
};

Layout layoutOf(const QImage &image)
{
    Layout layout{2, 8, 3, 0};
    switch (image.format()) {
    case QImage::Format_ARGB32:
        layout = Layout{6, 8, 4, 0};
        break;
    case QImage::Format_RGBX64:
        layout = Layout{2, 16, 6, 0};
        break;
    case QImage::Format_RGBA64:
        layout = Layout{6, 16, 8, 0};
        break;
    default:
        break;
    }
    layout.rowBytes = qint64(image.width()) * layout.bytesPerPixel;
    return layout;
}

// The image in one of the four layouts written as they are; deep formats stay deep.
QImage writable(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBA64:
        return image;
    default:
        break;
    }
    const QPixelFormat pixel = image.pixelFormat();
    const int bitsPerChannel = std::max<int>(pixel.redSize(), pixel.bitsPerPixel() / std::max<int>(1, pixel.channelCount()));
    const bool alpha = image.hasAlphaChannel();
    if (bitsPerChannel > 8)
        return image.convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    return image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// Row y of the image as PNG samples.
void packRow(const QImage &image, const Layout &layout, int y, uchar *out)
{
    const int width = image.width();
    if (layout.bitDepth == 8) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (layout.colourType == 2) {
            for (int x = 0; x < width; ++x, out += 3) {
                out[0] = uchar(in[x] >> 16);
                out[1] = uchar(in[x] >> 8);
                out[2] = uchar(in[x]);
            }
        } else {
            for (int x = 0; x < width; ++x, out += 4) {
                out[0] = uchar(in[x] >> 16);
                out[1] = uchar(in[x] >> 8);
                out[2] = uchar(in[x]);
                out[3] = uchar(in[x] >> 24);
            }
        }
        return;
    }
    // 16-bit layouts hold R, G, B, A halfwords in memory order.
    const quint16 *in = reinterpret_cast<const quint16 *>(image.constScanLine(y));
    const int channels = layout.colourType == 2 ? 3 : 4;
    for (int x = 0; x < width; ++x, in += 4)
        for (int c = 0; c < channels; ++c, out += 2)
            qToBigEndian(in[c], out);
}

// ---- Row filters. Each writes the filtered samples of `cur`, the row above being `up`
// (zeros above the first row). The loops are written so that compilers vectorise them:
// plain byte arithmetic, Paeth in 16 bits.

template <int Bpp>
void filterSub(const uchar *cur, qint64 n, uchar *out)
{
    for (qint64 i = 0; i < std::min<qint64>(Bpp, n); ++i)
        out[i] = cur[i];
    for (qint64 i = Bpp; i < n; ++i)
        out[i] = uchar(cur[i] - cur[i - Bpp]);
}

inline void filterUp(const uchar *cur, const uchar *up, qint64 n, uchar *out)
{
    for (qint64 i = 0; i < n; ++i)
        out[i] = uchar(cur[i] - up[i]);
}

template <int Bpp>
void filterAverage(const uchar *cur, const uchar *up, qint64 n, uchar *out)
{
    for (qint64 i = 0; i < std::min<qint64>(Bpp, n); ++i)
        out[i] = uchar(cur[i] - (up[i] >> 1));
    for (qint64 i = Bpp; i < n; ++i)
        out[i] = uchar(cur[i] - ((quint16(cur[i - Bpp]) + quint16(up[i])) >> 1));
}

template <int Bpp>
void filterPaeth(const uchar *cur, const uchar *up, qint64 n, uchar *out)
{
    // Left of the first pixel is zero: the predictor is the byte above.
    for (qint64 i = 0; i < std::min<qint64>(Bpp, n); ++i)
        out[i] = uchar(cur[i] - up[i]);
    for (qint64 i = Bpp; i < n; ++i) {
        const qint16 a = cur[i - Bpp], b = up[i], c = up[i - Bpp];
        const qint16 p = qint16(b - c), q = qint16(a - c), r = qint16(p + q);
        const qint16 pa = p < 0 ? qint16(-p) : p, pb = q < 0 ? qint16(-q) : q, pc = r < 0 ? qint16(-r) : r;
        const qint16 predicted = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
        out[i] = uchar(cur[i] - predicted);
    }
}

// The sum of the bytes taken as signed values, the usual measure of how well a filtered row
// compresses: the smaller, the better as a rule. Written as distances from 128 of the bytes
// with their top bit flipped, which compilers turn into sum-of-absolute-differences
// instructions; 32-bit sums over blocks that cannot overflow.
quint64 signedMagnitude(const uchar *row, qint64 n)
{
    constexpr qint64 block = qint64(1) << 24;
    quint64 total = 0;
    for (qint64 from = 0; from < n; from += block) {
        const qint64 to = std::min(n, from + block);
        quint32 sum = 0;
        for (qint64 i = from; i < to; ++i)
            sum += quint32(std::abs(int(uchar(row[i] ^ 0x80)) - 128));
        total += sum;
    }
    return total;
}

// Scratch rows of one thread: the packed rows above and at the current one, and a candidate
// row for each filter tried, with its filter type in front.
class RowFilter
{
public:
    explicit RowFilter(qint64 rowBytes)
        : n_(rowBytes), above_(std::size_t(rowBytes)), current_(std::size_t(rowBytes))
    {
        static const uchar types[candidateCount] = {1, 2, 3, 4};
        for (int k = 0; k < candidateCount; ++k) {
            candidates_[k].resize(std::size_t(rowBytes) + 1);
            candidates_[k][0] = types[k];
        }
    }

    uchar *above() { return above_.data(); }
    uchar *current() { return current_.data(); }
    void clearAbove() { std::fill(above_.begin(), above_.end(), uchar(0)); }
    void advance() { std::swap(above_, current_); }

    // The current row through whichever filter gives the smallest signed magnitude; 1 +
    // rowBytes bytes.
    const uchar *filter(int bytesPerPixel)
    {
        switch (bytesPerPixel) {
        case 3:
            return pick<3>();
        case 4:
            return pick<4>();
        case 6:
            return pick<6>();
        default:
            return pick<8>();
        }
    }

private:
    // None is left out: adding it changed no file of the test pictures, and it costs a pass.
    static constexpr int candidateCount = 4;   // Sub, Up, Average, Paeth

    template <int Bpp>
    const uchar *pick()
    {
        const uchar *cur = current_.data(), *up = above_.data();
        uchar *out[candidateCount];
        for (int k = 0; k < candidateCount; ++k)
            out[k] = candidates_[k].data() + 1;
        filterSub<Bpp>(cur, n_, out[0]);
        filterUp(cur, up, n_, out[1]);
        filterAverage<Bpp>(cur, up, n_, out[2]);
        filterPaeth<Bpp>(cur, up, n_, out[3]);
        quint64 sums[candidateCount];
        for (int k = 0; k < candidateCount; ++k)
            sums[k] = signedMagnitude(out[k], n_);
        return candidates_[std::min_element(sums, sums + candidateCount) - sums].data();
    }

    qint64 n_;
    std::vector<uchar> above_, current_;
    std::vector<uchar> candidates_[candidateCount];
};

// ---- Deflating bands.

// One band's compressed bytes with what the writer needs to place them.
struct Band {
    std::vector<uchar> data;
    std::size_t size = 0;
    uLong crc = 0;      // CRC-32 of data[0, size)
    uLong adler = 1;    // Adler-32 of the filtered rows
    qint64 rawSize = 0; // bytes of the filtered rows
    bool ready = false;
};

// A raw deflate stream, reset for every piece of input it compresses.
class Deflater
{
public:
    Deflater(int level, int strategy)
    {
        ok_ = deflateInit2(&stream_, level, Z_DEFLATED, -15, 8, strategy) == Z_OK;
    }
    ~Deflater()
    {
        if (ok_)
            deflateEnd(&stream_);
    }
    Deflater(const Deflater &) = delete;
    Deflater &operator=(const Deflater &) = delete;

    bool ok() const { return ok_; }

    // The compressed form of in[0, n) in out[0, *size), out grown as needed; `flush` ends it.
    bool compress(const uchar *in, std::size_t n, int flush, std::vector<uchar> &out, std::size_t *size)
    {
        deflateReset(&stream_);
        *size = 0;
        const std::size_t bound = std::size_t(deflateBound(&stream_, uLong(std::min<std::size_t>(n, LONG_MAX)))) + 16;
        if (out.size() < bound)
            out.resize(bound);
        // avail_in and avail_out are 32-bit: large input goes in pieces.
        constexpr std::size_t piece = std::size_t(1) << 30;
        do {
            const std::size_t take = std::min(n, piece);
            stream_.next_in = const_cast<Bytef *>(in);
            stream_.avail_in = uInt(take);
            in += take;
            n -= take;
            const int mode = n == 0 ? flush : Z_NO_FLUSH;
            for (;;) {
                if (*size == out.size())
                    out.resize(out.size() + std::max<std::size_t>(out.size() / 2, 1 << 16));
                const std::size_t room = std::min<std::size_t>(out.size() - *size, piece);
                stream_.next_out = out.data() + *size;
                stream_.avail_out = uInt(room);
                const int rc = deflate(&stream_, mode);
                *size += room - stream_.avail_out;
                if (rc == Z_STREAM_ERROR)
                    return false;
                if (stream_.avail_out != 0 && stream_.avail_in == 0)
                    break;
            }
        } while (n > 0);
        return true;
    }

private:
    z_stream stream_ = {};
    bool ok_ = false;
};

// What one thread needs to turn bands of rows into deflate blocks.
class BandCoder
{
public:
    explicit BandCoder(qint64 rowBytes)
        : rows_(rowBytes), matcher_(matchLevel, Z_DEFAULT_STRATEGY), huffman_(1, Z_HUFFMAN_ONLY)
    {
    }

    bool ok() const { return matcher_.ok() && huffman_.ok(); }

    // Rows [first, last) filtered and deflated into `band`; `final` ends the stream.
    bool code(const QImage &image, const Layout &layout, int first, int last, bool final, Band &band)
    {
        filterRows(image, layout, first, last);
        band.rawSize = qint64(filtered_.size());
        band.adler = adler32_z(adler32(0, Z_NULL, 0), filtered_.data(), filtered_.size());
        Deflater *coder = &matcher_;
        if (!choose(&coder))
            return false;
        if (!coder->compress(filtered_.data(), filtered_.size(), final ? Z_FINISH : Z_SYNC_FLUSH, band.data,
                             &band.size))
            return false;
        band.crc = crc32_z(crc32(0, Z_NULL, 0), band.data.data(), band.size);
        return true;
    }

private:
    void filterRows(const QImage &image, const Layout &layout, int first, int last)
    {
        const std::size_t stride = std::size_t(layout.rowBytes) + 1;
        filtered_.resize(std::size_t(last - first) * stride);
        if (first > 0)
            packRow(image, layout, first - 1, rows_.above());
        else
            rows_.clearAbove();
        for (int y = first; y < last; ++y) {
            packRow(image, layout, y, rows_.current());
            std::memcpy(filtered_.data() + std::size_t(y - first) * stride, rows_.filter(layout.bytesPerPixel), stride);
            rows_.advance();
        }
    }

    // The coder that compresses a sample of the band better: pieces from its start to its end,
    // so that a plain strip at the top does not decide for the rest.
    bool choose(Deflater **coder)
    {
        constexpr std::size_t pieces = 8, piece = sampleBytes / pieces;
        const uchar *sample = filtered_.data();
        std::size_t size = filtered_.size();
        if (size > sampleBytes) {
            sample_.resize(sampleBytes);
            for (std::size_t k = 0; k < pieces; ++k)
                std::memcpy(sample_.data() + k * piece, filtered_.data() + (size - piece) * k / (pieces - 1), piece);
            sample = sample_.data();
            size = sampleBytes;
        }
        std::size_t matched = 0, coded = 0;
        if (!matcher_.compress(sample, size, Z_FINISH, scratch_, &matched)
            || !huffman_.compress(sample, size, Z_FINISH, scratch_, &coded))
            return false;
        *coder = coded < matched ? &huffman_ : &matcher_;
        return true;
    }

    RowFilter rows_;
    Deflater matcher_, huffman_;
    std::vector<uchar> filtered_, sample_, scratch_;
};

// ---- Chunks.

class ChunkWriter
{
public:
    ChunkWriter(QIODevice *device, QString *why) : device_(device), why_(why) {}

    bool put(const void *data, qint64 n)
    {
        const char *p = static_cast<const char *>(data);
        while (n > 0) {
            const qint64 done = device_->write(p, n);
            if (done <= 0) {
                const QString reason = device_->errorString();
                *why_ = QStringLiteral("cannot write the image: %1")
                           .arg(reason.isEmpty() ? QStringLiteral("the device took no more data") : reason);
                return false;
            }
            p += done;
            n -= done;
        }
        return true;
    }

    bool chunk(const char type[4], const QByteArray &data)
    {
        const uLong crc = crc32_z(crc32(0, reinterpret_cast<const Bytef *>(type), 4),
                                  reinterpret_cast<const Bytef *>(data.constData()), std::size_t(data.size()));
        return header(type, quint32(data.size())) && put(data.constData(), data.size()) && trailer(crc);
    }

    // An IDAT chunk of prefix + band + suffix, its CRC made from the band's own.
    bool idat(const QByteArray &prefix, const Band &band, const QByteArray &suffix)
    {
        const quint64 total = quint64(prefix.size()) + band.size + quint64(suffix.size());
        if (total > maxChunkData)
            return splitIdat(prefix, band, suffix);
        uLong crc = crc32(0, reinterpret_cast<const Bytef *>("IDAT"), 4);
        crc = crc32(crc, reinterpret_cast<const Bytef *>(prefix.constData()), uInt(prefix.size()));
        crc = crc32_combine(crc, band.crc, z_off_t(band.size));
        crc = crc32(crc, reinterpret_cast<const Bytef *>(suffix.constData()), uInt(suffix.size()));
        return header("IDAT", quint32(total)) && put(prefix.constData(), prefix.size())
            && put(band.data.data(), qint64(band.size)) && put(suffix.constData(), suffix.size()) && trailer(crc);
    }

private:
    bool header(const char type[4], quint32 length)
    {
        uchar bytes[8];
        qToBigEndian(length, bytes);
        std::memcpy(bytes + 4, type, 4);
        return put(bytes, 8);
    }

    bool trailer(uLong crc)
    {
        uchar bytes[4];
        qToBigEndian(quint32(crc), bytes);
        return put(bytes, 4);
    }

    // A band too large for one chunk (a single row of gigabytes): the zlib header, the pieces
    // of the band and the Adler-32 each in chunks of their own.
    bool splitIdat(const QByteArray &prefix, const Band &band, const QByteArray &suffix)
    {
        if (!prefix.isEmpty() && !chunk("IDAT", prefix))
            return false;
        for (std::size_t from = 0; from < band.size; from += maxChunkData) {
            const std::size_t n = std::min<std::size_t>(band.size - from, maxChunkData);
            const uchar *p = band.data.data() + from;
            const uLong crc = crc32_z(crc32(0, reinterpret_cast<const Bytef *>("IDAT"), 4), p, n);
            if (!header("IDAT", quint32(n)) || !put(p, qint64(n)) || !trailer(crc))
                return false;
        }
        return suffix.isEmpty() || chunk("IDAT", suffix);
    }

    QIODevice *device_;
    QString *why_;
};

QByteArray be32(quint32 v)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(v, bytes.data());
    return bytes;
}

// ---- Metadata.

// The text as a PNG keyword: printable Latin-1 without leading, trailing or double spaces, at
// most 79 characters. Characters outside Latin-1 become '?', as the toolkit's own writer does,
// so that a reader of keywords sees the same key whichever of the two wrote the file.
QByteArray keywordOf(const QString &text)
{
    QByteArray out;
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        char c = '?';
        if (ch.isSpace())
            c = ' ';
        else if ((u >= 0x21 && u <= 0x7e) || (u >= 0xa1 && u <= 0xff))
            c = char(u);
        if (c == ' ' && (out.isEmpty() || out.endsWith(' ')))
            continue;
        out.append(c);
    }
    out.truncate(maxKeyword);
    while (out.endsWith(' '))
        out.chop(1);
    return out;
}

// True when the text can go into tEXt as it is: Latin-1 without control characters but line feeds.
bool isPlainLatin1(const QString &text)
{
    for (const QChar ch : text) {
        const ushort u = ch.unicode();
        if (u > 0xff || (u < 0x20 && u != '\n') || (u >= 0x7f && u < 0xa0))
            return false;
    }
    return true;
}

QByteArray textChunk(const QString &key, const QString &value, const QByteArray &keyword, bool *international)
{
    *international = keyword != key.toLatin1() || !isPlainLatin1(key) || !isPlainLatin1(value);
    if (!*international)
        return keyword + '\0' + value.toLatin1();
    // Keyword, no compression, no language, the key itself when the keyword had to change it.
    const QByteArray translated = keyword == key.toLatin1() && isPlainLatin1(key) ? QByteArray() : key.toUtf8();
    return keyword + QByteArray("\0\0\0\0", 4) + translated + '\0' + value.toUtf8();
}

// The description of an ICC profile (tag 'desc', version 2 text or version 4 localised
// Unicode), empty when the profile has none or it cannot be read.
QString iccDescription(const QByteArray &profile)
{
    const uchar *p = reinterpret_cast<const uchar *>(profile.constData());
    const quint32 size = quint32(profile.size());
    auto u32 = [&](quint32 at) { return qFromBigEndian<quint32>(p + at); };
    if (size < 132)
        return QString();
    const quint32 tags = u32(128);
    for (quint32 i = 0; i < tags && 132 + 12 * quint64(i) + 12 <= size; ++i) {
        const quint32 entry = 132 + 12 * i;
        if (u32(entry) != 0x64657363u)   // 'desc'
            continue;
        const quint64 at = u32(entry + 4), length = u32(entry + 8);
        if (length < 12 || at + length > size)
            return QString();
        const quint32 type = u32(quint32(at));
        if (type == 0x64657363u) {   // 'desc': count (with the NUL), then ASCII
            const quint64 count = std::min<quint64>(u32(quint32(at + 8)), length - 12);
            const char *text = reinterpret_cast<const char *>(p + at + 12);
            return QString::fromLatin1(text, int(qstrnlen(text, uint(count))));
        }
        if (type == 0x6d6c7563u && length >= 28) {   // 'mluc': the first record, UTF-16BE
            const quint64 bytes = u32(quint32(at + 20)), offset = u32(quint32(at + 24));
            if (offset + bytes > length)
                return QString();
            QString text;
            for (quint64 k = 0; k + 1 < bytes; k += 2)
                text.append(QChar(qFromBigEndian<quint16>(p + at + offset + k)));
            return text;
        }
        return QString();
    }
    return QString();
}

QByteArray iccpChunk(const QColorSpace &space)
{
    const QByteArray profile = space.iccProfile();
    if (profile.isEmpty())
        return QByteArray();
    const QString description = iccDescription(profile);
    QByteArray name = isPlainLatin1(description) ? keywordOf(description) : QByteArray();
    if (name.isEmpty())
        name = QByteArrayLiteral("ICC Profile");
    uLongf packedSize = compressBound(uLong(profile.size()));
    QByteArray packed(int(packedSize), '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef *>(profile.constData()), uLong(profile.size()), Z_BEST_COMPRESSION)
        != Z_OK)
        return QByteArray();
    packed.truncate(int(packedSize));
    return name + QByteArray("\0\0", 2) + packed;
}

bool writeMetadata(ChunkWriter &out, const QImage &image)
{
    if (image.colorSpace().isValid()) {
        const QByteArray iccp = iccpChunk(image.colorSpace());
        if (!iccp.isEmpty() && !out.chunk("iCCP", iccp))
            return false;
    }
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        const QByteArray phys = be32(quint32(image.dotsPerMeterX())) + be32(quint32(image.dotsPerMeterY())) + '\1';
        if (!out.chunk("pHYs", phys))
            return false;
    }
    for (const QString &key : image.textKeys()) {
        const QByteArray keyword = keywordOf(key);
        if (keyword.isEmpty())
            continue;
        bool international = false;
        const QByteArray data = textChunk(key, image.text(key), keyword, &international);
        if (!out.chunk(international ? "iTXt" : "tEXt", data))
            return false;
    }
    return true;
}

// ---- The encoder: workers deflate bands, the calling thread writes them in order.

class Encoder
{
public:
    Encoder(const QImage &image, int threads, ChunkWriter &out)
        : image_(image), layout_(layoutOf(image)), out_(out)
    {
        const qint64 filtered = layout_.rowBytes + 1;
        rowsPerBand_ = int(std::max<qint64>(1, std::min<qint64>(image.height(), bandTarget / filtered)));
        bands_ = int((qint64(image.height()) + rowsPerBand_ - 1) / rowsPerBand_);
        workers_ = std::max(1, std::min(threads, bands_));
        // Two bands per worker in flight: one being deflated, one waiting for its turn.
        slots_.resize(std::size_t(2 * workers_));
    }

    bool run(QString *why)
    {
        std::vector<std::thread> pool;
        for (int i = 0; i < workers_; ++i)
            pool.emplace_back([this] { work(); });
        const bool written = writeAll(why);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        for (std::thread &t : pool)
            t.join();
        return written;
    }

private:
    // Allocation failures (a row of gigabytes) end the work with a reason, not the program.
    void work()
    {
        try {
            workOnBands();
        } catch (const std::bad_alloc &) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                failed_ = true;
            }
            changed_.notify_all();
        }
    }

    void workOnBands()
    {
        BandCoder coder(layout_.rowBytes);
        for (;;) {
            int index;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return stop_ || next_ >= bands_ || next_ < written_ + int(slots_.size()); });
                if (stop_ || next_ >= bands_)
                    return;
                index = next_++;
            }
            Band &band = slots_[std::size_t(index) % slots_.size()];
            const int first = index * rowsPerBand_;
            const bool ok = coder.ok()
                && coder.code(image_, layout_, first, std::min(image_.height(), first + rowsPerBand_),
                              index == bands_ - 1, band);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (ok)
                    band.ready = true;
                else
                    failed_ = true;
            }
            changed_.notify_all();
            if (!ok)
                return;
        }
    }

    bool writeAll(QString *why)
    {
        // zlib header: deflate with a 32 KiB window, a fast level; the check bits make it a
        // multiple of 31.
        const QByteArray zlibHeader("\x78\x5e", 2);
        uLong adler = adler32(0, Z_NULL, 0);
        for (int index = 0; index < bands_; ++index) {
            Band &band = slots_[std::size_t(index) % slots_.size()];
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return failed_ || band.ready; });
                if (!band.ready) {
                    *why = QStringLiteral("cannot compress the image: out of memory");
                    return false;
                }
            }
            // The combination depends on the length only modulo 65521, which keeps it in range
            // of z_off_t on every platform.
            adler = adler32_combine(adler, band.adler, z_off_t(band.rawSize % 65521));
            const QByteArray trailer = index == bands_ - 1 ? be32(quint32(adler)) : QByteArray();
            if (!out_.idat(index == 0 ? zlibHeader : QByteArray(), band, trailer))
                return false;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                band.ready = false;
                ++written_;
            }
            changed_.notify_all();
        }
        return true;
    }

    const QImage &image_;
    const Layout layout_;
    ChunkWriter &out_;
    int rowsPerBand_ = 1;
    int bands_ = 0;
    int workers_ = 1;
    std::vector<Band> slots_;

    std::mutex mutex_;
    std::condition_variable changed_;
    int next_ = 0;       // next band to deflate
    int written_ = 0;    // bands written to the device
    bool stop_ = false;
    bool failed_ = false;
};

}

bool write(const QImage &source, QIODevice *device, int threads, QString *why)
{
    if (source.isNull() || source.width() < 1 || source.height() < 1) {
        *why = QStringLiteral("cannot write an empty image");
        return false;
    }
    // QImage keeps both sides within int, below PNG's limit of 2^31 - 1.
    if (!device || !device->isWritable()) {
        *why = QStringLiteral("cannot write the image: the device is not open for writing");
        return false;
    }
    const QImage image = writable(source);
    if (image.isNull()) {
        *why = QStringLiteral("cannot convert the image to RGB");
        return false;
    }
    const Layout layout = layoutOf(image);

    ChunkWriter out(device, why);
    QByteArray ihdr = be32(quint32(image.width())) + be32(quint32(image.height()));
    ihdr += char(layout.bitDepth);
    ihdr += char(layout.colourType);
    ihdr += QByteArray("\0\0\0", 3);   // deflate, adaptive filtering, no interlace
    if (!out.put("\x89PNG\r\n\x1a\n", 8) || !out.chunk("IHDR", ihdr) || !writeMetadata(out, image))
        return false;
    Encoder encoder(image, threads, out);
    return encoder.run(why) && out.chunk("IEND", QByteArray());
}

}
