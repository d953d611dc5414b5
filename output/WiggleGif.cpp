#include "output/WiggleGif.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <omp.h>

#include <memory>
#include <new>
#include <vector>

#include "base/WorkerPool.h"
#include "output/WiggleFrames.h"
#include "prepare/AreaScale.h"

namespace tsy {

namespace {

using Bytes = std::vector<std::uint8_t>;

// libimagequant spreads its loops over OpenMP threads that spin while they
// wait for one another: on a busy machine (the batch runs a file per core)
// that made the palette half as fast again. It runs on the calling thread
// alone; the setting is that thread's own.
class OneOpenMpThread {
public:
    OneOpenMpThread() { omp_set_num_threads(1); }
    ~OneOpenMpThread() { omp_set_num_threads(before_); }
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

private:
    int before_ = omp_get_max_threads();
};

struct Quantizer {
    liq_attr* attr = liq_attr_create();
    liq_histogram* histogram = attr ? liq_histogram_create(attr) : nullptr;
    liq_image* samples[2] = {nullptr, nullptr};
    liq_image* frames[2] = {nullptr, nullptr};
    liq_result* result = nullptr;
    Quantizer() = default;
    Quantizer(const Quantizer&) = delete;
    Quantizer& operator=(const Quantizer&) = delete;
    ~Quantizer() {
        if (result) liq_result_destroy(result);
        for (liq_image* i : {samples[0], samples[1], frames[0], frames[1]})
            if (i) liq_image_destroy(i);
        if (histogram) liq_histogram_destroy(histogram);
        if (attr) liq_attr_destroy(attr);
    }
};

Bytes RgbaOf(const PictureBuffer& p) {
    Bytes rgba(std::size_t(p.width()) * std::size_t(p.height()) * 4);
    std::uint8_t* d = rgba.data();
    for (int y = 0; y < p.height(); ++y) {
        const std::uint8_t* s = p.row(y);
        for (int x = 0; x < p.width(); ++x, s += 4, d += 4) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = 255;
        }
    }
    return rgba;
}

// Above this many pixels the palette is chosen from the frames at half size:
// a quarter of the work, and the same palette quality on photographs.
constexpr std::size_t kFullSample = 300'000;
// Of 1 (slow) to 10; the library's own is 4. On photographs 6 took a third
// less time for a 4 % larger colour error, 7 made the error a quarter larger.
constexpr int kSpeed = 6;

// One palette for both frames and each frame's indices into it.
bool Quantize(const WiggleFrames& frames, int threads, Bytes (&indices)[2], liq_palette& palette,
              std::string& error) {
    const int w = frames.width(), h = frames.height();
    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    const OneOpenMpThread oneThread;
    Quantizer q;
    Bytes rgba[2], sampled[2];
    bool added = q.histogram && liq_set_speed(q.attr, kSpeed) == LIQ_OK;
    for (int i = 0; i < 2 && added; ++i) {
        rgba[i] = RgbaOf(frames.frame(i));
        q.frames[i] = liq_image_create_rgba(q.attr, rgba[i].data(), w, h, 0);
        liq_image* sample = q.frames[i];
        if (pixels > kFullSample) {
            PictureBuffer half;
            ScalePicture(frames.frame(i), (w + 1) / 2, (h + 1) / 2, half, threads);
            sampled[i] = RgbaOf(half);
            sample = q.samples[i] =
                liq_image_create_rgba(q.attr, sampled[i].data(), half.width(), half.height(), 0);
        }
        added =
            q.frames[i] && sample && liq_histogram_add_image(q.histogram, q.attr, sample) == LIQ_OK;
    }
    if (!added || liq_histogram_quantize(q.histogram, q.attr, &q.result) != LIQ_OK ||
        liq_set_dithering_level(q.result, 0) != LIQ_OK) {
        error = "the colours of the frames could not be reduced to a palette";
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        indices[i].resize(pixels);
        if (liq_write_remapped_image(q.result, q.frames[i], indices[i].data(), pixels) != LIQ_OK) {
            error = "the frames could not be mapped to their palette";
            return false;
        }
    }
    palette = *liq_get_palette(q.result);
    return true;
}

// giflib's writer; an exception must not cross its C frames.
int Append(GifFileType* gif, const GifByteType* data, int size) {
    Bytes& out = *static_cast<Bytes*>(gif->UserData);
    try {
        out.insert(out.end(), data, data + size);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return size;
}

struct ColorMapDeleter {
    void operator()(ColorMapObject* m) const { GifFreeMapObject(m); }
};

bool Encode(const WiggleFrames& frames, Bytes (&indices)[2], const liq_palette& palette,
            int delayCs, Bytes& out) {
    int size = 2;  // GIF palettes come in powers of two
    while (size < int(palette.count))
        size *= 2;
    std::vector<GifColorType> colours(std::size_t(size), GifColorType{0, 0, 0});
    for (unsigned i = 0; i < palette.count; ++i)
        colours[i] = {palette.entries[i].r, palette.entries[i].g, palette.entries[i].b};
    const std::unique_ptr<ColorMapObject, ColorMapDeleter> map(
        GifMakeMapObject(size, colours.data()));
    int status = 0;
    GifFileType* gif = map ? EGifOpen(&out, Append, &status) : nullptr;
    if (!gif) return false;
    EGifSetGifVersion(gif, true);
    const int w = frames.width(), h = frames.height();
    static const char kLoop[] = "NETSCAPE2.0";
    static const std::uint8_t kForEver[3] = {1, 0, 0};
    bool ok = EGifPutScreenDesc(gif, w, h, 8, 0, map.get()) == GIF_OK &&
              EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
              EGifPutExtensionBlock(gif, 11, kLoop) == GIF_OK &&
              EGifPutExtensionBlock(gif, 3, kForEver) == GIF_OK &&
              EGifPutExtensionTrailer(gif) == GIF_OK;
    const GraphicsControlBlock control{DISPOSE_DO_NOT, false, delayCs, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    for (int i = 0; i < 2 && ok; ++i) {
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
        for (int y = 0; y < h && ok; ++y)
            ok = EGifPutLine(gif, indices[i].data() + std::size_t(y) * w, w) == GIF_OK;
    }
    return EGifCloseFile(gif, &status) == GIF_OK && ok;
}

}  // namespace

bool WriteWiggleGif(const PictureBuffer& left, const PictureBuffer& right,
                    const StereoSaveSettings& settings, FileReplacer& file, std::string& error) {
    WiggleFrames frames;
    if (!frames.Prepare(left, right, settings, error)) return false;
    if (frames.width() > 0xFFFF || frames.height() > 0xFFFF) {
        error = "the frames are too large for GIF (at most 65535 pixels a side)";
        return false;
    }
    Bytes out;
    try {
        Bytes indices[2];
        liq_palette palette{};
        const int threads = settings.threads > 0 ? settings.threads : HardwareThreads();
        if (!Quantize(frames, threads, indices, palette, error)) return false;
        const int delayCs = (WiggleFrames::FrameMs(settings) + 5) / 10;
        if (!Encode(frames, indices, palette, delayCs, out)) {
            error = "the GIF encoder failed";
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "not enough memory to encode the animation";
        return false;
    }
    return file.Write(out.data(), out.size(), error);
}

}  // namespace tsy
