// How the parameter file writes and converts numbers, and where it goes.
#include <cmath>
#include <limits>

#include "params_test_support.h"

namespace {

using params::FormatReal;
using params::ParseInteger;
using params::ParseReal;

TEST(FormatReal, WorkedValues) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1e-20, "1E-20"},
        {1.5e20, "1.5E20"},
        {5e-5, "5E-5"},
        {0.0005, "0.0005"},
        {0.0001, "0.0001"},
        {1.959183673469388, "1.95918367346939"},
        {-7.0 / 3.0, "-2.33333333333333"},
        {0.0, "0"},
        {100.0, "100"},
        {1e15, "1E15"},
        {999999999999999.0, "999999999999999"},
        {123456789012345.6, "123456789012346"},
        {9999999999999999.0, "1E16"},
        {0.000099999999999999999, "0.0001"},
        {-1.25e-7, "-1.25E-7"},
        {0.05, "0.05"},
        {2.0 / 3.0, "0.666666666666667"},
        {1e100, "1E100"},
        // Rounded to nearest it would not read back: cut instead.
        {1.7976931348623157e308, "1.79769313486231E308"},
        {-1.7976931348623157e308, "-1.79769313486231E308"},
        {1.7976931348623151e308, "1.79769313486231E308"},
        {5e-324, "4.94065645841247E-324"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatReal(c.value, '.'), c.text) << c.value;
        EXPECT_TRUE(ParseReal(c.text).has_value()) << c.text;  // every text written reads back
    }
}

TEST(FormatReal, DecimalMarkAndSpecialValues) {
    EXPECT_EQ(FormatReal(0.05, ','), "0,05");
    EXPECT_EQ(FormatReal(-1.5e20, ','), "-1,5E20");
    EXPECT_EQ(FormatReal(127.0, ','), "127");
    EXPECT_EQ(FormatReal(-0.0, '.'), "0");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::quiet_NaN(), ','), "NAN");
    EXPECT_EQ(FormatReal(std::numeric_limits<double>::infinity(), '.'), "INF");
    EXPECT_EQ(FormatReal(-std::numeric_limits<double>::infinity(), '.'), "-INF");
}

TEST(ParseReal, AcceptsBothMarksExponentsAndBlanks) {
    EXPECT_EQ(ParseReal("0.05"), 0.05);
    EXPECT_EQ(ParseReal("0,05"), 0.05);
    EXPECT_EQ(ParseReal("-1,5E20"), -1.5e20);
    EXPECT_EQ(ParseReal("5E-5"), 5e-5);
    EXPECT_EQ(ParseReal("1e-20"), 1e-20);
    EXPECT_EQ(ParseReal("  2.5\t"), 2.5);
    EXPECT_EQ(ParseReal("+3"), 3.0);
    EXPECT_EQ(ParseReal("4.94065645841247E-324"), 5e-324);
    EXPECT_TRUE(std::isnan(*ParseReal("NAN")));
    EXPECT_EQ(ParseReal("-INF"), -std::numeric_limits<double>::infinity());
}

TEST(ParseReal, RejectsWhatIsNoNumber) {
    for (const char* text : {"", " ", "x", "1.2.3", "1,2,3", "1e", "1e400", "0x10", "++1", "+-1",
                             "1 2", "1,000.5", "--1", "e5"}) {
        EXPECT_EQ(ParseReal(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(ParseInteger, SignedDecimalWithinThirtyTwoBits) {
    EXPECT_EQ(ParseInteger("0"), 0);
    EXPECT_EQ(ParseInteger("-17"), -17);
    EXPECT_EQ(ParseInteger(" +26 "), 26);
    EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger("-2147483648"), std::numeric_limits<int32_t>::min());
    for (const char* text : {"", "2147483648", "-2147483649", "99999999999", "1.0", "1,0", "1e3",
                             "a", "0x1", "12a", "+-3"}) {
        EXPECT_EQ(ParseInteger(text), std::nullopt) << '"' << text << '"';
    }
}

TEST(FormatReal, FifteenDigitTextsSurviveTheReader) {
    // Reading a written value and writing it again gives the same text, and
    // values that 15 digits represent come back exactly.
    const double values[] = {1.959183673469388, 1e-300, 3.141592653589793, -0.1, 1e15,
                             123.456, 2.5e-5, 5e-324, 6.02214076e23};
    for (double value : values) {
        for (char mark : {'.', ','}) {
            const std::string text = FormatReal(value, mark);
            const std::optional<double> back = ParseReal(text);
            ASSERT_TRUE(back) << text;
            EXPECT_EQ(FormatReal(*back, mark), text);
        }
    }
    for (double value : {-0.1, 123.456, 2.5e-5, 6.02214076e23, 0.05, 1.95918367346939})
        EXPECT_EQ(ParseReal(FormatReal(value, ',')), value);
}

TEST(ParameterFilePathFor, ReplacesTheLastThreeCharactersInTheImageFolder) {
    EXPECT_EQ(params::ParameterFilePathFor("/home/u/pics/pic.bmp"), "/home/u/pics/pic.vtx");
    EXPECT_EQ(params::ParameterFilePathFor("/home/u/pics/pic.jpeg"), "/home/u/pics/pic.jvtx");
    EXPECT_EQ(params::ParameterFilePathFor("a.png"), "a.vtx");
    EXPECT_EQ(params::ParameterFilePathFor("/x.y/abc"), "/x.y/vtx");
    // Too short to lose three characters: the name is kept whole.
    EXPECT_EQ(params::ParameterFilePathFor("/tmp/ab"), "/tmp/ab.vtx");
    EXPECT_EQ(params::ParameterFilePathFor("/tmp/"), "/tmp/.vtx");
    EXPECT_EQ(params::ParameterFilePathFor(""), ".vtx");
}

}  // namespace
