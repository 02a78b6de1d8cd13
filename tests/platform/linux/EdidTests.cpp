#include "platform/linux/Edid.h"
#include "platform/linux/EdidData.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

namespace brivio {
namespace {

using namespace brivio::testing;

TEST(Edid, ReadsEveryRealEdidAsTheManifestSays) {
    std::string dir = edidDir();
    std::ifstream in(dir + "/manifest.json");
    ASSERT_TRUE(in) << "no EDID manifest in " << dir;
    auto manifest = nlohmann::json::parse(in);
    // These files hold a two-block EDID twice in a row; the manifest counts the copy as blocks.
    const std::map<std::string, int> blocksDeclared{{"822A19C90ADD.bin", 2}, {"7FF2973F5053.bin", 2}};

    auto text = [](const nlohmann::json& j) {
        return j.is_null() ? std::nullopt : std::optional(j.get<std::string>());
    };
    int parsed = 0;
    for (const auto& entry : manifest) {
        std::string file = entry.at("file");
        SCOPED_TRACE(file);
        if (entry.value("damaged", false))
            continue; // checked one by one below
        std::string error;
        auto edid = parseEdid(readFile(dir + "/" + file), &error);
        ASSERT_TRUE(edid) << error;
        ++parsed;
        EXPECT_EQ(edid->pnpId, entry.at("pnpId"));
        EXPECT_EQ(edid->vendorId, entry.at("vendorId"));
        EXPECT_EQ(edid->productId, entry.at("productId"));
        EXPECT_EQ(edid->serial, entry.at("serial"));
        EXPECT_EQ(edid->week, entry.at("week"));
        EXPECT_EQ(edid->year, entry.at("year"));
        EXPECT_EQ(edid->version, entry.at("version"));
        auto declared = blocksDeclared.find(file);
        EXPECT_EQ(edid->blocks,
                  declared != blocksDeclared.end() ? declared->second : entry.at("blocks").get<int>());
        EXPECT_EQ(edid->digital, entry.at("digital"));
        EXPECT_EQ(edid->checksumOk, entry.at("checksumOk"));
        EXPECT_EQ(edid->name, text(entry.at("name")));
        EXPECT_EQ(edid->serialString, text(entry.at("serialString")));
    }
    EXPECT_GE(parsed, 120);
    std::cout << "parsed " << parsed << " real EDIDs\n";
}

TEST(Edid, DamagedDataIsRejectedOrReported) {
    std::string dir = edidDir();
    std::string error;
    EXPECT_FALSE(parseEdid(readFile(dir + "/damaged-truncated.bin"), &error));
    EXPECT_EQ(error, "EDID shorter than 128 bytes");
    EXPECT_FALSE(parseEdid(readFile(dir + "/damaged-allff.bin"), &error));
    EXPECT_EQ(error, "EDID header missing");
    auto bad = parseEdid(readFile(dir + "/damaged-checksum.bin"));
    ASSERT_TRUE(bad);
    EXPECT_FALSE(bad->checksumOk);
    EXPECT_EQ(bad->blocks, 1);
}

TEST(Edid, DescriptorTextIsCutTrimmedAndDecoded) {
    struct Case {
        std::string raw;
        std::string text;
    };
    const Case cases[] = {
        {"DELL U2415\n  ", "DELL U2415"},      {"  \tPanel\r\n", "Panel"},
        {std::string("AB\0\0\0\0", 6), "AB"},  {"first\nsecond", "first"},
        {"1234567890ABCDEF", "1234567890ABC"}, // 13 bytes at most
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        auto edid = makeEdid(0x10AC, 0xA0C4, 0);
        setDescriptor(edid, 1, 0xFC, c.raw);
        setDescriptor(edid, 2, 0xFF, c.raw);
        setDescriptor(edid, 3, 0xFC, "later name");
        auto parsed = parseEdid(edid);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->name, c.text);
        EXPECT_EQ(parsed->serialString, c.text);
    }
}

TEST(Edid, BlocksAndChecksumsCoverOnlyTheExtensionsPresent) {
    auto edid = makeEdid(0x10AC, 1, 7);
    edid[126] = 3; // claims three extensions, carries one
    edid.resize(256, 0);
    edid[128] = 0x02;
    fixChecksums(edid);
    auto parsed = parseEdid(edid);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->blocks, 2);
    EXPECT_TRUE(parsed->checksumOk);

    edid[200] ^= 0x01; // the extension is damaged, the base block is not
    EXPECT_FALSE(parseEdid(edid)->checksumOk);

    edid.resize(200); // a partial trailing block is not read
    EXPECT_EQ(parseEdid(edid)->blocks, 1);
}

TEST(Edid, PreferredModeComesFromTheFirstDetailedTiming) {
    auto panel = parseEdid(readFile(edidDir() + "/C8D6E1541720.bin"));
    ASSERT_TRUE(panel && panel->preferredMode);
    EXPECT_EQ(panel->preferredMode->width, 1920u);
    EXPECT_EQ(panel->preferredMode->height, 1080u);
    EXPECT_NEAR(panel->preferredMode->refreshRate, 60.05, 0.01);
    // A first slot that is a descriptor means no preferred timing.
    EXPECT_FALSE(parseEdid(makeEdid(1, 2, 3))->preferredMode);
}

TEST(Edid, VendorLettersOutsideTheAlphabetKeepTheirAsciiNeighbours) {
    EXPECT_EQ(parseEdid(makeEdid(0x10AC, 0, 0))->pnpId, "DEL");
    EXPECT_EQ(parseEdid(makeEdid(0x0000, 0, 0))->pnpId, "@@@");
    EXPECT_EQ(parseEdid(makeEdid(0xFFFF, 0, 0))->pnpId, "___"); // the top bit is not a letter
}

} // namespace
} // namespace brivio
