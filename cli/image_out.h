// The pictures render writes, a frame at a time as they are drawn: one PNG, a PNG per frame, a
// contact sheet, an animated WebP or GIF. Nothing is left behind when writing fails: a single
// file is written whole or not at all, and the frames of a series already written are removed.
#pragma once

#include <QImage>
#include <QString>
#include <memory>
#include <string>
#include <vector>

namespace vorlin::cli {

class TImageWriter {
public:
    virtual ~TImageWriter() = default;
    // A frame drawn, in RGBA; frame is its number in the KEY.
    virtual void Add(const QImage& picture, int frame) = 0;
    // Writes what is still to be written; raises "Cannot write FILE: reason".
    virtual void Finish() = 0;
};

struct TImageOptions {
    QString Path; // .png, .webp or .gif
    int Width = 0, Height = 0;
    int Frames = 1;                    // how many Add will be given
    bool Series = false;               // .png: NAME_0007.png per frame
    int SheetCols = 0, SheetRows = 0;  // .png: a contact sheet of this grid
    double SecondsPerFrame = 1.0 / 15; // animated: how long each frame shows
    // The files the pictures are drawn from ("the model", its path), which no picture may
    // replace, under any name.
    std::vector<std::pair<std::string, std::string>> Inputs;
};

// Raises for an extension it cannot write and for a sheet that does not hold the frames.
std::unique_ptr<TImageWriter> MakeImageWriter(const TImageOptions& options);
// The file of one frame of a series: NAME_0007.png for frame 7 of NAME.png.
QString SeriesFramePath(const QString& path, int frame);
// One picture as a PNG file, written whole or not at all.
void WritePng(const QString& path, const QImage& picture);

} // namespace vorlin::cli
