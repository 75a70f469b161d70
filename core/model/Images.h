// MAT materials: a flat palette colour or a picture of palette indices (8 bits) or direct
// colours (16 bits, 5-6-5).
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "support/Files.h"

namespace vorlin {

struct TImageInfo {
    uint16_t width = 0;
    uint16_t height = 0;
};

// A picture delivered row by row.
class TImageSource {
public:
    virtual ~TImageSource() = default;
    // Fills buffer with the next row; returns the number of bytes delivered, which is less
    // than a full row when the picture's data ends early.
    virtual int ReadRow(uint8_t* buffer) = 0;
    virtual int BytesPerPixel() const = 0;
    int RowBytes() const { return Info.width * BytesPerPixel(); }
    TImageInfo Info;
};

class TMAT : public TImageSource {
public:
    static constexpr int kHeaderSize = 76;
    static constexpr int kRecordSize = 40;
    static constexpr int kColourRecordSize = 24;
    static constexpr int kTextureHeaderSize = 24;

    // Reads the headers; the file then stands at the first pixel row. Raises "Not a MAT file",
    // and refuses a picture that claims far more pixels than the file holds.
    explicit TMAT(std::unique_ptr<TFile> file);
    int ReadRow(uint8_t* buffer) override;
    int BytesPerPixel() const override { return SixteenBit() ? 2 : 1; }
    bool SixteenBit() const { return !IsColour && BitsPerPixel == 16; }

    std::array<uint8_t, kHeaderSize> Header{};
    std::array<uint8_t, kColourRecordSize> ColourRecord{};
    std::array<uint8_t, kTextureHeaderSize> TextureHeader{};
    bool IsColour = false;
    uint8_t FillIndex = 0;
    uint32_t Type = 0;
    uint32_t RecordCount = 0;
    uint32_t BitsPerPixel = 0;

private:
    std::unique_ptr<TFile> file_;
};

} // namespace vorlin
