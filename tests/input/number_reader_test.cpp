// SPDX-License-Identifier: MIT
#include "fields.h"
#include "number_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>

using sheetfind::InputError;
using sheetfind::NumberReader;

namespace {

// What one text reads as in one locale.
struct Expect {
    enum Kind { Number, Mismatch, Overflow } kind;
    double value = 0;
};
constexpr Expect N(double value) {
    return {Expect::Number, value};
}
constexpr Expect TM{Expect::Mismatch};
constexpr Expect OV{Expect::Overflow};

std::string show(const std::variant<double, InputError>& read) {
    if (const auto* value = std::get_if<double>(&read)) {
        std::ostringstream os;
        os << "the number " << std::setprecision(17) << *value;
        return os.str();
    }
    return std::get<InputError>(read) == InputError::TooLarge ? "Overflow" : "Type mismatch";
}

constexpr std::array kLocales = {"C", "en_CA", "fr_CA", "de_DE"};

struct Row {
    const char* name;
    std::string text;
    std::array<Expect, 4> expected; // in the order of kLocales
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

void expectRead(const std::variant<double, InputError>& read, const Expect& expected) {
    switch (expected.kind) {
    case Expect::Number:
        ASSERT_TRUE(std::holds_alternative<double>(read)) << show(read);
        EXPECT_EQ(std::get<double>(read), expected.value);
        break;
    case Expect::Mismatch:
        EXPECT_EQ(read, (std::variant<double, InputError>{InputError::NotANumber})) << show(read);
        break;
    case Expect::Overflow:
        EXPECT_EQ(read, (std::variant<double, InputError>{InputError::TooLarge})) << show(read);
        break;
    }
}

class ConversionTable : public testing::TestWithParam<Row> {};

TEST_P(ConversionTable, ReadsAsExpectedInEachLocale) {
    const Row& row = GetParam();
    for (std::size_t i = 0; i < kLocales.size(); ++i) {
        SCOPED_TRACE(std::string("locale ") + kLocales[i]);
        expectRead(NumberReader::named(kLocales[i]).read(row.text), row.expected[i]);
    }
}

const std::string kHundredThousandOnes(100'000, '1');
const std::string kHundredThousandZeros(100'000, '0');
// Out of range by the count of their digits, whatever their exponent says.
const std::string kTinyDespiteTheExponent = "0." + std::string(400, '0') + "1e5";
const std::string kHugeDespiteTheExponent = "1" + std::string(400, '0') + "e-1";

//                                          C           en_CA       fr_CA        de_DE
INSTANTIATE_TEST_SUITE_P(
    PlainNumbers, ConversionTable,
    testing::Values(Row{"Decimal", "49.25", {N(49.25), N(49.25), N(49.25), TM}},
                    Row{"DecimalComma", "49,25", {TM, TM, N(49.25), N(49.25)}},
                    Row{"Negative", "-123.1", {N(-123.1), N(-123.1), N(-123.1), TM}},
                    Row{"PlusSign", "+49", {N(49), N(49), N(49), N(49)}},
                    Row{"BlanksAround", " \t-123 ", {N(-123), N(-123), N(-123), N(-123)}},
                    Row{"Exponent", "4925e-2", {N(49.25), N(49.25), N(49.25), N(49.25)}},
                    Row{"ExponentCapital", "-1.231E2", {N(-123.1), N(-123.1), N(-123.1), TM}},
                    Row{"ExponentSign", "1e+1", {N(10), N(10), N(10), N(10)}},
                    Row{"TrailingSeparator", "3.", {N(3), N(3), N(3), TM}},
                    Row{"LeadingSeparator", ".5", {N(0.5), N(0.5), N(0.5), TM}},
                    Row{"LeadingCommaSeparator", ",5", {TM, TM, N(0.5), N(0.5)}},
                    Row{"Underflow", "1e-400", {N(0), N(0), N(0), N(0)}},
                    Row{"UnderflowByDigits", kTinyDespiteTheExponent, {N(0), N(0), N(0), TM}},
                    Row{"TinyExponent", "1e-99999999999999999999", {N(0), N(0), N(0), N(0)}},
                    Row{"ManyZeros", kHundredThousandZeros, {N(0), N(0), N(0), N(0)}},
                    // Pasted from web pages, which write the true minus sign.
                    Row{"MinusSignU2212", "\u2212123.1", {N(-123.1), N(-123.1), N(-123.1), TM}},
                    Row{"NoBreakSpaceAround", "\u00A049\u00A0", {N(49), N(49), N(49), N(49)}},
                    Row{"LeadingZeros", "0049.250", {N(49.25), N(49.25), N(49.25), TM}}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ConversionRejects, ConversionTable,
    testing::Values(Row{"Empty", "", {TM, TM, TM, TM}}, Row{"Blank", " ", {TM, TM, TM, TM}},
                    Row{"SignOnly", "+", {TM, TM, TM, TM}}, Row{"MinusOnly", "-", {TM, TM, TM, TM}},
                    Row{"ExponentOnly", "e1", {TM, TM, TM, TM}},
                    Row{"ExponentWithoutDigits", "1e", {TM, TM, TM, TM}},
                    Row{"ExponentSignWithoutDigits", "1e-", {TM, TM, TM, TM}},
                    Row{"Hexadecimal", "0x10", {TM, TM, TM, TM}},
                    Row{"Thousands", "1,000", {TM, TM, N(1), N(1)}},
                    Row{"ThousandsWithSpace", "4 925", {TM, TM, TM, TM}},
                    // fr_CA's group separator in the C library, three bytes of UTF-8.
                    Row{"ThousandsWithNarrowSpace", "4\u202F925", {TM, TM, TM, TM}},
                    Row{"ThousandsWithDot", "4.925,5", {TM, TM, TM, TM}},
                    Row{"TwoSeparators", "49.25.1", {TM, TM, TM, TM}},
                    Row{"TwoSigns", "--1", {TM, TM, TM, TM}},
                    Row{"PlusMinus", "+-1", {TM, TM, TM, TM}},
                    Row{"NegativeInfinity", "-inf", {TM, TM, TM, TM}},
                    Row{"Infinity", "infinity", {TM, TM, TM, TM}},
                    Row{"Inf", "inf", {TM, TM, TM, TM}}, Row{"NaN", "NaN", {TM, TM, TM, TM}},
                    Row{"DegreesMinutesSeconds", "49°15'N", {TM, TM, TM, TM}},
                    Row{"DegreesMinutesSecondsBlanks", "49 15 00", {TM, TM, TM, TM}},
                    Row{"Hemisphere", "123.1W", {TM, TM, TM, TM}},
                    Row{"ArabicIndicDigits", "\u0664\u0669", {TM, TM, TM, TM}},
                    Row{"NulInside", std::string("49\0.25", 6), {TM, TM, TM, TM}}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ConversionOverflows, ConversionTable,
    testing::Values(Row{"Huge", "1e400", {OV, OV, OV, OV}},
                    Row{"HugeNegative", "-1e400", {OV, OV, OV, OV}},
                    Row{"HugeExponent", "1e99999999999999999999", {OV, OV, OV, OV}},
                    Row{"OverflowByDigits", kHugeDespiteTheExponent, {OV, OV, OV, OV}},
                    Row{"HundredThousandDigits", kHundredThousandOnes, {OV, OV, OV, OV}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ConversionUnderflow, KeepsTheSign) {
    const auto read = NumberReader::named("C").read("-1e-400");
    ASSERT_TRUE(std::holds_alternative<double>(read));
    EXPECT_TRUE(std::signbit(std::get<double>(read)));
}

// Symbols a locale may bring, as Qt writes Arabic in Egypt: several bytes each,
// native digits, signs of its own.
const sheetfind::NumberSymbols kArabic{.decimalPoint = "\u066B",
                                       .groupSeparator = "\u066C",
                                       .negativeSign = "\u061C-",
                                       .positiveSign = "\u061C+",
                                       .zeroDigit = U'\u0660'};

struct SymbolsRow {
    const char* name;
    std::string text;
    Expect expected;
};

void PrintTo(const SymbolsRow& row, std::ostream* os) {
    *os << row.name;
}

class ConversionWithSymbols : public testing::TestWithParam<SymbolsRow> {};

TEST_P(ConversionWithSymbols, ReadsTheLocalesOwnSymbols) {
    expectRead(NumberReader(kArabic).read(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arabic, ConversionWithSymbols,
    testing::Values(SymbolsRow{"NativeDigits", "\u0664\u0669\u066B\u0662\u0665", N(49.25)},
                    SymbolsRow{"OwnMinusSign", "\u061C-\u0661\u0662\u0663", N(-123)},
                    SymbolsRow{"OwnPlusSign", "\u061C+1", N(1)},
                    SymbolsRow{"NativeExponent", "\u0661e\u061C-\u0662", N(0.01)},
                    SymbolsRow{"Dot", "49.25", N(49.25)},
                    SymbolsRow{"GroupSeparator", "\u0664\u066C\u0669\u0662\u0665", TM},
                    // Half of the separator's two bytes.
                    SymbolsRow{"TruncatedSeparator", "49\xD9", TM}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ConversionWithSymbols, ASymbolNotUtf8IsTheCLocales) {
    // What a C library locale in Latin-1 would give for a separator.
    const NumberReader reader(sheetfind::NumberSymbols{.decimalPoint = "\xAB"});
    EXPECT_EQ(reader.style().decimalPoint, ".");
    expectRead(reader.read("49\xAB"
                           "25"),
               TM);
    expectRead(reader.read("49.25"), N(49.25));
}

// The C library's locales: those of the tests must be generated (scripts/test.sh does).
struct LocaleRow {
    const char* name;
    const char* decimalPoint;
};

TEST(NumberReaderLocale, FoundByName) {
    const LocaleRow rows[] = {{"C", "."},           {"en_CA", "."},      {"fr_CA", ","},
                              {"fr_CA.UTF-8", ","}, {"de_DE.utf8", ","}, {"xx_YY", "."}};
    for (const auto& [name, decimalPoint] : rows) {
        EXPECT_EQ(NumberReader::named(name).style().decimalPoint, decimalPoint)
            << name << " (missing from `locale -a`?)";
    }
}

// Sets the three variables for its lifetime, an empty value unsetting one.
class LocaleEnvironment {
public:
    LocaleEnvironment(const char* all, const char* numeric, const char* lang) {
        const std::array values = {all, numeric, lang};
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (const char* saved = std::getenv(kNames[i])) {
                m_saved[i] = saved;
            }
            set(kNames[i], values[i]);
        }
    }
    ~LocaleEnvironment() {
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            set(kNames[i], m_saved[i] ? m_saved[i]->c_str() : "");
        }
    }
    LocaleEnvironment(const LocaleEnvironment&) = delete;
    LocaleEnvironment& operator=(const LocaleEnvironment&) = delete;

private:
    static void set(const char* name, const char* value) {
        if (*value != 0) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    static constexpr std::array kNames = {"LC_ALL", "LC_NUMERIC", "LANG"};
    std::array<std::optional<std::string>, 3> m_saved;
};

TEST(NumberReaderLocale, FromTheEnvironment) {
    struct EnvironmentRow {
        const char* all;
        const char* numeric;
        const char* lang;
        const char* decimalPoint;
    };
    const EnvironmentRow rows[] = {{"fr_CA.UTF-8", "", "", ","},
                                   {"C", "de_DE.UTF-8", "", "."},
                                   {"", "de_DE.UTF-8", "C", ","},
                                   {"", "", "de_DE.UTF-8", ","},
                                   {"", "", "xx_YY.UTF-8", "."}};
    for (const auto& row : rows) {
        const LocaleEnvironment environment(row.all, row.numeric, row.lang);
        const std::string where =
            std::string("LC_ALL=") + row.all + " LC_NUMERIC=" + row.numeric + " LANG=" + row.lang;
        EXPECT_EQ(NumberReader().style().decimalPoint, row.decimalPoint) << where;
        // An empty name is no locale, not the environment's.
        EXPECT_EQ(NumberReader::named("").style().decimalPoint, ".") << where;
    }
}

} // namespace

namespace {

// The quick conversion and the general one must agree to the last bit on every
// number, whichever of them a text takes.
TEST(ConversionPaths, QuickAndGeneralAgree) {
    std::mt19937_64 random(20261208);
    std::cout << "seed 20261208\n";
    std::uniform_int_distribution<int> digitCount(1, 25);
    std::uniform_int_distribution<int> digit(0, 9);
    std::uniform_int_distribution<int> exponent(-330, 330);
    const NumberReader reader = NumberReader::named("C");
    for (int i = 0; i < 20'000; ++i) {
        std::string text;
        for (int n = digitCount(random); n > 0; --n) {
            text += static_cast<char>('0' + digit(random));
        }
        text.insert(text.size() - static_cast<std::size_t>(digit(random)) % text.size(), ".");
        if (random() % 2) {
            text.insert(0, "-");
        }
        if (random() % 2) {
            text += "e" + std::to_string(exponent(random));
        }
        const auto quick = reader.read(text);
        const auto general = reader.read(text, NumberReader::Path::General);
        ASSERT_EQ(show(quick), show(general)) << text;
        if (std::holds_alternative<double>(quick)) {
            ASSERT_EQ(std::bit_cast<std::uint64_t>(std::get<double>(quick)),
                      std::bit_cast<std::uint64_t>(std::get<double>(general)))
                << text;
        }
    }
}

} // namespace

// A line read in one pass gives what splitFields and read() give, or leaves it to them.
TEST(PlainLines, ReadAsTheFieldsAre) {
    for (const char* locale : kLocales) {
        const NumberReader reader = NumberReader::named(locale);
        for (const std::string_view line :
             {"49.25 -123.1", " 49.25,-123.1 ", "49.25 , -123.1", "49.25\t-123.1", "49.25-123.1",
              "+49 -123", "49.25 -123.1 5", "1e5 2", "-.5 .5", "49,25 -123,1", "inf 5", "nan 5",
              "49,5", "49.25 -123.1\r", "49.25,,-123.1", "49.25 -123.1,", "٤٩ ١٢٣", "49 - 123"}) {
            const auto plain = reader.readPlainLine(line);
            const sheetfind::FieldPair fields =
                sheetfind::splitFields(line, !reader.commaIsDecimal());
            std::optional<std::pair<double, double>> expected;
            if (fields.count == 2) {
                const auto first = reader.read(fields.first);
                const auto second = reader.read(fields.second);
                if (std::holds_alternative<double>(first) &&
                    std::holds_alternative<double>(second)) {
                    expected.emplace(std::get<double>(first), std::get<double>(second));
                }
            }
            if (plain) {
                EXPECT_EQ(plain, expected) << locale << ": " << line;
            }
        }
        EXPECT_TRUE(reader.readPlainLine("49 -123")) << locale;
    }
}
