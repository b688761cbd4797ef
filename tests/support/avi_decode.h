// Reads a video file back with FFmpeg for the export tests: the stream's
// properties and every frame as an RGB picture.
#pragma once

#include <QFile>
#include <QImage>
#include <QString>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "raster/dib.h"

namespace avi_decode {

struct TVideo {
    std::string error;  // empty when the file was read to its end
    std::string container;
    std::string codec;
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};
    std::int64_t headerFrames = 0;  // the count the file's header claims
    std::int64_t packets = 0;       // frames found by reading the file
    double duration = 0;            // of the whole file, in seconds
    AVColorSpace colorSpace = AVCOL_SPC_UNSPECIFIED;
    AVColorRange colorRange = AVCOL_RANGE_UNSPECIFIED;
    // Every packet's time stamp and duration, in hundredths of a second.
    std::vector<std::int64_t> pts;
    std::vector<std::int64_t> durations;
    std::vector<QImage> frames;  // Format_RGB888, when decoded
};

// Opens and reads the whole file (FFmpeg's own messages silenced); decodes every frame when
// `decode` is set and keeps the decoded frames (only the last one with keepOnlyLast).
inline TVideo Read(const QString& fileName, bool decode = true, bool keepOnlyLast = false) {
    TVideo v;
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* fc = nullptr;
    const QByteArray path = QFile::encodeName(fileName);
    if (avformat_open_input(&fc, path.constData(), nullptr, nullptr) < 0) {
        v.error = "cannot open";
        return v;
    }
    struct Close {
        AVFormatContext*& fc;
        AVCodecContext* dec = nullptr;
        SwsContext* sws = nullptr;
        AVFrame* frame = av_frame_alloc();
        AVPacket* pkt = av_packet_alloc();
        ~Close() {
            av_packet_free(&pkt);
            av_frame_free(&frame);
            sws_freeContext(sws);
            avcodec_free_context(&dec);
            avformat_close_input(&fc);
        }
    } res{fc};
    if (avformat_find_stream_info(fc, nullptr) < 0 || fc->nb_streams != 1) {
        v.error = "no single stream";
        return v;
    }
    const AVStream* st = fc->streams[0];
    v.container = fc->iformat->name;
    v.codec = avcodec_get_name(st->codecpar->codec_id);
    v.width = st->codecpar->width;
    v.height = st->codecpar->height;
    v.frameRate = st->avg_frame_rate;
    v.headerFrames = st->nb_frames;
    v.duration = fc->duration > 0 ? static_cast<double>(fc->duration) / AV_TIME_BASE : 0;
    v.colorSpace = st->codecpar->color_space;
    v.colorRange = st->codecpar->color_range;

    if (decode) {
        const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
        res.dec = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(res.dec, st->codecpar);
        if (avcodec_open2(res.dec, codec, nullptr) < 0) {
            v.error = "cannot decode";
            return v;
        }
    }
    auto takeFrames = [&]() {
        while (avcodec_receive_frame(res.dec, res.frame) == 0) {
            QImage image(res.frame->width, res.frame->height, QImage::Format_RGB888);
            res.sws = sws_getCachedContext(res.sws, res.frame->width, res.frame->height,
                                           static_cast<AVPixelFormat>(res.frame->format),
                                           res.frame->width, res.frame->height, AV_PIX_FMT_RGB24,
                                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT,
                                           nullptr, nullptr, nullptr);
            std::uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
            int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
            sws_scale(res.sws, res.frame->data, res.frame->linesize, 0, res.frame->height, dst,
                      dstStride);
            if (keepOnlyLast) v.frames.clear();
            v.frames.push_back(image);
            av_frame_unref(res.frame);
        }
    };
    for (;;) {
        const int r = av_read_frame(fc, res.pkt);
        if (r == AVERROR_EOF) break;
        if (r < 0) {
            v.error = "read error";
            return v;
        }
        ++v.packets;
        v.pts.push_back(av_rescale_q(res.pkt->pts, st->time_base, AVRational{1, 100}));
        v.durations.push_back(av_rescale_q(res.pkt->duration, st->time_base, AVRational{1, 100}));
        if (decode) {
            if (avcodec_send_packet(res.dec, res.pkt) < 0) v.error = "decode error";
            takeFrames();
        }
        av_packet_unref(res.pkt);
    }
    if (decode) {
        avcodec_send_packet(res.dec, nullptr);
        takeFrames();
    }
    return v;
}

// The picture as an RGB888 image, for comparing with decoded frames.
inline QImage ToImage(const raster::DibRecord& dib) {
    QImage image(dib.Width(), dib.Height(), QImage::Format_RGB888);
    for (int y = 0; y < dib.Height(); ++y) {
        std::uint8_t* out = image.scanLine(y);
        for (int x = 0; x < dib.Width(); ++x) {
            const std::uint32_t c = raster::PixelColor(dib, x, y);
            out[3 * x] = static_cast<std::uint8_t>(c);
            out[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
            out[3 * x + 2] = static_cast<std::uint8_t>(c >> 16);
        }
    }
    return image;
}

// Peak signal-to-noise ratio over all three channels, in dB (1000 when equal).
inline double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 0;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const std::uint8_t* p = a.constScanLine(y);
        const std::uint8_t* q = b.constScanLine(y);
        for (int x = 0; x < 3 * a.width(); ++x) {
            const double d = static_cast<double>(p[x]) - q[x];
            sum += d * d;
        }
    }
    if (sum == 0) return 1000;
    const double mse = sum / (3.0 * a.width() * a.height());
    return 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace avi_decode
