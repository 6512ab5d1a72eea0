#include "XmlValues.h"

#include "XmlTestUtils.h"

#include <gtest/gtest.h>

#include <QDomElement>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstring>
#include <random>

using namespace lumo::app;
using lumo::test::ParseElement;
using lumo::test::WriteWith;

namespace {

// Runs a reader on <e><v>text</v></e> and returns the code (0) and message of what it raised.
template <class Reader>
std::pair<int, std::string> ReadOutcome(const QString& xml, Reader read)
{
    const QDomElement element = ParseElement(xml);
    try {
        read(element);
    } catch (const XmlException& e) {
        return {e.code, e.message};
    }
    return {0, {}};
}

struct TextCase {
    const char* text;
    bool intOk;
    bool uintOk;
    bool doubleOk;
    bool boolOk;
};

} // namespace

TEST(XmlValues, TextFormsAcceptOnlyWholeText)
{
    const TextCase cases[] = {
        {"1200", true, true, true, false},
        {" 1200", false, false, false, false},
        {"1200 ", false, false, false, false},
        {"", false, false, false, false},
        {"1.5", false, false, true, false},
        {"-3", true, false, true, false},
        {"true", false, false, false, false},
        {"1", true, true, true, true},
        {"0", true, true, true, true},
        {"2", true, true, true, false},
        {"1e3", false, false, true, false},
        {"0x10", false, false, false, false},
        {"99999999999", false, false, true, false},
        {"1,5", false, false, false, false},
        // A stream reads no "nan" or infinity, and the writer writes none.
        {"nan", false, false, false, false},
        {"-nan", false, false, false, false},
        {"inf", false, false, false, false},
        {"-infinity", false, false, false, false},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lexical::ToInt(c.text).has_value(), c.intOk);
        EXPECT_EQ(lexical::ToUInt(c.text).has_value(), c.uintOk);
        EXPECT_EQ(lexical::ToDouble(c.text).has_value(), c.doubleOk);
        EXPECT_EQ(lexical::ToFloat(c.text).has_value(), c.doubleOk);
        EXPECT_EQ(lexical::ToBool(c.text).has_value(), c.boolOk);
    }
    EXPECT_EQ(*lexical::ToBool("1"), true);
    EXPECT_EQ(*lexical::ToInt("-3"), -3);
}

TEST(XmlValues, NumbersAreWrittenInTheirExactForms)
{
    EXPECT_EQ(lexical::FromDouble(1.0), "1");
    EXPECT_EQ(lexical::FromDouble(6500.0), "6500");
    EXPECT_EQ(lexical::FromFloat(0.4f), "0.400000006");
    EXPECT_EQ(lexical::FromDouble(0.4), "0.40000000000000002");
    EXPECT_EQ(lexical::FromFloat(1.5f), "1.5");
    EXPECT_EQ(lexical::FromFloat(0.8f), "0.800000012");
    EXPECT_EQ(lexical::FromDouble(0.33), "0.33000000000000002");
    EXPECT_EQ(lexical::FromDouble(-2.5), "-2.5");
    EXPECT_EQ(lexical::FromDouble(1e-5), "1.0000000000000001e-05");
    EXPECT_EQ(lexical::FromInt(-42), "-42");
    EXPECT_EQ(lexical::FromUInt(4000000000u), "4000000000");
    EXPECT_EQ(lexical::FromBool(true), "1");
    EXPECT_EQ(lexical::FromBool(false), "0");
}

TEST(XmlValues, FloatAndDoubleRoundTripBitExactly)
{
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const double d = std::bit_cast<double>(random());
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (std::isfinite(d)) {
            const auto back = lexical::ToDouble(lexical::FromDouble(d));
            ASSERT_TRUE(back.has_value());
            ASSERT_EQ(std::bit_cast<std::uint64_t>(*back), std::bit_cast<std::uint64_t>(d));
        }
        if (std::isfinite(f)) {
            const auto back = lexical::ToFloat(lexical::FromFloat(f));
            ASSERT_TRUE(back.has_value());
            ASSERT_EQ(std::bit_cast<std::uint32_t>(*back), std::bit_cast<std::uint32_t>(f));
        }
    }
}

TEST(XmlValues, ReadersRaiseCode4WithTheirMessages)
{
    auto outcome = ReadOutcome("<e><width> 1200</width></e>", [](const QDomElement& e) { ReadXmlTagInt(e, "width"); });
    EXPECT_EQ(outcome.first, 4);
    EXPECT_EQ(outcome.second, "width data is corrupted, lexical cast failure.");

    outcome = ReadOutcome("<e/>", [](const QDomElement& e) { ReadXmlTagWString(e, "path"); });
    EXPECT_EQ(outcome.first, 4);
    EXPECT_EQ(outcome.second, "path Tag is missing");

    outcome = ReadOutcome("<e red=''/>", [](const QDomElement& e) { ReadXmlAttributeUInt(e, "red"); });
    EXPECT_EQ(outcome.first, 4);

    outcome = ReadOutcome("<e/>", [](const QDomElement& e) { ReadXmlAttributeBool(e, "enabled"); });
    EXPECT_EQ(outcome.second, "enabled Attribute is missing");

    outcome = ReadOutcome("<e><printAsCard>true</printAsCard></e>",
                          [](const QDomElement& e) { ReadXmlTagBool(e, "printAsCard"); });
    EXPECT_EQ(outcome.first, 4);

    outcome = ReadOutcome("<e><blur>-1</blur></e>", [](const QDomElement& e) { ReadXmlTagUInt(e, "blur"); });
    EXPECT_EQ(outcome.first, 4) << "an unsigned field refuses a minus sign";

    outcome = ReadOutcome("<e green='-1'/>", [](const QDomElement& e) { ReadXmlAttributeUInt(e, "green"); });
    EXPECT_EQ(outcome.first, 4);
}

TEST(XmlValues, ReadersReturnValues)
{
    const QDomElement e = ParseElement("<e red='255' enabled='1' id='{abc}'>"
                                       "<printAsCard>1</printAsCard><w>1200</w><path></path>"
                                       "<p1><![CDATA[C:/a & b]]></p1><p2>C:/a &amp; b</p2><d>0.40000000000000002</d>"
                                       "<f>0.400000006</f><u>4000000000</u></e>");
    EXPECT_EQ(ReadXmlAttributeUInt(e, "red"), 255);
    EXPECT_TRUE(ReadXmlAttributeBool(e, "enabled"));
    EXPECT_EQ(ReadXmlAttributeWString(e, "id"), L"{abc}");
    EXPECT_TRUE(ReadXmlTagBool(e, "printAsCard"));
    EXPECT_EQ(ReadXmlTagInt(e, "w"), 1200);
    EXPECT_EQ(ReadXmlTagWString(e, "path"), L"");
    EXPECT_EQ(ReadXmlTagWString(e, "p1"), ReadXmlTagWString(e, "p2"));
    EXPECT_EQ(ReadXmlTagDouble(e, "d"), 0.4);
    EXPECT_EQ(ReadXmlTagFloat(e, "f"), 0.4f);
    EXPECT_EQ(ReadXmlTagUInt(e, "u"), 4000000000u);
}

TEST(XmlValues, WritersProduceElementsAndAttributes)
{
    const QString text = WriteWith([](QXmlStreamWriter& w) {
        w.writeStartElement("e");
        WriteXmlAttributeUInt(w, "red", 12);
        WriteXmlAttributeBool(w, "enabled", true);
        WriteXmlAttributeWString(w, "id", L"{x}");
        WriteXmlTagDouble(w, "d", 0.4);
        WriteXmlTagFloat(w, "f", 0.4f);
        WriteXmlTagInt(w, "i", -7);
        WriteXmlTagUInt(w, "u", 7);
        WriteXmlTagBool(w, "b", false);
        WriteXmlTagWString(w, "s", L"a<b", false);
        WriteXmlTagWString(w, "c", L"a<b", true);
        w.writeEndElement();
    });
    EXPECT_EQ(text, "<e red=\"12\" enabled=\"1\" id=\"{x}\"><d>0.40000000000000002</d><f>0.400000006</f>"
                    "<i>-7</i><u>7</u><b>0</b><s>a&lt;b</s><c><![CDATA[a<b]]></c></e>");
}

TEST(XmlValues, BytesRoundTripUnchanged)
{
    QByteArray storable;
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
        if (b >= 0x20 || b == '\t' || b == '\n')
            storable.append(static_cast<char>(b));
    }
    storable.append("]]> end \xC3\xA9");
    for (const QByteArray& bytes : {storable, all, QByteArray("\r\n"), QByteArray()}) {
        QByteArray current = bytes;
        for (int save = 0; save < 3; ++save) {
            const QString text = WriteWith([&](QXmlStreamWriter& w) {
                w.writeStartElement("e");
                WriteXmlTagBytes(w, "text", current);
                w.writeEndElement();
            });
            // Bytes XML can hold stay one CDATA section, as they always were.
            EXPECT_EQ(text.contains(QStringLiteral("encoding")), bytes != storable && !bytes.isEmpty());
            ASSERT_TRUE(ParseElement(text).hasChildNodes()) << "the text parses";
            current = ReadXmlTagBytes(ParseElement(text), "text");
            ASSERT_EQ(current, bytes) << "after save " << save;
        }
    }
}

TEST(XmlValues, EveryCharacterXmlCannotHoldRoundTrips)
{
    // Control characters (an escape in a Linux file name), a carriage return (which a reader
    // would turn into a line feed), the two non-characters; each alone and in a name.
    std::vector<char16_t> characters;
    for (char16_t c = 0; c < 0x20; ++c)
        characters.push_back(c);
    characters.insert(characters.end(), {0x7F, 0xFFFE, 0xFFFF});
    for (const char16_t c : characters) {
        for (const QString& value : {QString(QChar(c)), QStringLiteral("/photos/a") + QChar(c) + QStringLiteral("]]>b.jpg"),
                                     QStringLiteral(" ") + QChar(c)}) {
            for (const bool cdata : {true, false}) {
                const QString text = WriteWith([&](QXmlStreamWriter& w) {
                    w.writeStartElement("e");
                    WriteXmlTagWString(w, "path", value.toStdWString(), cdata);
                    w.writeEndElement();
                });
                const QDomElement element = ParseElement(text);
                ASSERT_FALSE(element.isNull()) << "U+" << std::hex << int(c) << " gives XML that parses";
                EXPECT_EQ(QString::fromStdWString(ReadXmlTagWString(element, "path")), value)
                    << "U+" << std::hex << int(c) << (cdata ? " cdata" : " text");
            }
        }
    }
    // Text XML holds is written as before, and an unknown or broken encoding is refused.
    EXPECT_EQ(WriteWith([](QXmlStreamWriter& w) { WriteXmlTagWString(w, "p", L"a\tb\nc", true); }),
              "<p><![CDATA[a\tb\nc]]></p>");
    for (const char* xml : {"<e><p encoding='base64'>YQ==</p></e>", "<e><p encoding='base64-utf16le'>YQ==</p></e>",
                            "<e><p encoding='base64-utf16le'>!!</p></e>"}) {
        EXPECT_EQ(ReadOutcome(xml, [](const QDomElement& e) { ReadXmlTagWString(e, "p"); }).first, 4) << xml;
    }
}

TEST(XmlValues, NonFiniteNumbersCannotBeWritten)
{
    for (const double value : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        int code = 0;
        try {
            WriteWith([&](QXmlStreamWriter& w) { WriteXmlTagDouble(w, "d", value); });
        } catch (const XmlException& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 17) << value;
        code = 0;
        try {
            WriteWith([&](QXmlStreamWriter& w) { WriteXmlTagFloat(w, "f", static_cast<float>(value)); });
        } catch (const XmlException& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 17) << value;
    }
}

TEST(XmlValues, WrittenTextDoesNotDependOnTheLocale)
{
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed (scripts/setup.sh makes it)";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    EXPECT_STREQ(probe, "0,5") << "the locale is active";
    EXPECT_EQ(lexical::FromDouble(0.4), "0.40000000000000002");
    EXPECT_EQ(lexical::FromFloat(1.5f), "1.5");
    EXPECT_EQ(lexical::ToDouble("0.5"), 0.5);
    EXPECT_FALSE(lexical::ToDouble("0,5").has_value());
    const QString text = WriteWith([](QXmlStreamWriter& w) { WriteXmlTagDouble(w, "d", 1234.5); });
    EXPECT_EQ(text, "<d>1234.5</d>");
    std::setlocale(LC_ALL, saved.c_str());
}
