#include "video/aviwriter.h"

#include "video/jpegframe.h"
#include "video/yuv420.h"

#include <QFile>
#include <QFileInfo>

#if defined(__GLIBC__)
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdarg>
#include <filesystem>
#include <functional>
#include <mutex>
#include <new>
#include <span>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace avivideo {

namespace {

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
using DictPtr = std::unique_ptr<AVDictionary, DictFree>;

void DropLibraryLog(void*, int, const char*, va_list) {}

void QuietFfmpeg() {
    // Failures come back to the caller as messages; FFmpeg's and the codec
    // libraries' own chatter on stderr would only confuse the user.
    static std::once_flag once;
    std::call_once(once, [] {
        av_log_set_level(AV_LOG_QUIET);
        av_log_set_callback(DropLibraryLog);
    });
}

struct AvioFree {
    void operator()(AVIOContext* c) const {
        av_freep(&c->buffer);
        avio_context_free(&c);
    }
};

// FFmpeg's output goes through the replacement's checked writes; the muxers
// seek back to complete their headers and indexes.
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

// Dithers pictures to a fixed palette (Floyd-Steinberg), with the nearest
// palette entry of each colour cached at 6 bits per channel.
class TDitherer {
public:
    explicit TDitherer(const std::vector<std::uint32_t>& palette) : palette_(palette) {
        nearest_.fill(-1);
    }

    void Dither(const TBgrRows& in, AVFrame& frame) {
        const int w = in.width;
        errors_.assign(2 * 3 * static_cast<std::size_t>(w + 2), 0);
        for (int y = 0; y < in.height; ++y) {
            // Errors are kept in sixteenths; this row's and the next one's.
            int* here = errors_.data() + static_cast<std::size_t>((y & 1) * 3 * (w + 2));
            int* next = errors_.data() + static_cast<std::size_t>(((y + 1) & 1) * 3 * (w + 2));
            std::fill(next, next + 3 * (w + 2), 0);
            const std::uint8_t* p = in.Row(y);
            std::uint8_t* out = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
            for (int x = 0; x < w; ++x, p += 3) {
                int c[3];
                for (int k = 0; k < 3; ++k)
                    c[k] = std::clamp(p[2 - k] + (here[3 * (x + 1) + k] + 8) / 16, 0, 255);
                const int index = Nearest(c[0], c[1], c[2]);
                out[x] = static_cast<std::uint8_t>(index);
                const std::uint32_t q = palette_[static_cast<std::size_t>(index)];
                const int got[3] = {static_cast<int>((q >> 16) & 0xFF),
                                    static_cast<int>((q >> 8) & 0xFF), static_cast<int>(q & 0xFF)};
                for (int k = 0; k < 3; ++k) {
                    // Seven eighths of the error: a little less speckle, which
                    // the GIF encoder pays for, at no visible cost.
                    const int e = (c[k] - got[k]) * 7 / 8;
                    here[3 * (x + 2) + k] += 7 * e;
                    next[3 * x + k] += 3 * e;
                    next[3 * (x + 1) + k] += 5 * e;
                    next[3 * (x + 2) + k] += e;
                }
            }
        }
    }

private:
    int Nearest(int r, int g, int b) {
        const std::size_t key =
            static_cast<std::size_t>(((r >> 2) << 12) | ((g >> 2) << 6) | (b >> 2));
        std::int16_t& cached = nearest_[key];
        if (cached >= 0) return cached;
        // The middle of the cell the colour falls in.
        const int cr = (r & ~3) + 2;
        const int cg = (g & ~3) + 2;
        const int cb = (b & ~3) + 2;
        int best = 0;
        int bestDistance = INT32_MAX;
        for (std::size_t i = 0; i < palette_.size(); ++i) {
            const std::uint32_t q = palette_[i];
            const int dr = cr - static_cast<int>((q >> 16) & 0xFF);
            const int dg = cg - static_cast<int>((q >> 8) & 0xFF);
            const int db = cb - static_cast<int>(q & 0xFF);
            const int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(i);
            }
        }
        cached = static_cast<std::int16_t>(best);
        return best;
    }

    std::vector<std::uint32_t> palette_;
    std::array<std::int16_t, 1 << 18> nearest_;
    std::vector<int> errors_;
};

// One box of colours of the median cut, over a 5-bit-per-channel histogram.
struct TColourBox {
    std::vector<std::uint32_t> bins;  // histogram cells (r << 10 | g << 5 | b)
    std::uint64_t weight = 0;
    int longest = 0;  // channel of the largest extent
    int extent = 0;
};

}  // namespace

constexpr std::uint32_t kCells = 1 << 15;

TColourHistogram::TColourHistogram() : count_(kCells, 0), sum_(kCells, {0, 0, 0}) {}

void TColourHistogram::Add(const raster::DibRecord& picture) {
    for (int y = 0; y < picture.Height(); ++y) {
        for (int x = 0; x < picture.Width(); ++x) {
            const std::uint32_t c = raster::PixelColor(picture, x, y);
            const std::uint32_t r = c & 0xFF;
            const std::uint32_t g = (c >> 8) & 0xFF;
            const std::uint32_t b = (c >> 16) & 0xFF;
            const std::uint32_t cell = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
            ++count_[cell];
            sum_[cell][0] += r;
            sum_[cell][1] += g;
            sum_[cell][2] += b;
        }
    }
}

std::vector<std::uint32_t> TColourHistogram::Palette() const {
    const std::vector<std::uint64_t>& count = count_;
    const std::vector<std::array<std::uint64_t, 3>>& sum = sum_;
    auto channel = [](std::uint32_t cell, int k) { return (cell >> (10 - 5 * k)) & 31; };
    auto measure = [&](TColourBox& box) {
        box.weight = 0;
        box.extent = 0;
        for (int k = 0; k < 3; ++k) {
            std::uint32_t lo = 31;
            std::uint32_t hi = 0;
            for (std::uint32_t cell : box.bins) {
                lo = std::min(lo, channel(cell, k));
                hi = std::max(hi, channel(cell, k));
            }
            if (static_cast<int>(hi - lo) > box.extent || k == 0) {
                box.extent = static_cast<int>(hi - lo);
                box.longest = k;
            }
        }
        for (std::uint32_t cell : box.bins) box.weight += count[cell];
    };
    std::vector<TColourBox> boxes(1);
    for (std::uint32_t cell = 0; cell < kCells; ++cell)
        if (count[cell] != 0) boxes[0].bins.push_back(cell);
    if (boxes[0].bins.empty()) return {0};
    measure(boxes[0]);
    while (boxes.size() < 256) {
        // The heaviest box that can still be split, weighted by its extent.
        std::size_t pick = boxes.size();
        double bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].bins.size() < 2) continue;
            const double score = static_cast<double>(boxes[i].weight) * (boxes[i].extent + 1);
            if (score > bestScore) {
                bestScore = score;
                pick = i;
            }
        }
        if (pick == boxes.size()) break;
        TColourBox& box = boxes[pick];
        const int k = box.longest;
        std::sort(box.bins.begin(), box.bins.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return channel(a, k) < channel(b, k); });
        // Split at the weighted median, keeping at least one cell each side.
        std::uint64_t seen = 0;
        std::size_t at = 1;
        for (; at < box.bins.size() - 1; ++at) {
            seen += count[box.bins[at - 1]];
            if (2 * seen >= box.weight) break;
        }
        TColourBox upper;
        upper.bins.assign(box.bins.begin() + static_cast<std::ptrdiff_t>(at), box.bins.end());
        box.bins.resize(at);
        measure(box);
        measure(upper);
        boxes.push_back(std::move(upper));
    }
    std::vector<std::uint32_t> palette;
    for (const TColourBox& box : boxes) {
        std::array<std::uint64_t, 3> s{0, 0, 0};
        for (std::uint32_t cell : box.bins)
            for (int k = 0; k < 3; ++k)
                s[static_cast<std::size_t>(k)] += sum[cell][static_cast<std::size_t>(k)];
        const std::uint64_t w = std::max<std::uint64_t>(box.weight, 1);
        palette.push_back(static_cast<std::uint32_t>(
            ((s[0] + w / 2) / w) << 16 | ((s[1] + w / 2) / w) << 8 | ((s[2] + w / 2) / w)));
    }
    return palette;
}

std::int64_t GifTick(std::int64_t k, int fps) {
    return (k * 100 + fps / 2) / fps;
}

QString DescribeAvError(int error) {
    // FFmpeg's errors for system failures are negated errno values.
    if (error < 0 && error > -4096 && AVERROR(-error) == error)
        return QString::fromStdString(core::SystemReason(-error));
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

namespace {

// A Motion JPEG frame as libjpeg codes it: the whole picture, or its upper
// and lower halves coded side by side on two threads.
struct TJpegBands {
    std::array<std::vector<std::uint8_t>, 2> bands;
    int count = 1;
};

QString CompressInBands(const TBgrRows& rows, TJpegBands& jpeg) {
    const int blockRows = (rows.height + 7) / 8;
    static const bool twoCores = std::thread::hardware_concurrency() >= 2;
    if (!twoCores || blockRows < 8) {
        jpeg.count = 1;
        return CompressJpeg(rows, jpeg.bands[0]);
    }
    // The upper band ends at a row of blocks; rows are stored bottom-up.
    const int upperRows = (blockRows + 1) / 2 * 8;
    const TBgrRows upper{
        rows.bits + static_cast<std::ptrdiff_t>(rows.height - upperRows) * rows.stride, rows.stride,
        rows.width, upperRows};
    const TBgrRows lower{rows.bits, rows.stride, rows.width, rows.height - upperRows};
    jpeg.count = 2;
    QString lowerError;
    QString upperError;
    try {
        std::jthread second(
            [&] { lowerError = CompressJpeg(lower, jpeg.bands[1], /*restartEveryRow=*/true); });
        upperError = CompressJpeg(upper, jpeg.bands[0], /*restartEveryRow=*/true);
    } catch (const std::system_error&) {
        // No second thread to be had: the whole picture here.
        jpeg.count = 1;
        return CompressJpeg(rows, jpeg.bands[0]);
    }
    return !upperError.isEmpty() ? upperError : lowerError;
}

// Hands frames to the encoder on a thread of its own, so that the caller
// renders and converts the next picture while this one is compressed and
// written: libx264 and libvpx return from a frame only once their own
// threads have room for it, and a Motion JPEG frame is finished here. The
// first failure stops the thread; it is told by the next Post and by Close.
template <class Item>
class TSender {
public:
    using Send = std::function<QString(Item)>;

    explicit TSender(Send send) : send_(std::move(send)), thread_([this] { Run(); }) {}
    ~TSender() { Close(); }
    TSender(const TSender&) = delete;
    TSender& operator=(const TSender&) = delete;

    // Waits until the frame before has been sent, then queues this one: two
    // frames are enough, the one sent and the one filled meanwhile.
    QString Post(Item frame) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return (!waiting_ && !sending_) || !error_.isEmpty(); });
        if (!error_.isEmpty()) return error_;
        waiting_ = frame;
        changed_.notify_all();
        return {};
    }

    // Whether the frame is queued or being sent: not to be filled anew.
    bool Holds(const Item frame) {
        const std::lock_guard lock(mutex_);
        return frame == waiting_ || frame == sending_;
    }

    // Sends what is queued and ends the thread; the first failure, if any.
    QString Close() {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
            changed_.notify_all();
        }
        if (thread_.joinable()) thread_.join();
        return error_;
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return waiting_ || closing_; });
            if (!waiting_ || !error_.isEmpty()) return;
            sending_ = std::exchange(waiting_, nullptr);
            changed_.notify_all();
            lock.unlock();
            QString error = send_(sending_);
            lock.lock();
            sending_ = nullptr;
            error_ = std::move(error);
            changed_.notify_all();
            if (!error_.isEmpty()) return;
        }
    }

    Send send_;
    std::mutex mutex_;
    std::condition_variable changed_;
    Item waiting_ = nullptr;
    Item sending_ = nullptr;
    bool closing_ = false;
    QString error_;
    std::thread thread_;  // last: started once the rest is in place
};

}  // namespace

struct TAviWriter::Impl {
    std::unique_ptr<AVIOContext, AvioFree> io;
    std::unique_ptr<AVFormatContext, FormatContextCloser> format;
    core::TReplacement* out = nullptr;
    std::unique_ptr<AVCodecContext, CodecContextFree> codec;
    // Frames to fill: the encoder's threads keep references to the frames in
    // flight, so there are as many as they hold, plus the one being filled.
    std::vector<std::unique_ptr<AVFrame, FrameFree>> pool;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<TDitherer> ditherer;
    VideoFormat video;
    std::uint8_t background[3] = {0, 0, 0};  // B, G, R
    AVStream* stream = nullptr;
    int frames = 0;
    std::int64_t packets = 0;
    bool finished = false;
    // The muxer's state between its header and its trailer: some muxers (GIF's
    // holds back the last frame) free what they hold only in the trailer.
    bool headerWritten = false;
    bool trailerWritten = false;
    std::vector<std::uint8_t> scratch;  // 24-bit rows of pictures of other depths
    // Motion JPEG: frames as libjpeg codes them, two so that one is written
    // while the next picture is coded, and their re-coding.
    std::array<TJpegBands, 2> jpegs;
    std::size_t nextJpeg = 0;
    TJpegOptimiser optimiser;
    std::vector<std::uint8_t> optimised;
    // Declared last, so that their threads have ended before the encoder and
    // the file they use are freed.
    std::unique_ptr<TSender<AVFrame*>> sender;
    std::unique_ptr<TSender<const TJpegBands*>> jpegSender;

    ~Impl() {
        // A video abandoned before its trailer (cancelled, or a write that
        // failed): the threads end, then the trailer frees what the muxer
        // holds. What it writes goes into the replacement, which is thrown
        // away.
        sender.reset();
        jpegSender.reset();
        if (headerWritten && !trailerWritten) WriteTrailer();
    }

    int WriteTrailer() {
        trailerWritten = true;
        return av_write_trailer(format.get());
    }

    // Writes one frame that needs no encoder as one packet.
    QString WritePacket(const std::uint8_t* data, std::size_t size) {
        AVPacket* pkt = packet.get();
        av_packet_unref(pkt);
        pkt->data = const_cast<std::uint8_t*>(data);  // read only; the muxer copies what it keeps
        pkt->size = static_cast<int>(size);
        pkt->pts = pkt->dts = packets;
        pkt->duration = 1;
        pkt->flags |= AV_PKT_FLAG_KEY;
        pkt->stream_index = stream->index;
        av_packet_rescale_ts(pkt, AVRational{1, video.fps}, stream->time_base);
        const int r = av_write_frame(format.get(), pkt);
        pkt->data = nullptr;
        pkt->size = 0;
        if (r < 0) return DescribeAvError(r);
        ++packets;
        return {};
    }

    // Finishes one Motion JPEG frame and writes it.
    QString SendJpeg(const TJpegBands* frame) {
        const std::vector<std::uint8_t>* bands[] = {&frame->bands[0], &frame->bands[1]};
        const std::span<const std::vector<std::uint8_t>* const> used(
            bands, static_cast<std::size_t>(frame->count));
        if (QString e = optimiser.Optimise(used, optimised); !e.isEmpty()) return e;
        if (optimised.size() > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
            return QStringLiteral("a frame is too large for the video");
        return WritePacket(optimised.data(), optimised.size());
    }

    // Compresses one frame and writes what the encoder has ready.
    QString Send(AVFrame* frame) {
        const int r = avcodec_send_frame(codec.get(), frame);
        if (r < 0)
            return QStringLiteral("the picture could not be compressed (%1)")
                .arg(DescribeAvError(r));
        return Drain();
    }

    // Writes every packet the encoder has ready.
    QString Drain() {
        for (;;) {
            const int r = avcodec_receive_packet(codec.get(), packet.get());
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return {};
            if (r < 0)
                return QStringLiteral("the picture could not be compressed (%1)")
                    .arg(DescribeAvError(r));
            if (video.codec == VideoCodec::Gif) {
                // Frames come out in order, one packet each: the delays are
                // the steps of the running time.
                packet->pts = packet->dts = GifTick(packets, video.fps);
                packet->duration = GifTick(packets + 1, video.fps) - packet->pts;
            } else if (packet->duration == 0) {
                packet->duration = 1;
            }
            ++packets;
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int w = av_interleaved_write_frame(format.get(), packet.get());
            if (w < 0) return DescribeAvError(w);
        }
    }

    QString OpenEncoder(const VideoFormat& format, AVFormatContext* fc);

    // A frame no encoder thread holds, reused rather than allocated (and
    // copied) anew for every picture; null when out of memory.
    AVFrame* WritableFrame() {
        for (const auto& f : pool)
            if (av_frame_is_writable(f.get()) && !(sender && sender->Holds(f.get())))
                return f.get();
        std::unique_ptr<AVFrame, FrameFree> f(av_frame_alloc());
        if (!f) return nullptr;
        f->format = codec->pix_fmt;
        f->width = codec->width;
        f->height = codec->height;
        f->color_range = codec->color_range;
        f->colorspace = codec->colorspace;
        if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
        pool.push_back(std::move(f));
        return pool.back().get();
    }
};

namespace {

const char* ContainerOf(VideoCodec codec) {
    switch (codec) {
        case VideoCodec::H264:
            return "mp4";
        case VideoCodec::Vp9:
            return "webm";
        case VideoCodec::Gif:
            return "gif";
        case VideoCodec::MotionJpeg:
        case VideoCodec::Uncompressed:
            break;
    }
    return "avi";
}

// Describes a stream whose frames are written as they are made here, with
// no FFmpeg encoder.
AVCodecParameters* StreamOfFrames(AVStream& stream, AVCodecID codec, AVPixelFormat pixels,
                                  const VideoFormat& format) {
    AVCodecParameters* p = stream.codecpar;
    p->codec_type = AVMEDIA_TYPE_VIDEO;
    p->codec_id = codec;
    p->format = pixels;
    p->width = format.width;
    p->height = format.height;
    p->bits_per_coded_sample = 24;
    return p;
}

// H.264 and VP9 code whole 2 x 2 chroma blocks.
bool PadsToEven(VideoCodec codec) {
    return codec == VideoCodec::H264 || codec == VideoCodec::Vp9;
}

}  // namespace

QString TAviWriter::Impl::OpenEncoder(const VideoFormat& format, AVFormatContext* fc) {
    // GIF delays are counted in hundredths of a second.
    const AVRational timeBase =
        format.codec == VideoCodec::Gif ? AVRational{1, 100} : AVRational{1, video.fps};
    const AVCodec* encoder = nullptr;
    const char* name = "";
    switch (format.codec) {
        case VideoCodec::H264:
            encoder = avcodec_find_encoder_by_name("libx264");
            name = "H.264 (libx264)";
            break;
        case VideoCodec::Vp9:
            encoder = avcodec_find_encoder_by_name("libvpx-vp9");
            name = "VP9 (libvpx-vp9)";
            break;
        case VideoCodec::Gif:
            encoder = avcodec_find_encoder(AV_CODEC_ID_GIF);
            name = "GIF";
            break;
        case VideoCodec::MotionJpeg:
        case VideoCodec::Uncompressed:
            return QStringLiteral("these frames need no encoder");
    }
    if (!encoder) return QStringLiteral("FFmpeg has no %1 encoder").arg(QLatin1String(name));
    codec.reset(avcodec_alloc_context3(encoder));
    if (!codec) return DescribeAvError(AVERROR(ENOMEM));
    AVCodecContext* c = codec.get();
    const bool pad = PadsToEven(format.codec);
    c->width = format.width + (pad ? format.width % 2 : 0);
    c->height = format.height + (pad ? format.height % 2 : 0);
    c->time_base = timeBase;
    c->framerate = AVRational{video.fps, 1};
    if (fc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* rawOptions = nullptr;
    const int quality =
        format.quality >= 0
            ? format.quality
            : video::QualityRangeOf(format.codec).value_or(video::TQualityRange{}).defaultValue;
    switch (format.codec) {
        case VideoCodec::H264:
            c->pix_fmt = AV_PIX_FMT_YUV420P;
            av_dict_set(&rawOptions, "preset", "medium", 0);
            av_dict_set_int(&rawOptions, "crf", quality, 0);
            break;
        case VideoCodec::Vp9:
            c->pix_fmt = AV_PIX_FMT_YUV420P;
            c->bit_rate = 0;  // constant quality
            av_dict_set_int(&rawOptions, "crf", quality, 0);
            av_dict_set(&rawOptions, "deadline", "good", 0);
            av_dict_set(&rawOptions, "cpu-used", "4", 0);
            av_dict_set(&rawOptions, "row-mt", "1", 0);
            break;
        case VideoCodec::Gif:
            c->pix_fmt = AV_PIX_FMT_PAL8;
            break;
        case VideoCodec::MotionJpeg:
        case VideoCodec::Uncompressed:
            break;
    }
    if (pad) {
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_SMPTE170M;
        c->color_trc = AVCOL_TRC_SMPTE170M;
        // The codec libraries run their own frame threads, one per core.
        c->thread_count = 0;
    }
    DictPtr options(rawOptions);
    AVDictionary* o = options.release();
    int r = avcodec_open2(c, encoder, &o);
    options.reset(o);
    if (r < 0)
        return QStringLiteral("the %1 encoder cannot start (%2)")
            .arg(QLatin1String(name), DescribeAvError(r));
    r = avcodec_parameters_from_context(stream->codecpar, c);
    if (r < 0) return DescribeAvError(r);
    stream->time_base = timeBase;
    if (!WritableFrame()) return DescribeAvError(AVERROR(ENOMEM));
    if (format.codec == VideoCodec::Gif) {
        if (format.palette.empty() || format.palette.size() > 256)
            return QStringLiteral("the GIF has no palette");
        ditherer = std::make_unique<TDitherer>(format.palette);
    }
    sender = std::make_unique<TSender<AVFrame*>>([this](AVFrame* frame) { return Send(frame); });
    return {};
}

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
    d.background[0] = static_cast<std::uint8_t>(format.background >> 16);
    d.background[1] = static_cast<std::uint8_t>(format.background >> 8);
    d.background[2] = static_cast<std::uint8_t>(format.background);
    d.out = &out;

    AVFormatContext* fc = nullptr;
    const char* container = ContainerOf(format.codec);
    int r = avformat_alloc_output_context2(&fc, nullptr, container, nullptr);
    if (r < 0 || !fc)
        return QStringLiteral("FFmpeg cannot write %1 files (%2)")
            .arg(QString::fromLatin1(container).toUpper(), DescribeAvError(r));
    d.format.reset(fc);
    d.stream = avformat_new_stream(fc, nullptr);
    if (!d.stream) return DescribeAvError(AVERROR(ENOMEM));
    d.stream->time_base = AVRational{1, d.video.fps};
    d.stream->avg_frame_rate = AVRational{d.video.fps, 1};
    d.packet.reset(av_packet_alloc());
    if (!d.packet) return DescribeAvError(AVERROR(ENOMEM));

    AVDictionary* rawOptions = nullptr;
    if (format.codec == VideoCodec::MotionJpeg) {
        AVCodecParameters* p =
            StreamOfFrames(*d.stream, AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ444P, format);
        p->color_range = AVCOL_RANGE_JPEG;
        p->color_space = AVCOL_SPC_BT470BG;
        d.jpegSender = std::make_unique<TSender<const TJpegBands*>>(
            [&d](const TJpegBands* jpeg) { return d.SendJpeg(jpeg); });
    } else if (format.codec != VideoCodec::Uncompressed) {
        if (QString e = d.OpenEncoder(d.video, fc); !e.isEmpty()) return e;
    } else {
        AVCodecParameters* p =
            StreamOfFrames(*d.stream, AV_CODEC_ID_RAWVIDEO, AV_PIX_FMT_BGR24, format);
        p->codec_tag = 0;  // BI_RGB
        // Frames go in as the pictures are stored, bottom-up rows padded to
        // 4 bytes, which is what a BI_RGB frame with a positive height is.
        av_dict_set(&rawOptions, "flipped_raw_rgb", "1", 0);
    }
    DictPtr options(rawOptions);

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
    d.headerWritten = true;
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

    const TBgrRows rows{bits, stride, picture.Width(), picture.Height()};
    if (d.video.codec == VideoCodec::MotionJpeg) {
        // Coded here, from the picture itself; re-coded and written on the
        // sender's thread while the next picture is rendered. The other
        // buffer is free: Post waited until its frame was sent.
        TJpegBands& jpeg = d.jpegs[d.nextJpeg];
        d.nextJpeg = 1 - d.nextJpeg;
        if (QString e = CompressInBands(rows, jpeg); !e.isEmpty())
            return QStringLiteral("the picture could not be compressed (%1)").arg(e);
        if (QString e = d.jpegSender->Post(&jpeg); !e.isEmpty()) return e;
        ++d.frames;
        return {};
    }
    if (!d.codec) {
        if (QString e = d.WritePacket(bits, size); !e.isEmpty()) return e;
        ++d.frames;
        return {};
    }

    AVFrame* writable = d.WritableFrame();
    if (!writable) return DescribeAvError(AVERROR(ENOMEM));
    AVFrame& f = *writable;
    switch (d.video.codec) {
        case VideoCodec::H264:
        case VideoCodec::Vp9:
            // On the calling thread only: the encoders' own threads keep
            // every core busy, and a second thread here would only take
            // turns with them.
            BgrToYuv420(rows, d.background, f);
            break;
        case VideoCodec::Gif: {
            d.ditherer->Dither(rows, f);
            auto* palette = reinterpret_cast<std::uint32_t*>(f.data[1]);
            for (std::size_t i = 0; i < 256; ++i)
                palette[i] = 0xFF000000u | (i < d.video.palette.size() ? d.video.palette[i] : 0u);
            break;
        }
        case VideoCodec::MotionJpeg:
        case VideoCodec::Uncompressed:
            break;
    }
    f.pts = d.video.codec == VideoCodec::Gif ? GifTick(d.frames, d.video.fps) : d.frames;
    f.quality = d.codec->global_quality;
    if (QString e = d.sender->Post(&f); !e.isEmpty()) return e;
    ++d.frames;
    return {};
}

QString TAviWriter::Finish() {
    Impl& d = *impl_;
    if (!d.format || d.finished) return QStringLiteral("the video is not open");
    d.finished = true;
    if (d.jpegSender)
        if (QString e = d.jpegSender->Close(); !e.isEmpty()) return e;
    if (d.codec) {
        // Every frame sent, and the thread ended, before the encoder is
        // drained here.
        if (QString e = d.sender->Close(); !e.isEmpty()) return e;
        const int r = avcodec_send_frame(d.codec.get(), nullptr);
        if (r < 0 && r != AVERROR_EOF) return DescribeAvError(r);
        if (QString e = d.Drain(); !e.isEmpty()) return e;
    }
    // The trailer holds the index (and MP4's whole table of contents): a
    // failure there is a failed video, whatever the frames before it.
    int r = d.WriteTrailer();
    if (r < 0) return DescribeAvError(r);
    avio_flush(d.io.get());
    if (d.io->error < 0) return DescribeAvError(d.io->error);
    if (d.out->Failed()) return QString::fromStdString(d.out->Error());
    return {};
}

QString WriteVideoInto(core::TReplacement& out, const TVideoOptions& options,
                       const FrameSource& render, const ProgressSink& progress, bool* cancelled) {
    const int count = options.last - options.first + 1;
    if (count < 1) return QStringLiteral("there are no pictures");
    VideoFormat format;
    format.fps = options.fps;
    format.codec = options.codec;
    format.quality = options.quality;
    format.background = options.background;
    if (options.codec == VideoCodec::Gif) {
        // Players stretch delays below 2 hundredths to 10.
        if (options.fps > 50) return QStringLiteral("a GIF shows at most 50 pictures per second");
        // One palette for the whole sequence: from every picture of a short
        // one, from nine spread over a long one (the in-betweens blend the
        // colours of their neighbours).
        const int samples = count <= 16 ? count : 9;
        TColourHistogram histogram;
        for (int i = 0; i < samples; ++i) {
            const int n =
                options.first +
                (samples == 1
                     ? 0
                     : static_cast<int>(static_cast<std::int64_t>(count - 1) * i / (samples - 1)));
            const raster::DibRecord& picture = render(n);
            if (!picture.HasPixels())
                return QStringLiteral("picture %1 could not be rendered").arg(n);
            histogram.Add(picture);
            if (progress && !progress(0, count)) {
                if (cancelled) *cancelled = true;
                return QStringLiteral("cancelled");
            }
        }
        format.palette = histogram.Palette();
    }
    TAviWriter writer;
    for (int n = options.first; n <= options.last; ++n) {
        const raster::DibRecord& picture = render(n);
        if (!picture.HasPixels()) return QStringLiteral("picture %1 could not be rendered").arg(n);
        if (n == options.first) {
            format.width = picture.Width();
            format.height = picture.Height();
            const QString error = writer.Open(out, format);
            if (!error.isEmpty()) return error;
        }
        if (QString error = writer.WriteFrame(picture); !error.isEmpty()) return error;
        if (progress && !progress(n - options.first + 1, count)) {
            if (cancelled) *cancelled = true;
            return QStringLiteral("cancelled");
        }
    }
    return writer.Finish();
}

ExportResult WriteVideo(const QString& fileName, const TVideoOptions& options,
                        const FrameSource& render, const ProgressSink& progress) {
    using video::ExportStatus;
    const QString shownName = QFileInfo(fileName).fileName();
    auto failed = [&](const QString& reason) {
        return ExportResult{
            ExportStatus::Failed,
            QStringLiteral("The video cannot be saved as \"%1\": %2.").arg(shownName, reason)};
    };
    const ExportResult cancelled{
        ExportStatus::Cancelled,
        QStringLiteral("Saving the video was cancelled; no file was written.")};
    const int count = options.last - options.first + 1;
    if (count < 1 || options.first < 1) return failed(QStringLiteral("there are no pictures"));
    if (progress && !progress(0, count)) return cancelled;

    try {
        core::TReplacement out(std::filesystem::path(QFile::encodeName(fileName).toStdString()),
                               options.stop);
        auto stopped = [&] { return options.stop != nullptr && options.stop->load() != 0; };
        if (stopped()) return cancelled;
        if (out.Failed()) return failed(QString::fromStdString(out.Error()));
        bool wasCancelled = false;
        const QString error = WriteVideoInto(out, options, render, progress, &wasCancelled);
        if (wasCancelled || stopped()) return cancelled;
        // The replacement's own reason (a full disk) is the more useful one.
        if (out.Failed()) return failed(QString::fromStdString(out.Error()));
        if (!error.isEmpty()) return failed(error);
        const core::TSaveResult saved = out.Commit();
        if (!saved.ok) return stopped() ? cancelled : failed(QString::fromStdString(saved.error));
        return {};
    } catch (const std::bad_alloc&) {
        return failed(QStringLiteral("not enough memory"));
    }
}

}  // namespace avivideo
