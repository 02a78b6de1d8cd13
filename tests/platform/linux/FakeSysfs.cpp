#include "platform/linux/FakeSysfs.h"

#include <fstream>

namespace brivio::testing {

namespace fs = std::filesystem;

FakeSysfs::FakeSysfs() {
    fs::create_directories(root() / "class" / "drm");
    fs::create_directories(root() / "class" / "backlight");
    fs::create_directories(root() / "devices" / "pci0000:00" / "0000:00:02.0" / "drm");
    // Entries of class/drm that are not connectors.
    fs::create_directories(cardDir("card0-x"));
    fs::create_symlink(cardDir("card0-x"), root() / "class" / "drm" / "card0");
    write(root() / "class" / "drm" / "version", "drm 1.1.0 20060810\n");
}

void FakeSysfs::write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

fs::path FakeSysfs::cardDir(const std::string& connectorName) const {
    std::string card = connectorName.substr(0, connectorName.find('-'));
    return root() / "devices" / "pci0000:00" / "0000:00:02.0" / "drm" / card;
}

fs::path FakeSysfs::add(const FakeConnector& c) {
    fs::path dir = cardDir(c.name) / c.name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    write(dir / "status", c.status + "\n");
    write(dir / "enabled", c.enabled + "\n");
    write(dir / "edid", std::string(c.edid.begin(), c.edid.end()));
    if (c.ddcBus) {
        fs::path adapter =
            root() / "devices" / "pci0000:00" / "0000:00:02.0" / ("i2c-" + std::to_string(*c.ddcBus));
        fs::create_directories(adapter);
        fs::create_symlink(adapter, dir / "ddc");
    }
    if (c.auxBus)
        fs::create_directories(dir / ("i2c-" + std::to_string(*c.auxBus)));
    fs::path link = root() / "class" / "drm" / c.name;
    if (!fs::is_symlink(link))
        fs::create_symlink(dir, link);
    return dir;
}

void FakeSysfs::remove(const std::string& connectorName) {
    fs::remove(root() / "class" / "drm" / connectorName);
    fs::remove_all(cardDir(connectorName) / connectorName);
}

void FakeSysfs::addCardAdapter(int bus) {
    fs::create_directories(root() / "devices" / "pci0000:00" / "0000:00:02.0" /
                           ("i2c-" + std::to_string(bus)));
}

fs::path FakeSysfs::addBacklight(const std::string& name, const std::string& type, int brightness,
                                 int maxBrightness, const std::string& connector) {
    fs::path dir = connector.empty() ? root() / "devices" / "platform" / name / "backlight" / name
                                     : cardDir(connector) / connector / name;
    fs::create_directories(dir);
    write(dir / "type", type + "\n");
    write(dir / "brightness", std::to_string(brightness) + "\n");
    write(dir / "max_brightness", std::to_string(maxBrightness) + "\n");
    if (!connector.empty())
        fs::create_symlink(cardDir(connector) / connector, dir / "device");
    fs::create_symlink(dir, root() / "class" / "backlight" / name);
    return dir;
}

} // namespace brivio::testing
