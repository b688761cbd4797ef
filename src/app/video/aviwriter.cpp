#include "app/video/aviwriter.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
}

namespace avivideo {

namespace {

// Motion JPEG quantiser scale: 2 is the finest the encoder allows by default
// and keeps morph pictures visually identical to the rendered ones.
constexpr int kJpegQuality = 2;

struct FormatContextCloser {
    // The output is our own (AVFMT_FLAG_CUSTOM_IO): freed by its owner.
    void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct DictFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

void QuietFfmpeg() {
    // Failures come back to the caller as messages; FFmpeg's own chatter on
    // stderr would only confuse the user of the window or the command line.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

struct AvioFree {
    void operator()(AVIOContext* c) const {
        av_freep(&c->buffer);
        avio_context_free(&c);
    }
};

// FFmpeg's output goes through the replacement's checked writes; the muxer
// seeks back to complete its headers and index.
int AvioWrite(void* opaque, std::uint8_t* data, int size) {
    auto* out = static_cast<core::TReplacement*>(opaque);
    if (out->Write(data, static_cast<std::size_t>(size))) return size;
    return out->ErrorNumber() != 0 ? AVERROR(out->ErrorNumber()) : AVERROR(EIO);
}

std::int64_t AvioSeek(void* opaque, std::int64_t offset, int whence) {
    auto* out = static_cast<core::TReplacement*>(opaque);
    const off_t at = (whence & AVSEEK_SIZE)
                         ? out->Size()
                         : out->Seek(static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    if (at >= 0) return at;
    return out->ErrorNumber() != 0 ? AVERROR(out->ErrorNumber()) : AVERROR(EIO);
}

// Full-range BT.601 as JPEG defines it (JFIF), in 16-bit fixed point: bottom-up
// BGR rows to the three planes of a 4:4:4 frame.
void BgrToJpegYuv(const std::uint8_t* bits, int stride, int width, int height, AVFrame& frame) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
        std::uint8_t* outY = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
        std::uint8_t* outCb = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
        std::uint8_t* outCr = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
        for (int x = 0; x < width; ++x, in += 3) {
            const std::int32_t b = in[0];
            const std::int32_t g = in[1];
            const std::int32_t r = in[2];
            outY[x] = static_cast<std::uint8_t>((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
            outCb[x] = static_cast<std::uint8_t>(
                (-11059 * r - 21709 * g + 32768 * b + (128 << 16) + 32767) >> 16);
            outCr[x] = static_cast<std::uint8_t>(
                (32768 * r - 27439 * g - 5329 * b + (128 << 16) + 32767) >> 16);
        }
    }
}

}  // namespace

QString DescribeAvError(int error) {
    // FFmpeg's errors for system failures are negated errno values.
    if (error < 0 && error > -4096 && AVERROR(-error) == error)
        return QString::fromStdString(core::SystemReason(-error));
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

struct TAviWriter::Impl {
    std::unique_ptr<AVIOContext, AvioFree> io;
    std::unique_ptr<AVFormatContext, FormatContextCloser> format;
    core::TReplacement* out = nullptr;
    std::unique_ptr<AVCodecContext, CodecContextFree> codec;
    std::unique_ptr<AVFrame, FrameFree> frame;
    std::unique_ptr<AVPacket, PacketFree> packet;
    VideoFormat video;
    AVStream* stream = nullptr;
    int frames = 0;
    bool finished = false;
    std::vector<std::uint8_t> scratch;  // 24-bit rows of pictures of other depths

    // Writes every packet the encoder has ready.
    QString Drain() {
        for (;;) {
            const int r = avcodec_receive_packet(codec.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return {};
            if (r < 0)
                return QStringLiteral("the picture could not be compressed (%1)")
                    .arg(DescribeAvError(r));
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int w = av_interleaved_write_frame(format.get(), packet.get());
            if (w < 0) return DescribeAvError(w);
        }
    }
};

TAviWriter::TAviWriter() : impl_(std::make_unique<Impl>()) {}
TAviWriter::~TAviWriter() = default;

int TAviWriter::FramesWritten() const {
    return impl_->frames;
}

QString TAviWriter::Open(core::TReplacement& out, const VideoFormat& format) {
    QuietFfmpeg();
    Impl& d = *impl_;
    if (d.format) return QStringLiteral("the video is already open");
    if (format.width < 1 || format.height < 1 || format.width > raster::kMaxSide ||
        format.height > raster::kMaxSide)
        return QStringLiteral("the picture size %1 x %2 cannot be written as a video")
            .arg(format.width)
            .arg(format.height);
    d.video = format;
    d.video.fps = std::max(1, format.fps);
    d.out = &out;

    AVFormatContext* fc = nullptr;
    int r = avformat_alloc_output_context2(&fc, nullptr, "avi", nullptr);
    if (r < 0 || !fc)
        return QStringLiteral("FFmpeg cannot write AVI files (%1)").arg(DescribeAvError(r));
    d.format.reset(fc);
    d.stream = avformat_new_stream(fc, nullptr);
    if (!d.stream) return DescribeAvError(AVERROR(ENOMEM));
    const AVRational timeBase{1, d.video.fps};
    d.stream->time_base = timeBase;
    d.stream->avg_frame_rate = AVRational{d.video.fps, 1};
    d.packet.reset(av_packet_alloc());
    if (!d.packet) return DescribeAvError(AVERROR(ENOMEM));

    AVDictionary* rawOptions = nullptr;
    if (format.codec == VideoCodec::MotionJpeg) {
        const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        if (!encoder) return QStringLiteral("FFmpeg has no Motion JPEG encoder");
        d.codec.reset(avcodec_alloc_context3(encoder));
        if (!d.codec) return DescribeAvError(AVERROR(ENOMEM));
        AVCodecContext* c = d.codec.get();
        c->width = format.width;
        c->height = format.height;
        c->time_base = timeBase;
        c->framerate = AVRational{d.video.fps, 1};
        c->pix_fmt = AV_PIX_FMT_YUVJ444P;
        c->color_range = AVCOL_RANGE_JPEG;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * kJpegQuality;
        if (fc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        // Slices of a frame are coded in parallel; frames still come out one
        // per picture, in order, with no delay.
        c->thread_type = FF_THREAD_SLICE;
        c->thread_count = 0;
        r = avcodec_open2(c, encoder, nullptr);
        if (r < 0)
            return QStringLiteral("the Motion JPEG encoder cannot start (%1)")
                .arg(DescribeAvError(r));
        r = avcodec_parameters_from_context(d.stream->codecpar, c);
        if (r < 0) return DescribeAvError(r);
        d.frame.reset(av_frame_alloc());
        if (!d.frame) return DescribeAvError(AVERROR(ENOMEM));
        d.frame->format = c->pix_fmt;
        d.frame->width = c->width;
        d.frame->height = c->height;
        d.frame->color_range = AVCOL_RANGE_JPEG;
        r = av_frame_get_buffer(d.frame.get(), 0);
        if (r < 0) return DescribeAvError(r);
    } else {
        AVCodecParameters* p = d.stream->codecpar;
        p->codec_type = AVMEDIA_TYPE_VIDEO;
        p->codec_id = AV_CODEC_ID_RAWVIDEO;
        p->format = AV_PIX_FMT_BGR24;
        p->width = format.width;
        p->height = format.height;
        p->bits_per_coded_sample = 24;
        p->codec_tag = 0;  // BI_RGB
        // Frames go in as the pictures are stored, bottom-up rows padded to
        // 4 bytes, which is what a BI_RGB frame with a positive height is.
        av_dict_set(&rawOptions, "flipped_raw_rgb", "1", 0);
    }
    std::unique_ptr<AVDictionary, DictFree> options(rawOptions);

    constexpr int kIoBuffer = 1 << 16;
    auto* ioBuffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    if (!ioBuffer) return DescribeAvError(AVERROR(ENOMEM));
    AVIOContext* io =
        avio_alloc_context(ioBuffer, kIoBuffer, 1, &out, nullptr, AvioWrite, AvioSeek);
    if (!io) {
        av_free(ioBuffer);
        return DescribeAvError(AVERROR(ENOMEM));
    }
    d.io.reset(io);
    io->seekable = AVIO_SEEKABLE_NORMAL;
    fc->pb = io;
    fc->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* o = options.release();
    r = avformat_write_header(fc, &o);
    options.reset(o);
    if (r < 0) return DescribeAvError(r);
    return {};
}

QString TAviWriter::WriteFrame(const raster::DibRecord& picture) {
    Impl& d = *impl_;
    if (!d.format || d.finished) return QStringLiteral("the video is not open");
    if (!picture.HasPixels()) return QStringLiteral("there is no picture to write");
    if (picture.Width() != d.video.width || picture.Height() != d.video.height)
        return QStringLiteral("a picture of %1 x %2 does not fit a video of %3 x %4")
            .arg(picture.Width())
            .arg(picture.Height())
            .arg(d.video.width)
            .arg(d.video.height);

    const int stride = static_cast<int>(raster::RowBytes(picture.Width(), 24));
    const std::uint8_t* bits = picture.Bits().data();
    if (picture.BitCount() != 24) {
        d.scratch.assign(
            static_cast<std::size_t>(stride) * static_cast<std::size_t>(picture.Height()), 0);
        for (int y = 0; y < picture.Height(); ++y) {
            std::uint8_t* row =
                d.scratch.data() + static_cast<std::size_t>(picture.Height() - 1 - y) * stride;
            for (int x = 0; x < picture.Width(); ++x) {
                const std::uint32_t c = raster::PixelColor(picture, x, y);
                row[3 * x] = static_cast<std::uint8_t>(c >> 16);
                row[3 * x + 1] = static_cast<std::uint8_t>(c >> 8);
                row[3 * x + 2] = static_cast<std::uint8_t>(c);
            }
        }
        bits = d.scratch.data();
    }
    const std::size_t size =
        static_cast<std::size_t>(stride) * static_cast<std::size_t>(picture.Height());

    if (!d.codec) {
        AVPacket* pkt = d.packet.get();
        av_packet_unref(pkt);
        pkt->data = const_cast<std::uint8_t*>(bits);  // read only; the muxer copies what it keeps
        pkt->size = static_cast<int>(size);
        pkt->pts = pkt->dts = d.frames;
        pkt->duration = 1;
        pkt->flags |= AV_PKT_FLAG_KEY;
        pkt->stream_index = d.stream->index;
        av_packet_rescale_ts(pkt, AVRational{1, d.video.fps}, d.stream->time_base);
        const int r = av_write_frame(d.format.get(), pkt);
        pkt->data = nullptr;
        pkt->size = 0;
        if (r < 0) return DescribeAvError(r);
        ++d.frames;
        return {};
    }

    int r = av_frame_make_writable(d.frame.get());
    if (r < 0) return DescribeAvError(r);
    BgrToJpegYuv(bits, stride, picture.Width(), picture.Height(), *d.frame);
    d.frame->pts = d.frames;
    d.frame->quality = d.codec->global_quality;
    r = avcodec_send_frame(d.codec.get(), d.frame.get());
    if (r < 0)
        return QStringLiteral("the picture could not be compressed (%1)").arg(DescribeAvError(r));
    if (QString e = d.Drain(); !e.isEmpty()) return e;
    ++d.frames;
    return {};
}

QString TAviWriter::Finish() {
    Impl& d = *impl_;
    if (!d.format || d.finished) return QStringLiteral("the video is not open");
    d.finished = true;
    if (d.codec) {
        const int r = avcodec_send_frame(d.codec.get(), nullptr);
        if (r < 0 && r != AVERROR_EOF) return DescribeAvError(r);
        if (QString e = d.Drain(); !e.isEmpty()) return e;
    }
    int r = av_write_trailer(d.format.get());
    if (r < 0) return DescribeAvError(r);
    avio_flush(d.io.get());
    if (d.io->error < 0) return DescribeAvError(d.io->error);
    if (d.out->Failed()) return QString::fromStdString(d.out->Error());
    return {};
}

QString WriteAviInto(core::TReplacement& out, int count, int fps, VideoCodec codec,
                     const FrameSource& render, const ProgressSink& progress, bool* cancelled) {
    TAviWriter writer;
    for (int n = 1; n <= count; ++n) {
        const raster::DibRecord& picture = render(n);
        if (!picture.HasPixels()) return QStringLiteral("picture %1 could not be rendered").arg(n);
        if (n == 1) {
            const QString error = writer.Open(out, {picture.Width(), picture.Height(), fps, codec});
            if (!error.isEmpty()) return error;
        }
        if (QString error = writer.WriteFrame(picture); !error.isEmpty()) return error;
        if (progress && !progress(n, count)) {
            if (cancelled) *cancelled = true;
            return QStringLiteral("cancelled");
        }
    }
    return writer.Finish();
}

ExportResult WriteAviSequence(const QString& fileName, int count, int fps, VideoCodec codec,
                              const FrameSource& render, const ProgressSink& progress) {
    using appexport::ExportStatus;
    const QString shownName = QFileInfo(fileName).fileName();
    auto failed = [&](const QString& reason) {
        return ExportResult{
            ExportStatus::Failed,
            QStringLiteral("The video cannot be saved as \"%1\": %2.").arg(shownName, reason)};
    };
    const ExportResult cancelled{
        ExportStatus::Cancelled,
        QStringLiteral("Saving the video was cancelled; no file was written.")};
    if (count < 1) return failed(QStringLiteral("there are no pictures"));
    if (progress && !progress(0, count)) return cancelled;

    try {
        core::TReplacement out(std::filesystem::path(QFile::encodeName(fileName).toStdString()));
        if (out.Failed()) return failed(QString::fromStdString(out.Error()));
        bool wasCancelled = false;
        const QString error = WriteAviInto(out, count, fps, codec, render, progress, &wasCancelled);
        if (wasCancelled) return cancelled;
        // The replacement's own reason (a full disk) is the more useful one.
        if (out.Failed()) return failed(QString::fromStdString(out.Error()));
        if (!error.isEmpty()) return failed(error);
        const core::TSaveResult saved = out.Commit();
        if (!saved.ok) return failed(QString::fromStdString(saved.error));
        return {};
    } catch (const std::bad_alloc&) {
        return failed(QStringLiteral("not enough memory"));
    }
}

}  // namespace avivideo
