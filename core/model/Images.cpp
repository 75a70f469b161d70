#include "model/Images.h"

#include <cstring>

namespace vorlin {

namespace {

uint32_t LE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

TMAT::TMAT(std::unique_ptr<TFile> file) : file_(std::move(file)) {
    if (ReadAvailable(*file_, Header.data(), kHeaderSize) != kHeaderSize ||
        std::memcmp(Header.data(), "MAT ", 4) != 0)
        throw Error("Not a MAT file");
    Type = LE32(&Header[8]);
    RecordCount = LE32(&Header[12]);
    BitsPerPixel = LE32(&Header[24]);
    if (Type == 0) {
        IsColour = true;
        ReadBlock(*file_, ColourRecord.data(), kColourRecordSize);
        Info.width = 64;
        Info.height = 64;
        FillIndex = ColourRecord[4];
        return;
    }
    int64_t at = kHeaderSize + int64_t(kRecordSize) * RecordCount;
    if (at > file_->FileSize()) throw CutShortError(file_->GetFullName());
    file_->Seek(at);
    ReadBlock(*file_, TextureHeader.data(), kTextureHeaderSize);
    Info.width = static_cast<uint16_t>(LE32(&TextureHeader[0]));
    Info.height = static_cast<uint16_t>(LE32(&TextureHeader[4]));
    // A picture whose data ends a little early shows black where it is missing; one that
    // claims far more than the file holds is a damaged header, not a picture.
    int64_t claimed = int64_t(RowBytes()) * Info.height;
    int64_t present = file_->FileSize() - file_->FilePos();
    if (claimed > 2 * present + 4096) throw Error("MAT picture is larger than its file");
}

int TMAT::ReadRow(uint8_t* buffer) {
    if (IsColour) {
        std::memset(buffer, FillIndex, Info.width);
        return Info.width;
    }
    return static_cast<int>(ReadAvailable(*file_, buffer, RowBytes()));
}

} // namespace vorlin
