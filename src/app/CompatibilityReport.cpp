#include "app/CompatibilityReport.h"

#include "model/FallbackReason.h"

#include <array>
#include <fstream>
#include <sstream>
#include <sys/utsname.h>

namespace brivio {

namespace {

std::string trimmed(std::string_view s) {
    const char* space = " \t\r\n";
    auto first = s.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    auto last = s.find_last_not_of(space);
    return std::string(s.substr(first, last - first + 1));
}

std::optional<std::string> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A firmware text: up to its terminating zero, without surrounding blanks.
std::string firmwareText(const std::filesystem::path& path) {
    auto text = readFile(path).value_or("");
    return trimmed(std::string_view(text).substr(0, text.find('\0')));
}

// Firmware that was never filled in by the maker says so in one of these ways.
bool isPlaceholder(const std::string& value) {
    static constexpr std::array placeholders{"",
                                             "To Be Filled By O.E.M.",
                                             "To be filled by O.E.M.",
                                             "Default string",
                                             "System manufacturer",
                                             "System Product Name",
                                             "Not Applicable",
                                             "Not Specified"};
    for (const char* p : placeholders)
        if (value == p)
            return true;
    return false;
}

// An os-release value: shell-style quoting with backslash escapes.
std::string osReleaseValue(std::string_view raw) {
    std::string value = trimmed(raw);
    if (value.size() < 2 || (value.front() != '"' && value.front() != '\'') || value.back() != value.front())
        return value;
    char quote = value.front();
    std::string out;
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (quote == '"' && value[i] == '\\' && i + 2 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

std::optional<std::string> osReleaseField(const std::string& text, std::string_view field) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > field.size() && line.compare(0, field.size(), field) == 0 &&
            line[field.size()] == '=') {
            auto value = osReleaseValue(std::string_view(line).substr(field.size() + 1));
            if (!value.empty())
                return value;
        }
    }
    return std::nullopt;
}

std::string distributionName(const std::filesystem::path& root) {
    auto text = readFile(root / "etc/os-release");
    if (!text)
        text = readFile(root / "usr/lib/os-release");
    if (!text)
        return {};
    if (auto pretty = osReleaseField(*text, "PRETTY_NAME"))
        return *pretty;
    auto name = osReleaseField(*text, "NAME").value_or("");
    auto version = osReleaseField(*text, "VERSION_ID");
    return version ? trimmed(name + " " + *version) : name;
}

// The "Model" line of a board's cpuinfo, else its "Hardware" line.
std::string cpuinfoModel(const std::filesystem::path& root) {
    auto text = readFile(root / "proc/cpuinfo");
    if (!text)
        return {};
    std::string hardware;
    std::istringstream lines(*text);
    for (std::string line; std::getline(lines, line);) {
        auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        auto key = trimmed(std::string_view(line).substr(0, colon));
        auto value = trimmed(std::string_view(line).substr(colon + 1));
        if (key == "Model" && !value.empty())
            return value;
        if (key == "Hardware" && hardware.empty())
            hardware = value;
    }
    return hardware;
}

std::string machineModel(const std::filesystem::path& root) {
    auto dmi = root / "sys/class/dmi/id";
    auto vendor = firmwareText(dmi / "sys_vendor");
    auto product = firmwareText(dmi / "product_name");
    if (isPlaceholder(vendor))
        vendor.clear();
    if (isPlaceholder(product))
        product.clear();
    if (!product.empty())
        // Some makers repeat their name in the product name.
        return vendor.empty() || product.rfind(vendor, 0) == 0 ? product : vendor + " " + product;
    if (!vendor.empty())
        return vendor;
    if (auto tree = firmwareText(root / "sys/firmware/devicetree/base/model"); !tree.empty())
        return tree;
    return cpuinfoModel(root);
}

std::string unameRelease() {
    utsname names{};
    if (uname(&names) != 0)
        return {};
    return names.release;
}

std::string brightnessPath(const DisplayCapabilities& c) {
    if (c.supportsHardwareBrightness)
        return "hardware (DDC)";
    if (c.softwareDimmingUnavailable)
        return "none, software dimming unavailable: " + *c.softwareDimmingUnavailable;
    if (!c.hardwareBrightnessFallbackReason)
        return "overlay";
    return "overlay (" + std::string(toString(*c.hardwareBrightnessFallbackReason)) + ")";
}

const char* yesNo(bool on) {
    return on ? "yes" : "no";
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t length = c < 0x80           ? 1
                             : (c >> 5) == 0x6  ? 2
                             : (c >> 4) == 0xE  ? 3
                             : (c >> 3) == 0x1E ? 4
                                                : 0;
        if (length == 0 || i + length > s.size())
            return false;
        std::uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past the last code point.
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

// A deployment value, but one that ends up inside a URL: only a plain local@domain address.
bool plainMailAddress(std::string_view address) {
    auto at = address.find('@');
    if (at == std::string_view::npos || at == 0 || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string_view::npos)
        return false;
    for (char c : address) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  std::string_view("@.-_+").find(c) != std::string_view::npos;
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

std::string versionText(std::string_view raw) {
    return raw.empty() ? "1.0" : std::string(raw);
}

std::string buildText(std::string_view raw) {
    return raw.empty() ? "?" : std::string(raw);
}

MachineFacts readMachineFacts(const std::filesystem::path& root,
                              const std::function<std::string()>& kernelRelease) {
    MachineFacts facts;
    auto distribution = distributionName(root);
    auto kernel = trimmed(kernelRelease ? kernelRelease() : unameRelease());
    std::string system = kernel.empty() ? "Linux" : "Linux " + kernel;
    facts.osText = distribution.empty() ? system : distribution + ", " + system;
    facts.model = machineModel(root);
    if (facts.model.empty())
        facts.model = "unknown";
    return facts;
}

std::string buildCompatibilityReport(const MachineFacts& facts, const std::vector<ManagedDisplay>& displays) {
    std::vector<std::string> lines;
    lines.push_back("Brivio " + facts.version + " (" + facts.build + ")");
    lines.push_back(facts.osText);
    lines.push_back("Model: " + facts.model);
    lines.push_back("");
    lines.push_back("Displays (" + std::to_string(displays.size()) + "):");
    int number = 1;
    for (const ManagedDisplay& d : displays) {
        const DisplayCapabilities& c = d.capabilities;
        lines.push_back("  [" + std::to_string(number++) + "] " + d.identity.modelName + " \u2014 " +
                        (d.isBuiltIn ? "Built-in" : "External"));
        lines.push_back("      brightness : " + brightnessPath(c));
        lines.push_back(std::string("      contrast   : ") +
                        (c.supportsHardwareContrast ? "hardware" : "n/a"));
        lines.push_back(std::string("      volume     : ") + (c.supportsHardwareVolume ? "hardware" : "n/a"));
        lines.push_back(std::string("      mute       : ") + yesNo(c.supportsMute));
        lines.push_back(std::string("      inputSwitch: ") + yesNo(c.supportsInputSwitch));
        lines.push_back(std::string("      powerOff   : ") + yesNo(c.supportsPowerOff));
    }
    lines.push_back("");
    lines.push_back("--- Please describe the issue below ---");
    lines.push_back("");
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i ? "\n" : "") + lines[i];
    return text;
}

std::optional<std::string> percentEncodeQueryValue(std::string_view text) {
    if (!validUtf8(text))
        return std::nullopt;
    static constexpr std::string_view kept = "-._~!$'()*,;:@/";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum || kept.find(ch) != std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

std::optional<std::string> compatibilityMailURL(std::string_view supportAddress, std::string_view report) {
    auto subject = percentEncodeQueryValue(compatibilityReportSubject);
    auto body = percentEncodeQueryValue(report);
    if (!subject || !body || !plainMailAddress(supportAddress))
        return std::nullopt;
    return "mailto:" + std::string(supportAddress) + "?subject=" + *subject + "&body=" + *body;
}

std::optional<std::string> contactMailURL(std::string_view supportAddress) {
    if (!plainMailAddress(supportAddress))
        return std::nullopt;
    return "mailto:" + std::string(supportAddress);
}

} // namespace brivio
