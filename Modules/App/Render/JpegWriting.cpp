// The JPEG writer of the export. One encoder on one thread takes longer than the whole render of
// a large canvas, so the image is cut into bands of whole MCU rows, each band is encoded on its
// own with a restart interval of one band, and the bands' entropy-coded data are joined with the
// restart markers a single encoder would have put there. The DC predictions start again at
// every restart marker, which is what makes the bands independent; the pixels a decoder gives
// are those of one encoder's output with that restart interval, and restart markers never
// change pixels. The composite over white is done row by row as the rows are fed, so no second
// image is made.

#include "JpegWriting.h"

#include "ParallelRows.h"

#include <QIODevice>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include <jpeglib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lumo::app {

namespace {

// 4:2:0: an MCU covers 16 x 16 pixels.
constexpr int kMcuSize = 16;
// Rows a band: small enough for every thread to get several bands of a photo, large enough that
// the markers and each encoder's start cost nothing.
constexpr int kBandMcuRows = 8;
constexpr int kBandRows = kMcuSize * kBandMcuRows;
// Rows handed to the encoder at once.
constexpr int kFeedRows = kMcuSize;
constexpr int kMaxSide = 65500;

struct ErrorJump {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

// The encoder's output in a growing vector; a failure to grow ends the band through the error
// handler.
struct VectorDestination {
    jpeg_destination_mgr manager;
    std::vector<std::uint8_t>* bytes;
    std::size_t used;
};

bool Grow(VectorDestination& d, std::size_t size)
{
    try {
        d.bytes->resize(size);
    } catch (...) {
        return false;
    }
    d.manager.next_output_byte = d.bytes->data() + d.used;
    d.manager.free_in_buffer = d.bytes->size() - d.used;
    return true;
}

void InitDestination(j_compress_ptr info)
{
    auto& d = *reinterpret_cast<VectorDestination*>(info->dest);
    d.used = 0;
    if (!Grow(d, std::max<std::size_t>(d.bytes->capacity(), 1 << 16)))
        (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
}

boolean EmptyOutputBuffer(j_compress_ptr info)
{
    auto& d = *reinterpret_cast<VectorDestination*>(info->dest);
    d.used = d.bytes->size();
    if (!Grow(d, d.bytes->size() * 2))
        (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    return TRUE;
}

void TermDestination(j_compress_ptr info)
{
    auto& d = *reinterpret_cast<VectorDestination*>(info->dest);
    d.bytes->resize(d.bytes->size() - d.manager.free_in_buffer);
}

struct Density {
    UINT8 unit;
    UINT16 x;
    UINT16 y;
};

// Dots per inch where the resolution is a whole number of them, else dots per centimetre,
// whichever is nearer (as Qt's own JPEG writer chooses).
Density DensityOf(const QImage& image)
{
    const double x = image.dotsPerMeterX();
    const double y = image.dotsPerMeterY();
    const auto off = [](double v) { return std::fabs(v - std::round(v)); };
    const double inchOff = off(x * 0.0254) + off(y * 0.0254);
    const double centimetreOff = (off(x / 100.0) + off(y / 100.0)) * 2.54;
    const auto clamp = [](double v) { return static_cast<UINT16>(std::clamp(std::round(v), 0.0, 65535.0)); };
    if (inchOff < centimetreOff)
        return {1, clamp(x * 0.0254), clamp(y * 0.0254)};
    return {2, clamp(x / 100.0), clamp(y / 100.0)};
}

struct BandJob {
    const QImage* image;
    int quality;
    Density density;
    unsigned int restartInterval;
};

// Encodes rows [top, top + rows) as a JPEG of its own. rowBuffer holds kFeedRows rows. No C++
// object with a destructor lives in this frame: the error handler jumps back into it.
bool EncodeBand(const BandJob& job, int top, int rows, std::uint8_t* rowBuffer, std::vector<std::uint8_t>& out)
{
    const QImage& image = *job.image;
    const int width = image.width();
    jpeg_compress_struct info;
    ErrorJump error;
    VectorDestination destination;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnError;
    error.manager.output_message = Quiet;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    destination.manager.init_destination = InitDestination;
    destination.manager.empty_output_buffer = EmptyOutputBuffer;
    destination.manager.term_destination = TermDestination;
    destination.bytes = &out;
    destination.used = 0;
    info.dest = &destination.manager;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(rows);
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    info.density_unit = job.density.unit;
    info.X_density = job.density.x;
    info.Y_density = job.density.y;
    jpeg_set_quality(&info, job.quality, TRUE);
    info.restart_interval = job.restartInterval;
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    JSAMPROW feed[kFeedRows];
    for (int y = 0; y < rows; y += kFeedRows) {
        const int count = std::min(kFeedRows, rows - y);
        for (int i = 0; i < count; ++i) {
            feed[i] = rowBuffer + i * rowBytes;
            CompositeRowOntoWhite(image.constScanLine(top + y + i), feed[i], width);
        }
        jpeg_write_scanlines(&info, feed, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// In one band's file: where the entropy-coded data begin (just past the start-of-scan segment)
// and where the frame header keeps the image height. False for bytes not laid out as expected.
bool FindScan(const std::vector<std::uint8_t>& bytes, std::size_t& entropy, std::size_t& heightAt)
{
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[bytes.size() - 2] != 0xFF ||
        bytes[bytes.size() - 1] != 0xD9)
        return false;
    heightAt = 0;
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF)
            return false;
        const std::uint8_t marker = bytes[at + 1];
        const std::size_t length = static_cast<std::size_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        if (marker == 0xC0)
            heightAt = at + 5;
        at += 2 + length;
        if (marker == 0xDA) {
            entropy = at;
            return heightAt != 0 && entropy <= bytes.size() - 2;
        }
    }
    return false;
}

bool WriteAll(QIODevice& device, const std::uint8_t* bytes, std::size_t size)
{
    return device.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size)) ==
           static_cast<qint64>(size);
}

} // namespace

void CompositeRowOntoWhite(const std::uint8_t* source, std::uint8_t* target, int count)
{
    // One formula for every alpha: 0 gives 255 and 255 gives the colour itself, exactly. Every term
    // fits 16 bits: a * c + (255 - a) * 255 + 128 <= 65152.
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i all255 = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    // Two pixels widened to 16-bit lanes: each pixel's alpha (its fourth lane) on all four.
    const auto alphas = [](__m128i widened) {
        return _mm_shufflehi_epi16(_mm_shufflelo_epi16(widened, 0xFF), 0xFF);
    };
    const auto mix = [&](__m128i c, __m128i a) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(a, c), _mm_mullo_epi16(_mm_sub_epi16(all255, a), all255));
        v = _mm_add_epi16(v, half);
        return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
    };
    for (; x + 4 <= count; x += 4, source += 16, target += 16) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
        const __m128i lo = _mm_unpacklo_epi8(pixels, zero);
        const __m128i hi = _mm_unpackhi_epi8(pixels, zero);
        const __m128i mixed = _mm_packus_epi16(mix(lo, alphas(lo)), mix(hi, alphas(hi)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target), _mm_or_si128(mixed, alphaMask));
    }
#endif
    for (; x < count; ++x, source += 4, target += 4) {
        const std::uint32_t a = source[3];
        const std::uint32_t white = (255 - a) * 255 + 128;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t v = a * source[c] + white;
            target[c] = static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
        }
        target[3] = 255;
    }
}

bool WriteJpegOntoWhite(const QImage& image, QIODevice& device, int quality)
{
    if (image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide)
        return false;
    QImage converted;
    const QImage* pixels = &image;
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32) {
        converted = image.convertToFormat(QImage::Format_ARGB32);
        if (converted.isNull())
            return false;
        pixels = &converted;
    }
    const int width = pixels->width();
    const int height = pixels->height();
    const int mcusPerRow = (width + kMcuSize - 1) / kMcuSize;
    const BandJob job{pixels, quality < 0 ? 75 : std::min(quality, 100), DensityOf(image),
                      static_cast<unsigned int>(mcusPerRow * kBandMcuRows)};
    const int bandCount = (height + kBandRows - 1) / kBandRows;
    std::vector<std::vector<std::uint8_t>> bands;
    try {
        bands.resize(static_cast<std::size_t>(bandCount));
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::atomic<bool> failed{false};
    ParallelRows(bandCount, static_cast<long long>(width) * height, [&](int begin, int end) {
        try {
            std::vector<std::uint8_t> rows(static_cast<std::size_t>(width) * 4 * kFeedRows);
            for (int band = begin; band < end && !failed.load(std::memory_order_relaxed); ++band) {
                const int top = band * kBandRows;
                if (!EncodeBand(job, top, std::min(kBandRows, height - top), rows.data(),
                                bands[static_cast<std::size_t>(band)]))
                    failed = true;
            }
        } catch (...) {
            failed = true;
        }
    });
    if (failed)
        return false;

    // The first band's headers stand for the whole image, with its height; every band's data
    // follow in order, each closed by the restart marker numbered as its place gives (0-7 in turn)
    // except the last, closed by the end of the image.
    std::vector<std::uint8_t>& first = bands.front();
    std::size_t entropy = 0;
    std::size_t heightAt = 0;
    if (!FindScan(first, entropy, heightAt))
        return false;
    first[heightAt] = static_cast<std::uint8_t>(height >> 8);
    first[heightAt + 1] = static_cast<std::uint8_t>(height);
    if (!WriteAll(device, first.data(), entropy))
        return false;
    for (int band = 0; band < bandCount; ++band) {
        const std::vector<std::uint8_t>& bytes = bands[static_cast<std::size_t>(band)];
        std::size_t start = entropy;
        std::size_t unused = 0;
        if (band > 0 && !FindScan(bytes, start, unused))
            return false;
        if (!WriteAll(device, bytes.data() + start, bytes.size() - 2 - start))
            return false;
        const std::uint8_t marker[2] = {0xFF, static_cast<std::uint8_t>(band + 1 < bandCount ? 0xD0 + (band & 7)
                                                                                             : 0xD9)};
        if (!WriteAll(device, marker, 2))
            return false;
    }
    return true;
}

} // namespace lumo::app
