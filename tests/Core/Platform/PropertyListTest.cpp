#include "FernwickCore/Platform/PropertyList.h"

#include "tests/Support/BinaryPropertyList.h"
#include "tests/Support/TempTree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fernwick {
namespace {

using test::BinaryPropertyListWriter;

TEST(PropertyListTest, XmlTopLevelStringsOnly) {
    const std::string xml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist [ <!ENTITY x "y"> ]>
<!-- a comment before the root -->
<plist version="1.0">
<dict>
	<key>CFBundleIdentifier</key>
	<string>com.example.foo</string>
	<key>Nested</key>
	<dict><key>Inner</key><string>not top level</string><array><string>x</string></array></dict>
	<key>LSRequiresNativeExecution</key><true/>
	<key>Count</key><integer>3</integer>
	<key>Empty</key><string/>
	<!-- between members -->
	<key>Escaped</key><string>a &amp; b &lt;c&gt; &#233;&#x1F600; &bogus; <![CDATA[<raw>]]></string>
	<key>CFBundleShortVersionString</key>
	<string>2.1</string>
</dict>
</plist>
)";
    const auto strings = parsePropertyListStrings(xml);
    ASSERT_TRUE(strings);
    const PropertyListStrings expected{
        {"CFBundleIdentifier", "com.example.foo"},
        {"Empty", ""},
        {"Escaped", "a & b <c> \xC3\xA9\xF0\x9F\x98\x80 &bogus; <raw>"},
        {"CFBundleShortVersionString", "2.1"},
    };
    EXPECT_EQ(*strings, expected);
    EXPECT_EQ(parsePropertyListStrings("<plist><dict/></plist>"), PropertyListStrings{});
}

TEST(PropertyListTest, BinaryStringsOfEveryWidth) {
    BinaryPropertyListWriter writer(2);
    const auto idKey = writer.asciiString("CFBundleIdentifier");
    const auto id = writer.asciiString("com.example.a-rather-long-identifier"); // extended length
    const auto nameKey = writer.utf16String(u"Name");
    const auto name = writer.utf16String(u"Caf\u00E9 \U0001F600 \xD800x"); // lone surrogate
    const auto countKey = writer.asciiString("Count");
    const auto count = writer.integer(7);
    const auto nestedKey = writer.asciiString("Nested");
    const auto inner = writer.asciiString("inner");
    const auto nested = writer.dictionary({{inner, inner}});
    const auto listKey = writer.asciiString("List");
    const auto list = writer.array({inner, count});
    const auto top = writer.dictionary(
        {{idKey, id}, {nameKey, name}, {countKey, count}, {nestedKey, nested}, {listKey, list}});
    const auto strings = parsePropertyListStrings(writer.finish(top));
    ASSERT_TRUE(strings);
    const PropertyListStrings expected{
        {"CFBundleIdentifier", "com.example.a-rather-long-identifier"},
        {"Name", "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBDx"},
    };
    EXPECT_EQ(*strings, expected);
}

TEST(PropertyListTest, RejectsWhatIsNotADictionaryPropertyList) {
    BinaryPropertyListWriter writer;
    const auto text = writer.asciiString("x");
    EXPECT_FALSE(parsePropertyListStrings(writer.finish(writer.array({text}))));
    EXPECT_FALSE(parsePropertyListStrings(""));
    EXPECT_FALSE(parsePropertyListStrings("bplist00"));
    EXPECT_FALSE(parsePropertyListStrings("<plist><array><string>x</string></array></plist>"));
    EXPECT_FALSE(parsePropertyListStrings("<plist><dict><key>a</key><string>b"));
    EXPECT_FALSE(parsePropertyListStrings("<plist><dict><string>b</string></dict></plist>"));
    EXPECT_FALSE(parsePropertyListStrings("not a property list"));
}

TEST(PropertyListTest, HostileBinaryNeverReadsOutOfBounds) {
    const std::string valid = test::binaryPropertyList(
        {{"CFBundleIdentifier", "com.example.foo"}, {"CFBundleShortVersionString", "1.0"}});
    ASSERT_TRUE(parsePropertyListStrings(valid));
    // Every byte replaced by several values, and every truncation: the sanitizers watch.
    for (std::size_t i = 0; i < valid.size(); ++i) {
        for (const unsigned char value : {0x00, 0x01, 0x0F, 0x5F, 0x6F, 0x7F, 0xD0, 0xDF, 0xFF}) {
            std::string mutated = valid;
            mutated[i] = static_cast<char>(value);
            (void)parsePropertyListStrings(mutated);
        }
        (void)parsePropertyListStrings(std::string_view(valid).substr(0, i));
    }

    // A dictionary that holds itself, and counts and offsets far beyond the data.
    BinaryPropertyListWriter writer;
    const auto key = writer.asciiString("Self");
    const auto self = writer.dictionary({{key, 1}});
    EXPECT_EQ(parsePropertyListStrings(writer.finish(self)), PropertyListStrings{});
    std::string huge = valid;
    for (std::size_t i = huge.size() - 24; i < huge.size() - 16; ++i) {
        huge[i] = '\xFF'; // object count
    }
    EXPECT_FALSE(parsePropertyListStrings(huge));
}

TEST(PropertyListTest, HostileXmlIsLinearAndBounded) {
    const std::string deep = "<plist><dict><key>a</key>" + std::string(200'000, '\0');
    EXPECT_FALSE(parsePropertyListStrings(deep));
    std::string nested = "<plist><dict><key>deep</key>";
    for (int i = 0; i < 100'000; ++i) {
        nested += "<array>";
    }
    EXPECT_FALSE(parsePropertyListStrings(nested)) << "unterminated nesting, no stack overflow";
    for (int i = 0; i < 100'000; ++i) {
        nested += "</array>";
    }
    nested += "<key>k</key><string>v</string></dict></plist>";
    EXPECT_EQ(parsePropertyListStrings(nested), (PropertyListStrings{{"k", "v"}}));

    const std::string ampersands =
        "<plist><dict><key>a</key><string>" + std::string(1'000'000, '&') + "</string></dict>";
    EXPECT_EQ(parsePropertyListStrings(ampersands)->at("a").size(), 1'000'000u);

    const std::string valid = test::xmlPropertyList({{"CFBundleIdentifier", "com.example.foo"}});
    for (std::size_t i = 0; i < valid.size(); ++i) {
        (void)parsePropertyListStrings(std::string_view(valid).substr(0, i));
    }
}

TEST(PropertyListTest, ReadsOnlySmallRegularFiles) {
    test::TempTree tree;
    const auto good = tree.file("Info.plist", test::xmlPropertyList({{"A", "b"}}));
    EXPECT_EQ(readPropertyListFile(good), (PropertyListStrings{{"A", "b"}}));
    EXPECT_FALSE(readPropertyListFile(tree / "missing.plist"));
    EXPECT_FALSE(readPropertyListFile(tree.folder("folder.plist")));
    const auto fifo = tree / "fifo.plist";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(readPropertyListFile(fifo)) << "returns at once, without a writer";
    const auto big = tree.file("big.plist", test::xmlPropertyList({{"A", "b"}}),
                               static_cast<std::int64_t>(kMaximumPropertyListBytes) + 1);
    EXPECT_FALSE(readPropertyListFile(big));
}

} // namespace
} // namespace fernwick
