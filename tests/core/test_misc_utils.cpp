#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>

#include <cstdio>

#include "fixtures/fixtures.h"
#include "support/misc_utils.h"

using namespace vorlin;

TEST(Words, PositionsAreOneBased) {
    EXPECT_EQ(FindBlank("ab cd", 1), 3);
    EXPECT_EQ(FindBlank("abcd", 1), 5);
    EXPECT_EQ(SkipBlanks(" \tab", 1), 3);
    EXPECT_EQ(SkipBlanks("   ", 1), 4);
    // Only space and tab are blanks.
    EXPECT_EQ(FindBlank("a\rb c", 1), 4);
}

TEST(Words, GetNthWordUpperCases) {
    EXPECT_EQ(GetNthWord("  mesh name\tfoo ", 1), "MESH");
    EXPECT_EQ(GetNthWord("  mesh name\tfoo ", 3), "FOO");
    EXPECT_EQ(GetNthWord("one two", 3), "");
}

TEST(Words, GetWordAndGetWordP) {
    std::string w;
    EXPECT_EQ(GetWord("", 1, w), 1);
    EXPECT_EQ(w, "");
    EXPECT_EQ(GetWord("  FPS 30", 1, w), 6);
    EXPECT_EQ(w, "FPS");
    EXPECT_EQ(GetWord("  FPS 30", 6, w), 9);
    EXPECT_EQ(w, "30");

    const char* text = "  abc def";
    const char* p = GetWordP(text, w);
    EXPECT_EQ(w, "abc");
    EXPECT_EQ(p, text + 5);
    p = GetWordP(p, w);
    EXPECT_EQ(w, "def");
    const char* end = GetWordP(p, w);
    EXPECT_EQ(w, "");
    EXPECT_EQ(end, p);
}

TEST(Converters, IntegerSyntaxAndFailureValues) {
    int32_t v = 99;
    EXPECT_TRUE(ValInt("", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(ValInt("  -42", v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(ValInt("+7", v));
    EXPECT_EQ(v, 7);
    EXPECT_TRUE(ValInt("$ff", v));
    EXPECT_EQ(v, 255);
    EXPECT_TRUE(ValInt("$FFFFFFFF", v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(ValInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_TRUE(ValInt("2147483647", v));
    EXPECT_EQ(v, INT32_MAX);
    // Failures keep what was accumulated before the failing character.
    EXPECT_FALSE(ValInt("15.5", v));
    EXPECT_EQ(v, 15);
    EXPECT_FALSE(ValInt("2147483648", v));
    EXPECT_EQ(v, 214748364);
    EXPECT_FALSE(ValInt("$123456789", v));
    EXPECT_EQ(v, 0x12345678);
    EXPECT_FALSE(ValInt("-", v));
    EXPECT_FALSE(ValInt("0x10", v));
    EXPECT_EQ(v, 0);

    IntSyntaxResult r = ReadIntSyntax("12a");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errorPos, 3);
    EXPECT_EQ(r.value, 12);
}

TEST(Converters, HexPrefixRuleNeedsMoreThanTwoCharacters) {
    uint32_t v = 1;
    EXPECT_TRUE(ValHex("0x1F", v));
    EXPECT_EQ(v, 31u);
    EXPECT_TRUE(ValHex("1F", v));
    EXPECT_EQ(v, 31u);
    EXPECT_TRUE(ValHex("0XFFFF", v));
    EXPECT_EQ(v, 0xFFFFu);
    EXPECT_TRUE(ValHex("", v));
    EXPECT_EQ(v, 0u);
    EXPECT_FALSE(ValHex("x1", v));
    EXPECT_FALSE(ValHex("0x", v));
    EXPECT_TRUE(ValHex("FFFFFFFF", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
}

TEST(Converters, FloatSyntax) {
    double d = 7;
    EXPECT_TRUE(ValDouble("", d));
    EXPECT_EQ(d, 0.0);
    EXPECT_TRUE(ValDouble(".5", d));
    EXPECT_EQ(d, 0.5);
    EXPECT_TRUE(ValDouble("5.", d));
    EXPECT_EQ(d, 5.0);
    EXPECT_TRUE(ValDouble("  -1.25e+2", d));
    EXPECT_EQ(d, -125.0);
    EXPECT_TRUE(ValDouble("+3E-1", d));
    EXPECT_EQ(d, 0.3);
    for (const char* bad : {".", "1e", "1e+", "abc", "1.5x", "--1", "inf", "nan", "0x10", "1 "}) {
        EXPECT_FALSE(ValDouble(bad, d)) << bad;
    }
    float f = 0;
    EXPECT_TRUE(ValSingle("0.1", f));
    EXPECT_EQ(f, 0.1f);
}

TEST(Converters, IgnoreTheProcessLocale) {
    // A user with a decimal comma still reads "1.5" as one and a half.
    test::CommaLocale comma;
    ASSERT_TRUE(comma.ok()) << "de_DE.UTF-8 is missing: run scripts/setup.sh";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    ASSERT_STREQ(buf, "1,5"); // the locale really is in force
    double d = 0;
    EXPECT_TRUE(ValDouble("1.5", d));
    EXPECT_EQ(d, 1.5);
    EXPECT_FALSE(ValDouble("1,5", d));
    EXPECT_EQ(Round8(0.123456789), 0.12345679);
}

TEST(SScanf, LiteralSearchIsCaseSensitive) {
    int32_t n = -1;
    EXPECT_TRUE(SScanf("NODES 12", "NODES %d", {&n}));
    EXPECT_EQ(n, 12);
    n = -1;
    EXPECT_TRUE(SScanf("nodes 12", "NODES %d", {&n}));
    EXPECT_EQ(n, -1);
    // The literal may stand anywhere; words before it do not matter.
    std::string name;
    EXPECT_TRUE(SScanf("  node 3   MESH NAME   torso  extra", "MESH NAME %s", {&name}));
    EXPECT_EQ(name, "torso");
}

TEST(SScanf, InputRunningOutLeavesLaterTargets) {
    int32_t a = 0, b = 0, c = 55;
    EXPECT_TRUE(SScanf("3 4", "%d %d %d", {&a, &b, &c}));
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(c, 55);
}

TEST(SScanf, KeyEntryLine) {
    std::string num;
    int32_t frame = 0, flags = 0;
    double v[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(SScanf("0: 10 0X000F 1.5 0 0 0 0 0 0", "%s %d %x %f %f %f %f %f %f",
                       {&num, &frame, &flags, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]}));
    EXPECT_EQ(num, "0:");
    EXPECT_EQ(frame, 10);
    EXPECT_EQ(flags, 15);
    EXPECT_EQ(v[0], 1.5);
    EXPECT_EQ(v[4], 0.0);
    EXPECT_EQ(v[5], 0.0);
}

TEST(SScanf, FailedConversionWritesAccumulatedValue) {
    int32_t a = 1, b = 1;
    EXPECT_FALSE(SScanf("7 abc", "%d %d", {&a, &b}));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 0);
    // An unknown letter stores nothing and fails, later items are still read.
    int32_t x = 5, y = 0;
    EXPECT_FALSE(SScanf("1 2", "%q %d", {&x, &y}));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 2);
}

TEST(SScanf, OtherLetters) {
    uint32_t u = 0;
    uint8_t byte = 0;
    char ch = 0;
    float single = 0;
    int32_t hex = 0;
    EXPECT_TRUE(
        SScanf("4294967295 258 xyz 0.25 1f", "%u %b %c %l %x", {&u, &byte, &ch, &single, &hex}));
    EXPECT_EQ(u, 4294967295u);
    EXPECT_EQ(byte, 2);
    EXPECT_EQ(ch, 'x');
    EXPECT_EQ(single, 0.25f);
    EXPECT_EQ(hex, 31);
    EXPECT_FALSE(SScanf("-1", "%u", {&u}));
    int32_t d = 0;
    EXPECT_TRUE(SScanf("$10 -3", "%d", {&d}));
    EXPECT_EQ(d, 16);
}

TEST(SScanf, WordsLongerThanTheBufferAreCutAndFail) {
    std::string word;
    std::string longWord(120, 'A');
    EXPECT_FALSE(SScanf(longWord + " next", "%s", {&word}));
    EXPECT_EQ(word, std::string(98, 'A'));
    std::string exact(98, 'B');
    EXPECT_TRUE(SScanf(exact, "%s", {&word}));
    EXPECT_EQ(word, exact);
    int32_t n = -1;
    EXPECT_FALSE(SScanf(std::string(99, '1'), "%d", {&n}));
}

TEST(Angles, NormalizeAngleOneStep) {
    EXPECT_EQ(NormalizeAngle(360), 0);
    EXPECT_EQ(NormalizeAngle(-90), 270);
    EXPECT_EQ(NormalizeAngle(720), 360);
    EXPECT_EQ(NormalizeAngle(725), 365);
    EXPECT_EQ(NormalizeAngle(0), 0);
    EXPECT_EQ(NormalizeAngle(359.5), 359.5);
}

TEST(Angles, AngleRateTakesTheShortWay) {
    EXPECT_EQ(AngleRate(10, 350, 10), -2);
    EXPECT_EQ(AngleRate(10, 10, 190), 18);
    EXPECT_EQ(AngleRate(0, 10, 190), 0);
    EXPECT_EQ(AngleRate(10, 180, 0), -18);
    EXPECT_EQ(AngleRate(10, 0, 180), 18);
    EXPECT_EQ(AngleRate(10, 5, 5), 0);
    EXPECT_EQ(AngleRate(4, 10, 2), 2);
}

TEST(Numbers, Round8AndMinInt) {
    // Whatever way it is worked out, it is the printed and read-back value, halves included.
    std::mt19937_64 random(8);
    for (int i = 0; i < 200000; ++i) {
        const double scale = std::pow(10.0, int(random() % 13) - 6);
        double v = (double(random() % 2000001) - 1000000) / 1000000 * scale;
        if (i % 4 == 0) v = (std::floor(v * 1e8) + 0.5) / 1e8; // a half, or next to one
        char buf[400];
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 8);
        double back = 0;
        std::from_chars(buf, r.ptr, back);
        ASSERT_EQ(Round8(v), back) << v;
        ASSERT_EQ(std::signbit(Round8(v)), std::signbit(back)) << v; // "-0.00000000" too
    }
    EXPECT_EQ(Round8(0.123456789), 0.12345679);
    EXPECT_EQ(Round8(-1.000000004), -1.0);
    EXPECT_EQ(Round8(12345.5), 12345.5);
    EXPECT_EQ(MinInt(3, -2), -2);
}

TEST(Messages, LogMessageRoutesKindsToTheSink) {
    test::RecordingSink sink;
    LogMessage(mtWarning, "w");
    LogMessage(mtInfo, "i");
    LogMessage(7, "ignored");
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0].first, mtWarning);
    EXPECT_EQ(sink.messages[0].second, "w");
    EXPECT_EQ(MessageLine(mtError, "x"), "Error: x");
    sink.answer = IDNO;
    EXPECT_EQ(MsgBox("Save?", "Vorlin", MB_YESNOCANCEL), IDNO);
}

TEST(Messages, DefaultSinkWritesLinesToStandardError) {
    testing::internal::CaptureStderr();
    LogMessage(mtWarning, "no such material");
    EXPECT_EQ(MsgBox("q", "c", MB_YESNOCANCEL), IDCANCEL);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Warning: no such material\n"), std::string::npos);
}
