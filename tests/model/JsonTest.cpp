#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <string>

#include "model/JsonReader.h"
#include "model/JsonWriter.h"

namespace quorin {
namespace {

std::string TextOf(TJsonWriter& writer)
{
    const auto& bytes = writer.Bytes();
    return {bytes.begin(), bytes.end()};
}

// What is not JSON is refused with the byte where it stops fitting; what
// nests too deep says so apart from the rest.
TEST(JsonReaderTest, RefusesWhatIsNotJson)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "at byte 0: expected a value"},
        {"{\"a\": 1", "at byte 7: expected ',' or '}'"},
        {"[1,]", "at byte 3: expected a value"},
        {"{\"a\" 1}", "at byte 5: expected ':'"},
        {"{1: 2}", "at byte 1: expected a member's name"},
        {"[01]", "at byte 2: expected ',' or ']'"},
        {"[1.]", "at byte 3: expected a digit"},
        {"[-]", "at byte 2: expected a value"},
        {"[+1]", "at byte 1: expected a value"},
        {"[1e400]", "a number is too large"},
        {"[tru]", "at byte 1: expected a value"},
        {"[1] x", "at byte 4: expected the end of the text"},
        {"\"abc", "a text is not closed"},
        {"\"a\tb\"", "a text holds a control character"},
        {"\"\\x\"", "a text holds an unknown escape"},
        {"\"\\u12G4\"", "four hex digits"},
        {"\"\\uD800\"", "a high surrogate alone"},
        {"\"\\uD800\\u0041\"", "a high surrogate alone"},
        {"\"\\uDC00\"", "a low surrogate alone"},
        {"\"\xC0\x80\"", "a text is not UTF-8"},          // an overlong NUL
        {"\"\xED\xA0\x80\"", "a text is not UTF-8"},      // a surrogate
        {"\"\xF4\x90\x80\x80\"", "a text is not UTF-8"},  // past U+10FFFF
        {"\"\xE2\x82\"", "a text is not UTF-8"},          // cut short
        {"\"\xFF\"", "a text is not UTF-8"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        try {
            TJsonDocument document(text, 64);
            ADD_FAILURE() << "read";
        } catch (const EJsonError& e) {
            EXPECT_FALSE(e.TooDeep());
            EXPECT_NE(e.Message().find(message), std::string::npos) << e.Message();
        }
    }
    EXPECT_NO_THROW(TJsonDocument(std::string(64, '[') + std::string(64, ']'), 64));
    try {
        TJsonDocument(std::string(65, '[') + std::string(65, ']'), 64);
        ADD_FAILURE() << "read";
    } catch (const EJsonError& e) {
        EXPECT_TRUE(e.TooDeep());
    }
}

// Numbers keep their kind as nlohmann-json gives it: unsigned, negative
// integer, float; a whole number past 64 bits becomes a float.
TEST(JsonReaderTest, NumbersKeepTheirKindAndValue)
{
    using TType = TJson::TType;
    struct TCase {
        const char* Text;
        TType Type;
        double Value;
    };
    const std::vector<TCase> cases = {
        {"0", TType::Unsigned, 0},
        {"-0", TType::Integer, 0},
        {"18446744073709551615", TType::Unsigned, 18446744073709551615.0},
        {"18446744073709551616", TType::Float, 18446744073709551616.0},
        {"-9223372036854775808", TType::Integer, -9223372036854775808.0},
        {"-9223372036854775809", TType::Float, -9223372036854775809.0},
        {"1.5", TType::Float, 1.5},
        {"-2.5E+2", TType::Float, -250},
        {"1e-400", TType::Float, 0},
        {"2e0300", TType::Float, 2e300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        TJsonDocument document(c.Text, 64);
        EXPECT_EQ(document.Root().Type(), c.Type);
        EXPECT_EQ(document.Root().Number(), c.Value);
        EXPECT_EQ(document.Root().Source(), c.Text);
    }
    TJsonDocument big("18446744073709551615", 64);
    EXPECT_EQ(big.Root().Unsigned(), std::numeric_limits<std::uint64_t>::max());
    TJsonDocument negative("-5", 64);
    EXPECT_EQ(negative.Root().Integer(), -5);
    EXPECT_FALSE(negative.Root().IsUnsigned());
    EXPECT_TRUE(negative.Root().IsInteger());
}

TEST(JsonReaderTest, TextsAreUnescapedAndMembersFound)
{
    TJsonDocument escaped(R"(["plain", "a\"b\\c\/d\b\f\n\r\t", "\u00e9\u20AC\ud83d\ude00", "é€"])", 64);
    const TJson& texts = escaped.Root();
    ASSERT_EQ(texts.Size(), 4u);
    EXPECT_EQ(texts[0].Text(), "plain");
    EXPECT_EQ(texts[1].Text(), "a\"b\\c/d\b\f\n\r\t");
    EXPECT_EQ(texts[2].Text(), "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(texts[3].Text(), "\xC3\xA9\xE2\x82\xAC");

    // A name given twice: the last, as nlohmann-json keeps it; in small
    // objects and in the large ones searched by their sorted index.
    for (int members : {3, 40}) {
        SCOPED_TRACE(members);
        std::string text = "{\"twice\": 1";
        for (int i = 0; i < members; ++i)
            text += ", \"m" + std::to_string(i) + "\": " + std::to_string(i);
        text += ", \"twice\": [true, false, null]}";
        TJsonDocument document(text, 64);
        const TJson& root = document.Root();
        EXPECT_EQ(root.Size(), static_cast<std::size_t>(members) + 2);
        ASSERT_NE(root.Find("twice"), nullptr);
        ASSERT_TRUE(root.Find("twice")->IsArray());
        EXPECT_TRUE((*root.Find("twice"))[0].Boolean());
        EXPECT_TRUE((*root.Find("twice"))[2].IsNull());
        EXPECT_EQ(root.Find("m2")->Unsigned(), 2u);
        EXPECT_EQ(root.Find("missing"), nullptr);
        EXPECT_EQ(root.Find("m"), nullptr);
    }
}

// Every float the writer prints comes back to the bit through the reader,
// the awkward ones included; what is not finite travels as its bits.
TEST(JsonWriterTest, FloatsComeBackToTheBit)
{
    std::vector<float> values = {0.1f, -0.0f, 1e-45f, std::numeric_limits<float>::max(), 16777217.0f, 3.4e-38f, 1.0f};
    std::mt19937 random(7);
    for (int i = 0; i < 20000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    TJsonWriter writer(false, 0);
    writer.BeginArray();
    for (float value : values)
        writer.Float(value);
    writer.EndArray();
    const std::string text = TextOf(writer);  // the document views it
    TJsonDocument document(text, 64);
    ASSERT_EQ(document.Root().Size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const TJson& read = document.Root()[i];
        const float value = values[i];
        if (std::isfinite(value)) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(read.Float()), std::bit_cast<std::uint32_t>(value)) << read.Source();
            ASSERT_EQ(read.Type(), TJson::TType::Float) << read.Source();
        } else {
            ASSERT_EQ(read.Text(), "bits:" + std::to_string(std::bit_cast<std::uint32_t>(value)));
        }
    }
}

// What the writer prints is the JSON meant, compact or indented, escapes
// and all, as another reader sees it.
TEST(JsonWriterTest, WritesTheJsonMeant)
{
    const nlohmann::json expected = {{"name", "a\"b\\c\n\x01\xC3\xA9"},
                                     {"empty", nlohmann::json::array()},
                                     {"nothing", nlohmann::json::object()},
                                     {"list", {1, 2.5, true, nullptr, {{"deep", {0.0}}}}},
                                     {"bytes", "AAEC/w=="}};
    for (bool indented : {false, true}) {
        TJsonWriter writer(indented, 16, 4);
        writer.BeginObject().Member("name", "a\"b\\c\n\x01\xC3\xA9");
        writer.Key("empty").BeginArray().EndArray();
        writer.Key("nothing").BeginObject().EndObject();
        writer.Key("list").BeginArray().Unsigned(1).Double(2.5).Bool(true).Null();
        writer.BeginObject().Key("deep").BeginArray().Double(0).EndArray().EndObject().EndArray();
        const std::uint8_t bytes[] = {0, 1, 2, 255};
        writer.Key("bytes").Base64(bytes);
        writer.EndObject();
        const std::string text = TextOf(writer);
        ASSERT_EQ(text.substr(0, 4), std::string(4, '\0'));
        EXPECT_EQ(nlohmann::json::parse(text.substr(4)), expected) << text;
        EXPECT_EQ(text.find('\n') != std::string::npos, indented);
        EXPECT_EQ(text.find(": ") != std::string::npos, indented);
    }
}

} // namespace
} // namespace quorin
