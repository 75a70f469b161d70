// The format-driven reader with a format and a line from the input (the format first, up to
// the first line feed), every kind of target, and the word and number routines on the line.
#include <string_view>

#include "fuzz_common.h"
#include "support/misc_utils.h"

using namespace vorlin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Quiet();
    std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t lf = all.find('\n');
    const std::string_view format = all.substr(0, lf);
    const std::string_view line =
        lf == std::string_view::npos ? std::string_view() : all.substr(lf + 1);
    int32_t i1 = 0, i2 = 0;
    uint32_t u = 0;
    uint8_t b = 0;
    char c = 0;
    double d1 = 0, d2 = 0;
    float f = 0;
    std::string s1, s2;
    SScanf(line, format, {&i1, &u, &b, &c, &d1, &f, &s1, &i2, &d2, &s2, &i1, &d1});
    std::string word;
    for (int n = 1; n <= 4; ++n)
        (void)GetNthWord(line, n);
    (void)GetWord(line, 1, word);
    (void)ValInt(line, i1);
    (void)ValHex(line, u);
    (void)ValSingle(line, f);
    (void)ValDouble(line, d1);
    std::string significant;
    (void)SignificantLine(line, significant);
    (void)NormalizeAngle(d1);
    (void)AngleRate(d1, d2, double(i1));
    (void)Round8(d1);
    return 0;
}
