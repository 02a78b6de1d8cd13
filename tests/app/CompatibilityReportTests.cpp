#include "app/CompatibilityReport.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace brivio {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string kernel() {
    return "6.1.0-18-amd64";
}

ManagedDisplay display(std::string name, bool builtIn, DisplayCapabilities capabilities) {
    ManagedDisplay d;
    d.identity.modelName = std::move(name);
    d.isBuiltIn = builtIn;
    d.capabilities = capabilities;
    return d;
}

TEST(CompatibilityReport, DescribesAKnownMachineLineByLine) {
    testing::TempDir root;
    writeFile(fs::path(root.path()) / "etc/os-release",
              "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n");
    writeFile(fs::path(root.path()) / "sys/class/dmi/id/sys_vendor", "LENOVO\n");
    writeFile(fs::path(root.path()) / "sys/class/dmi/id/product_name", "20XWCTO1WW\n");
    MachineFacts facts = readMachineFacts(root.path(), kernel);
    facts.version = versionText("0.1.0");
    facts.build = buildText("");

    DisplayCapabilities native;
    native.supportsHardwareBrightness = true;
    DisplayCapabilities overlay;
    overlay.supportsOverlayDimming = true;
    overlay.supportsMute = true;
    overlay.hardwareBrightnessFallbackReason = FallbackReason::noDDC;
    std::string report = buildCompatibilityReport(
        facts, {display("Built-in Display", true, native), display("Office 24", false, overlay)});

    EXPECT_EQ(report, "Brivio 0.1.0 (?)\n"
                      "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64\n"
                      "Model: LENOVO 20XWCTO1WW\n"
                      "\n"
                      "Displays (2):\n"
                      "  [1] Built-in Display \u2014 Built-in\n"
                      "      brightness : hardware (DDC)\n"
                      "      contrast   : n/a\n"
                      "      volume     : n/a\n"
                      "      mute       : no\n"
                      "      inputSwitch: no\n"
                      "      powerOff   : no\n"
                      "  [2] Office 24 \u2014 External\n"
                      "      brightness : overlay (noDDC)\n"
                      "      contrast   : n/a\n"
                      "      volume     : n/a\n"
                      "      mute       : yes\n"
                      "      inputSwitch: no\n"
                      "      powerOff   : no\n"
                      "\n"
                      "--- Please describe the issue below ---\n");

    EXPECT_EQ(buildCompatibilityReport(MachineFacts{}, {}),
              "Brivio 1.0 (?)\n\nModel: \n\nDisplays (0):\n\n--- Please describe the issue below ---\n");
}

TEST(CompatibilityReport, FindsTheModelWhereverTheMachineKeepsIt) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> files;
        std::string os;
        std::string model;
    };
    const Case cases[] = {
        // A board without DMI: the device tree's zero-terminated model wins over cpuinfo.
        {{{"usr/lib/os-release", "PRETTY_NAME='Raspbian 11'\n"},
          {"sys/firmware/devicetree/base/model", std::string("Raspberry Pi 4 Model B Rev 1.4\0", 31)},
          {"proc/cpuinfo", "Hardware\t: BCM2835\nModel\t\t: Pi\n"}},
         "Raspbian 11, Linux 6.1.0-18-amd64",
         "Raspberry Pi 4 Model B Rev 1.4"},
        {{{"proc/cpuinfo", "processor\t: 0\nHardware\t: BCM2835\n"}}, "Linux 6.1.0-18-amd64", "BCM2835"},
        // Unfilled firmware fields say nothing; a product name already naming its maker is kept whole.
        {{{"sys/class/dmi/id/sys_vendor", "To Be Filled By O.E.M.\n"},
          {"sys/class/dmi/id/product_name", "Default string\n"}},
         "Linux 6.1.0-18-amd64",
         "unknown"},
        {{{"etc/os-release", "NAME=Fedora\nVERSION_ID=40\n"},
          {"sys/class/dmi/id/sys_vendor", "Dell Inc."},
          {"sys/class/dmi/id/product_name", "Dell Inc. XPS 13"}},
         "Fedora 40, Linux 6.1.0-18-amd64",
         "Dell Inc. XPS 13"},
    };
    for (const Case& c : cases) {
        testing::TempDir root;
        for (const auto& [path, text] : c.files)
            writeFile(fs::path(root.path()) / path, text);
        MachineFacts facts = readMachineFacts(root.path(), kernel);
        EXPECT_EQ(facts.osText, c.os);
        EXPECT_EQ(facts.model, c.model);
    }
}

TEST(CompatibilityReport, MailAddressCarriesTheWholeReport) {
    auto url =
        compatibilityMailURL("support@brivio.invalid", "A & B? x=1+2 #3\n[1] Studio \u2014 External\n");
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, "mailto:support@brivio.invalid?subject=Brivio%20Compatibility%20Report"
                    "&body=A%20%26%20B%3F%20x%3D1%2B2%20%233%0A%5B1%5D%20Studio%20%E2%80%94%20External%0A");

    EXPECT_FALSE(compatibilityMailURL("support@brivio.invalid", "bad \xC3("));
    EXPECT_FALSE(compatibilityMailURL("support@brivio.invalid", "overlong \xC0\xAF"));
    for (const char* address : {"", "support", "a b@x.invalid", "a@x.invalid?cc=evil@x.invalid", "@x"}) {
        EXPECT_FALSE(compatibilityMailURL(address, "report")) << address;
        EXPECT_FALSE(contactMailURL(address)) << address;
    }
    EXPECT_EQ(contactMailURL("support@brivio.invalid").value_or(""), "mailto:support@brivio.invalid");
}

} // namespace
} // namespace brivio
