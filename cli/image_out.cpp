#include "image_out.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <exception>
#include <gif_lib.h>
#include <vector>
#include <webp/encode.h>
#include <webp/mux.h>

#include "cli_common.h"
#include "support/FileOperations.h"
#include "support/errors.h"

namespace vorlin::cli {

namespace {

[[noreturn]] void CannotWrite(const QString& path, const QString& why) {
    throw Error("Cannot write " + Bytes(path) + ": " + Bytes(why));
}

// Writes the bytes to the path in one step: a reader sees the old file or the whole new one.
// Every write is checked (a full disk is an error naming the file), and nothing is left of a
// write that failed.
void WriteWhole(const QString& path, const QByteArray& bytes) {
    ReplaceFileContents(Bytes(path), std::string_view(bytes.constData(), size_t(bytes.size())));
}

using TInputs = std::vector<std::pair<std::string, std::string>>;

// Whether the path may take the picture: not a file it is drawn from, and a folder that takes a
// new file. Asked before any frame is drawn (for a series, before each frame's file), so that a
// long render does not end in an error it could have given at once.
void CheckWritable(const QString& path, const TInputs& inputs) {
    for (const auto& [what, input] : inputs)
        if (SameFile(Bytes(path), input))
            CannotWrite(path, QString::fromStdString(
                                  "it is " + what + " being drawn (--out must name another file)"));
    TFileReplacement probe(Bytes(path));
}

// The time each frame starts at, in the unit given, rounded from the exact times so that the
// rounding never adds up over a long animation.
long long StartOf(int index, double secondsPerFrame, double unitsPerSecond) {
    return std::llround(index * secondsPerFrame * unitsPerSecond);
}

class TPngWriter : public TImageWriter {
public:
    explicit TPngWriter(const TImageOptions& o) : path_(o.Path) { CheckWritable(path_, o.Inputs); }
    void Add(const QImage& picture, int) override { picture_ = picture; }
    void Finish() override { WritePng(path_, picture_); }

private:
    QString path_;
    QImage picture_;
};

// The frames written are removed again unless all are.
class TSeriesWriter : public TImageWriter {
public:
    explicit TSeriesWriter(const TImageOptions& o) : path_(o.Path), inputs_(o.Inputs) {
        CheckWritable(SeriesFramePath(path_, 0), {}); // the folder; the name itself is not written
    }
    ~TSeriesWriter() override {
        if (!finished_)
            for (const QString& file : written_)
                QFile::remove(file);
    }
    void Add(const QImage& picture, int frame) override {
        const QString path = SeriesFramePath(path_, frame);
        CheckWritable(path, inputs_);
        WritePng(path, picture);
        written_.push_back(path);
    }
    void Finish() override { finished_ = true; }

private:
    QString path_;
    TInputs inputs_;
    std::vector<QString> written_;
    bool finished_ = false;
};

// The frames in a grid, left to right and down, each with its number in its lower left.
class TSheetWriter : public TImageWriter {
public:
    TSheetWriter(const TImageOptions& o)
        : path_(o.Path), cols_(o.SheetCols), width_(o.Width), height_(o.Height),
          sheet_(o.Width * o.SheetCols, o.Height * o.SheetRows, QImage::Format_RGBA8888) {
        CheckWritable(path_, o.Inputs);
        if (sheet_.isNull()) throw Error("Not enough memory for the contact sheet");
        sheet_.fill(QColor(40, 40, 40));
    }
    void Add(const QImage& picture, int frame) override {
        const QPoint at((count_ % cols_) * width_, (count_ / cols_) * height_);
        ++count_;
        QPainter painter(&sheet_);
        painter.drawImage(at, picture);
        QFont font = painter.font();
        font.setPixelSize(std::clamp(height_ / 10, 9, 32));
        QPainterPath text;
        const int margin = std::max(2, height_ / 40);
        text.addText(at + QPointF(margin, height_ - margin - QFontMetrics(font).descent()), font,
                     QString::number(frame));
        // Light letters with a dark edge read on any background.
        painter.setRenderHint(QPainter::Antialiasing);
        painter.strokePath(text, QPen(QColor(0, 0, 0, 200), 3));
        painter.fillPath(text, Qt::white);
    }
    void Finish() override { WritePng(path_, sheet_); }

private:
    QString path_;
    int cols_, width_, height_, count_ = 0;
    QImage sheet_;
};

// Animated WebP through libwebp's animation encoder, lossless (outlines and the floor grid keep
// their edges), looping for ever.
class TWebPWriter : public TImageWriter {
public:
    explicit TWebPWriter(const TImageOptions& o) : path_(o.Path), spf_(o.SecondsPerFrame) {
        CheckWritable(path_, o.Inputs);
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config_))
            throw Error("The WebP library does not match the one this program was built with");
        options.anim_params.loop_count = 0;
        config_.lossless = 1;
        config_.quality = 25; // effort: a bigger file, written fast
        config_.method = 1;
        encoder_ = WebPAnimEncoderNew(o.Width, o.Height, &options);
        if (!encoder_) throw Error("Not enough memory for the WebP encoder");
    }
    ~TWebPWriter() override { WebPAnimEncoderDelete(encoder_); }
    void Add(const QImage& picture, int) override {
        WebPPicture frame;
        WebPPictureInit(&frame);
        frame.use_argb = 1;
        frame.width = picture.width();
        frame.height = picture.height();
        const bool ok =
            WebPPictureImportRGBA(&frame, picture.constBits(), int(picture.bytesPerLine())) &&
            WebPAnimEncoderAdd(encoder_, &frame, int(StartOf(count_, spf_, 1000)), &config_);
        WebPPictureFree(&frame);
        if (!ok) CannotWrite(path_, WebPAnimEncoderGetError(encoder_));
        ++count_;
    }
    void Finish() override {
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAdd(encoder_, nullptr, int(StartOf(count_, spf_, 1000)), nullptr) ||
            !WebPAnimEncoderAssemble(encoder_, &data))
            CannotWrite(path_, WebPAnimEncoderGetError(encoder_));
        const QByteArray bytes(reinterpret_cast<const char*>(data.bytes), qsizetype(data.size));
        WebPDataClear(&data);
        WriteWhole(path_, bytes);
    }

private:
    QString path_;
    double spf_;
    WebPConfig config_;
    WebPAnimEncoder* encoder_ = nullptr;
    int count_ = 0;
};

// Animated GIF through giflib: each frame with its own 256 colours, chosen by giflib's
// quantizer; a looping application extension; delays in hundredths of a second. The encoded
// bytes go to the file as they come, so memory does not grow with the frames.
class TGifWriter : public TImageWriter {
public:
    explicit TGifWriter(const TImageOptions& o)
        : path_(o.Path), width_(o.Width), height_(o.Height), spf_(o.SecondsPerFrame),
          file_((CheckWritable(o.Path, o.Inputs), Bytes(o.Path))) {
        int error = 0;
        gif_ = EGifOpen(this, &TGifWriter::Out, &error);
        if (!gif_) CannotWrite(path_, GifErrorString(error));
        static const GifByteType netscape[] = "NETSCAPE2.0";
        static const GifByteType loopForever[] = {1, 0, 0};
        EGifSetGifVersion(gif_, true);
        Check(EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr));
        Check(EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE));
        Check(EGifPutExtensionBlock(gif_, 11, netscape));
        Check(EGifPutExtensionBlock(gif_, 3, loopForever));
        Check(EGifPutExtensionTrailer(gif_));
    }
    ~TGifWriter() override {
        if (gif_) EGifCloseFile(gif_, nullptr);
    }
    void Add(const QImage& picture, int) override {
        const size_t n = size_t(width_) * size_t(height_);
        std::vector<GifByteType> red(n), green(n), blue(n), index(n);
        for (int y = 0; y < height_; ++y) {
            const uchar* row = picture.constScanLine(y);
            for (int x = 0; x < width_; ++x) {
                const size_t i = size_t(y) * size_t(width_) + size_t(x);
                red[i] = row[4 * x];
                green[i] = row[4 * x + 1];
                blue[i] = row[4 * x + 2];
            }
        }
        int colours = 256;
        GifColorType map[256] = {};
        if (GifQuantizeBuffer(unsigned(width_), unsigned(height_), &colours, red.data(),
                              green.data(), blue.data(), index.data(), map) == GIF_ERROR)
            CannotWrite(path_, "the GIF quantizer failed");
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        // Browsers show a delay under 2 hundredths as 10: such frames (60 frames a second and
        // more) show for 2, and the GIF plays slower than the KEY.
        control.DelayTime =
            std::max(2, int(StartOf(count_ + 1, spf_, 100) - StartOf(count_, spf_, 100)));
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        Check(EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(length), extension));
        ColorMapObject* colourMap = GifMakeMapObject(256, map);
        if (!colourMap) throw Error("Not enough memory for the GIF colour map");
        const int put = EGifPutImageDesc(gif_, 0, 0, width_, height_, false, colourMap);
        GifFreeMapObject(colourMap);
        Check(put);
        for (int y = 0; y < height_; ++y)
            Check(EGifPutLine(gif_, index.data() + size_t(y) * size_t(width_), width_));
        ++count_;
    }
    void Finish() override {
        int error = 0;
        const int closed = EGifCloseFile(gif_, &error);
        gif_ = nullptr;
        if (failed_) std::rethrow_exception(failed_);
        if (closed == GIF_ERROR) CannotWrite(path_, GifErrorString(error));
        file_.Commit();
    }

private:
    // giflib is C: a failed write is kept and raised once giflib has returned its error.
    static int Out(GifFileType* gif, const GifByteType* data, int length) {
        auto* self = static_cast<TGifWriter*>(gif->UserData);
        if (self->failed_) return 0;
        try {
            self->file_.Write(
                std::string_view(reinterpret_cast<const char*>(data), size_t(length)));
        } catch (...) {
            self->failed_ = std::current_exception();
            return 0;
        }
        return length;
    }
    void Check(int result) {
        if (failed_) std::rethrow_exception(failed_);
        if (result == GIF_ERROR) CannotWrite(path_, GifErrorString(gif_->Error));
    }
    QString path_;
    int width_, height_;
    double spf_;
    TFileReplacement file_; // removed unless Finish commits it
    std::exception_ptr failed_;
    GifFileType* gif_ = nullptr;
    int count_ = 0;
};

} // namespace

QString SeriesFramePath(const QString& path, int frame) {
    return path.left(path.size() - 4) + QString("_%1.png").arg(frame, 4, 10, QChar('0'));
}

void WritePng(const QString& path, const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter png(&buffer, "PNG");
    if (!png.write(picture)) CannotWrite(path, "the PNG encoder failed: " + png.errorString());
    WriteWhole(path, bytes);
}

std::unique_ptr<TImageWriter> MakeImageWriter(const TImageOptions& o) {
    const QString ext = QFileInfo(o.Path).suffix().toLower();
    if (ext == "webp") return std::make_unique<TWebPWriter>(o);
    if (ext == "gif") return std::make_unique<TGifWriter>(o);
    if (ext != "png")
        throw Error("Cannot write " + Bytes(o.Path) + ": the name must end in .png, .webp or .gif");
    if (o.SheetCols > 0) {
        const long long cells = (long long)o.SheetCols * o.SheetRows;
        if (cells < o.Frames)
            throw Error("The contact sheet holds " + std::to_string(cells) + " frames; there are " +
                        std::to_string(o.Frames) +
                        " to show (choose them with --frames A:B[:STEP], or a larger --sheet)");
        // QImage's own limit on a side, and a gigabyte of pixels.
        const long long w = (long long)o.Width * o.SheetCols, h = (long long)o.Height * o.SheetRows;
        if (w > 32767 || h > 32767 || w * h > (1LL << 28))
            throw Error("The contact sheet would be " + std::to_string(w) + "x" +
                        std::to_string(h) + " pixels; the most is 32767 a side and " +
                        "268435456 in all");
        return std::make_unique<TSheetWriter>(o);
    }
    if (o.Series) return std::make_unique<TSeriesWriter>(o);
    return std::make_unique<TPngWriter>(o);
}

} // namespace vorlin::cli
