#include "model/graph_files.h"

#include <string_view>

#include "support/FileOperations.h"

namespace vorlin {

namespace {

TPalette MakeBuiltIn() {
    TPalette p{};
    int i = 0;
    auto put = [&](int r, int g, int b) {
        p[size_t(i++)] = TRGB{uint8_t(r), uint8_t(g), uint8_t(b)};
    };
    auto grey = [&](int v) { put(v, v, v); };
    put(0, 0, 0);
    for (int g : {255, 203, 155, 107, 59})
        put(0, g, 0);
    for (int r : {255, 203, 155, 107, 59})
        put(r, 0, 0);
    put(247, 255, 0), put(215, 163, 0), put(175, 87, 0), put(135, 31, 0), put(95, 0, 0);
    put(255, 255, 255), put(223, 231, 255), put(195, 215, 255), put(163, 195, 255),
        put(135, 175, 255);
    for (int g : {171, 159, 147, 131, 111, 91, 71, 51, 35, 15})
        put(255, g, 0);
    put(0, 0, 255);
    for (int v : {253, 247, 239, 227, 219, 211, 203, 195, 187, 179, 171, 163, 155, 147, 139, 131,
                  123, 115, 107, 99,  87,  79,  71,  63,  55,  47,  39,  31,  23,  15,  7,   0})
        grey(v);
    static const uint8_t rest[] = {
        // 64-95
        191, 199, 223, 183, 191, 215, 179, 183, 207, 171, 179, 203, 163, 171, 195, 159, 163, 187,
        151, 159, 183, 147, 151, 175, 139, 143, 167, 135, 139, 163, 127, 131, 155, 119, 123, 147,
        115, 119, 139, 107, 111, 135, 103, 107, 127, 95, 99, 119, 91, 95, 115, 87, 87, 107, 79, 83,
        99, 75, 75, 95, 67, 71, 87, 63, 63, 79, 55, 59, 75, 51, 51, 67, 47, 47, 59, 39, 43, 55, 35,
        35, 47, 31, 31, 39, 23, 27, 35, 19, 19, 27, 15, 15, 19, 11, 11, 15,
        // 96-103
        255, 207, 179, 231, 175, 143, 207, 143, 111, 183, 119, 87, 159, 91, 63, 135, 71, 43, 111,
        51, 27, 87, 35, 15,
        // 104-111
        255, 255, 0, 227, 195, 0, 199, 143, 0, 171, 99, 0, 147, 63, 0, 119, 31, 0, 91, 11, 0, 67, 0,
        0,
        // 112-119
        223, 255, 167, 207, 239, 135, 191, 223, 103, 179, 207, 75, 167, 191, 51, 159, 175, 31, 151,
        159, 11, 143, 147, 0,
        // 120-127
        199, 99, 31, 183, 87, 23, 171, 75, 19, 155, 63, 11, 143, 55, 7, 127, 47, 7, 115, 39, 0, 103,
        31, 0,
        // 128-135
        251, 0, 0, 227, 0, 0, 199, 0, 0, 171, 0, 0, 143, 0, 0, 115, 0, 0, 87, 0, 0, 57, 0, 0,
        // 136-143
        127, 163, 199, 95, 127, 171, 67, 95, 147, 43, 67, 123, 23, 39, 95, 11, 19, 71, 0, 7, 47, 0,
        0, 23,
        // 144-159
        195, 115, 71, 183, 107, 63, 175, 99, 59, 163, 91, 51, 155, 87, 47, 147, 79, 43, 135, 71, 35,
        127, 67, 31, 115, 59, 27, 107, 55, 23, 99, 47, 19, 87, 43, 15, 79, 39, 15, 67, 31, 11, 59,
        27, 7, 51, 23, 7,
        // 160-175
        255, 231, 179, 239, 211, 155, 223, 195, 135, 211, 179, 119, 195, 163, 99, 183, 147, 83, 167,
        135, 71, 151, 119, 55, 139, 103, 43, 123, 91, 31, 111, 79, 23, 95, 67, 15, 79, 55, 11, 67,
        43, 7, 51, 31, 0, 39, 23, 0,
        // 176-183
        131, 231, 103, 115, 207, 83, 99, 183, 67, 83, 159, 55, 71, 139, 43, 59, 115, 31, 47, 91, 23,
        35, 71, 15,
        // 184-191
        255, 167, 255, 223, 127, 231, 195, 95, 207, 163, 67, 183, 135, 43, 159, 107, 23, 135, 79, 7,
        111, 55, 0, 91};
    for (size_t k = 0; k < sizeof rest; k += 3)
        put(rest[k], rest[k + 1], rest[k + 2]);
    while (i < 255)
        put(255, 0, 255);
    put(255, 255, 255);
    return p;
}

} // namespace

const TPalette& BuiltInPalette() {
    static const TPalette palette = MakeBuiltIn();
    return palette;
}

TPalette& CurrentPalette() {
    static TPalette palette = BuiltInPalette();
    return palette;
}

void CheckColourMap(const std::string& name) {
    std::unique_ptr<TFile> f = OpenFile(name);
    char magic[4] = {};
    const int64_t size = f->FileSize();
    if (ReadAvailable(*f, magic, 4) != 4 || std::string_view(magic, 4) != "CMP ")
        throw Error(name + " is not a colour map (a CMP file begins with \"CMP \")");
    constexpr int64_t kWhole = kCmpLightOffset + 256;
    if (size < kWhole)
        throw Error(name + " is cut short: a colour map holds at least " + std::to_string(kWhole) +
                    " bytes, it has " + std::to_string(size));
}

bool LoadCMPPalette(const std::string& name, TPalette& palette) {
    try {
        std::unique_ptr<TFile> f = OpenFile(name);
        f->Seek(kCmpPaletteOffset);
        uint8_t bytes[768];
        int64_t n = ReadAvailable(*f, bytes, sizeof bytes);
        for (int64_t k = 0; k + 2 < n; k += 3)
            palette[size_t(k / 3)] = TRGB{bytes[k], bytes[k + 1], bytes[k + 2]};
        return true;
    } catch (const Error&) {
        palette = BuiltInPalette();
        return false;
    }
}

bool ApplyCMPLight(const std::string& name, TPalette& palette) {
    uint8_t table[256];
    try {
        std::unique_ptr<TFile> f = OpenFile(name);
        f->Seek(kCmpLightOffset);
        int64_t n = ReadAvailable(*f, table, sizeof table);
        for (int64_t i = n < 0 ? 0 : n; i < 256; ++i)
            table[i] = static_cast<uint8_t>(i);
    } catch (const Error&) {
        return false;
    }
    TPalette old = palette;
    for (int i = 0; i < 256; ++i)
        palette[size_t(i)] = old[table[i]];
    return true;
}

std::vector<uint8_t> ImageToRGB(TImageSource& image, const TPalette& palette) {
    const int w = image.Info.width, h = image.Info.height;
    const bool sixteen = image.BytesPerPixel() == 2;
    std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3, 0);
    std::vector<uint8_t> row(size_t(2 * w + 1));
    for (int y = 0; y < h; ++y) {
        int got = image.ReadRow(row.data());
        int pixels = sixteen ? got / 2 : got;
        if (pixels > w) pixels = w;
        uint8_t* out = rgb.data() + size_t(y) * size_t(w) * 3;
        for (int x = 0; x < pixels; ++x, out += 3) {
            if (sixteen) {
                unsigned p = unsigned(row[size_t(2 * x)]) | unsigned(row[size_t(2 * x + 1)]) << 8;
                out[0] = uint8_t((p >> 8) & 248);
                out[1] = uint8_t((p >> 3) & 252);
                out[2] = uint8_t((p << 3) & 248);
            } else {
                const TRGB& c = palette[row[size_t(x)]];
                out[0] = c.r;
                out[1] = c.g;
                out[2] = c.b;
            }
        }
        if (got < image.RowBytes()) break; // the data has ended: the rest stays black
    }
    return rgb;
}

} // namespace vorlin
