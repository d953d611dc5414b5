#include "output/WiggleWebp.h"

#include <webp/encode.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>

#include "output/WiggleFrames.h"

namespace tsy {

namespace {

struct EncoderDeleter {
    void operator()(WebPAnimEncoder* e) const { WebPAnimEncoderDelete(e); }
};

bool Failed(WebPAnimEncoder* encoder, std::string& error) {
    const char* why = WebPAnimEncoderGetError(encoder);
    error = std::string("the WebP encoder failed") + (why && *why ? ": " : "") + (why ? why : "");
    return false;
}

}  // namespace

bool WriteWiggleWebp(const PictureBuffer& left, const PictureBuffer& right,
                     const StereoSaveSettings& settings, FileReplacer& file, std::string& error) {
    WiggleFrames frames;
    if (!frames.Prepare(left, right, settings, error)) return false;
    if (frames.width() > WEBP_MAX_DIMENSION || frames.height() > WEBP_MAX_DIMENSION) {
        error = "the frames are too large for WebP (at most " + std::to_string(WEBP_MAX_DIMENSION) +
                " pixels a side)";
        return false;
    }
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config)) {
        error = "the WebP library does not match its headers";
        return false;
    }
    options.anim_params.loop_count = 0;  // for ever
    config.quality = float(std::clamp(settings.quality, 0, 100));
    config.thread_level = settings.threads != 1;
    std::unique_ptr<WebPAnimEncoder, EncoderDeleter> encoder(
        WebPAnimEncoderNew(frames.width(), frames.height(), &options));
    if (!encoder) {
        error = "not enough memory for the WebP encoder";
        return false;
    }
    const int frameMs = WiggleFrames::FrameMs(settings);
    for (int i = 0; i < 2; ++i) {
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) return Failed(encoder.get(), error);
        const PictureBuffer& f = frames.frame(i);
        picture.use_argb = 1;
        picture.width = f.width();
        picture.height = f.height();
        const bool added = WebPPictureImportBGRX(&picture, f.bits(), int(f.stride())) &&
                           WebPAnimEncoderAdd(encoder.get(), &picture, i * frameMs, &config);
        WebPPictureFree(&picture);
        if (!added) return Failed(encoder.get(), error);
    }
    WebPData data;
    WebPDataInit(&data);
    if (!WebPAnimEncoderAdd(encoder.get(), nullptr, 2 * frameMs, nullptr) ||
        !WebPAnimEncoderAssemble(encoder.get(), &data))
        return Failed(encoder.get(), error);
    const bool written = file.Write(data.bytes, data.size, error);
    WebPDataClear(&data);
    return written;
}

}  // namespace tsy
