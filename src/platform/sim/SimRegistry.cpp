#include "platform/sim/SimRegistry.h"

#include "platform/sim/Edid.h"

namespace brivio {

namespace {
PropertyValue number(std::uint32_t v) {
    return {std::int64_t(v)};
}

// Without a list of rotation paths the frame buffer turns the display; with one, only when listed.
std::optional<ScenarioRotationPath> rotationPath(const ScenarioDisplay& c, RotationPath path) {
    if (!c.rotationPaths)
        return path == RotationPath::framebuffer ? std::optional(ScenarioRotationPath{path, false})
                                                 : std::nullopt;
    for (auto& p : *c.rotationPaths)
        if (p.path == path)
            return p;
    return std::nullopt;
}
} // namespace

SimRegistry::SimRegistry(SimState& state, SimWindowServer& windowServer)
    : state_(state), windowServer_(windowServer) {
    for (auto& d : state_.displays) {
        if (d->config.services)
            addConfigured(*d, *d->config.services);
        else
            addDefaults(*d);
        addDisplayService(*d);
    }
}

void SimRegistry::addDisplayService(SimDisplay& d) {
    auto path = rotationPath(d.config, RotationPath::displayService);
    if (!path)
        return;
    Entry& e = add(d, "IODisplayService");
    e.hidden = true;
    e.rotates = true;
    e.refusesRotation = path->fails;
}

std::optional<RegistryService> SimRegistry::displayServiceOf(const SimDisplay& display) const {
    for (auto& e : entries_)
        if (e.display == &display && e.hidden && display.connected)
            return e.service;
    return std::nullopt;
}

SimRegistry::Entry& SimRegistry::add(SimDisplay& display, std::string className) {
    std::size_t ordinal = 0;
    for (auto& e : entries_)
        ordinal += e.display == &display;
    // Readable in logs: the display's index in the upper digits, its service below.
    RegistryID id = 0x100000000ull + 0x1000ull * (display.index + 1) + ordinal + 1;
    entries_.push_back(
        {{id, std::move(className)}, &display, {}, false, false, false, false, false, std::nullopt});
    return entries_.back();
}

void SimRegistry::addDefaults(SimDisplay& d) {
    const ScenarioDisplay& c = d.config;
    auto edid = makeEdid(c.vendor, c.product, c.serial, c.name, std::uint32_t(c.bounds.width),
                         std::uint32_t(c.bounds.height), c.refreshRate);
    Entry& display = add(d, "AppleDisplay");
    display.properties = {{"DisplayVendorID", number(c.vendor)},
                          {"DisplayProductID", number(c.product)},
                          {"DisplaySerialNumber", number(c.serial)},
                          {"EDID", {edid}}};
    RegistryID displayID = display.service.registryID;
    if (c.builtIn)
        return;
    Entry& av = add(d, "DCPAVServiceProxy");
    av.properties = {{"DisplayVendorID", number(c.vendor)},         {"DisplayProductID", number(c.product)},
                     {"DisplaySerialNumber", number(c.serial)},     {"DisplayUnit", number(c.unit)},
                     {"IOAVServiceUserInterfaceSupported", {true}}, {"Location", {std::string("External")}}};
    av.i2c = true;
    av.parent = displayID;
    auto path = rotationPath(c, RotationPath::framebuffer);
    if (!path)
        return;
    Entry& framebuffer = add(d, "IOFramebuffer");
    framebuffer.properties = {{"IOFramebufferUnitNumber", number(c.unit)}};
    framebuffer.rotates = true;
    framebuffer.refusesRotation = path->fails;
}

void SimRegistry::addConfigured(SimDisplay& d, const std::vector<ScenarioService>& services) {
    const ScenarioDisplay& c = d.config;
    for (const ScenarioService& s : services) {
        Entry& e = add(d, s.className);
        PropertyDictionary attributes;
        PropertyDictionary& ids = s.attributesOnly ? attributes : e.properties;
        if (s.vendor)
            ids["DisplayVendorID"] = number(*s.vendor);
        if (s.product)
            ids["DisplayProductID"] = number(*s.product);
        if (s.attributesOnly)
            e.properties["IODisplayAttributes"] = {attributes};
        if (s.serial)
            e.properties["DisplaySerialNumber"] = number(*s.serial);
        if (s.unit)
            e.properties[s.unitKey] = number(*s.unit);
        if (s.avCapable)
            e.properties["IOAVServiceUserInterfaceSupported"] = {true};
        if (s.edid)
            e.properties["EDID"] = {makeEdid(c.vendor, c.product, c.serial, c.name,
                                             std::uint32_t(c.bounds.width), std::uint32_t(c.bounds.height),
                                             c.refreshRate)};
        e.propertiesUnreadable = s.propertiesUnreadable;
        e.i2c = s.i2c.value_or(s.avCapable);
        auto path = rotationPath(c, RotationPath::framebuffer);
        e.rotates = s.className == "IOFramebuffer" && path;
        e.refusesRotation = path && path->fails;
    }
}

const SimRegistry::Entry* SimRegistry::find(const RegistryService& service) const {
    for (auto& e : entries_)
        if (e.service.registryID == service.registryID)
            return e.display->connected ? &e : nullptr;
    return nullptr;
}

ServiceListing SimRegistry::matchingServices(std::string_view className) {
    if (auto it = matchingResults_.find(className); it != matchingResults_.end())
        return {it->second, {}};
    ServiceListing out;
    for (auto& e : entries_)
        if (e.display->connected && !e.hidden && e.service.className == className)
            out.services.push_back(e.service);
    return out;
}

std::optional<PropertyDictionary> SimRegistry::properties(const RegistryService& service) {
    auto e = find(service);
    if (!e || e->propertiesUnreadable)
        return std::nullopt;
    return e->properties;
}

std::optional<PropertyValue> SimRegistry::property(const RegistryService& service, std::string_view key) {
    auto e = find(service);
    if (!e)
        return std::nullopt;
    auto it = e->properties.find(std::string(key));
    return it == e->properties.end() ? std::nullopt : std::optional(it->second);
}

std::optional<PropertyValue> SimRegistry::searchPropertyWithParents(const RegistryService& service,
                                                                    std::string_view key) {
    const Entry* e = find(service);
    for (int depth = 0; e && depth < 16; ++depth) {
        auto it = e->properties.find(std::string(key));
        if (it != e->properties.end())
            return it->second;
        e = e->parent ? find({*e->parent, {}}) : nullptr;
    }
    return std::nullopt;
}

int SimRegistry::setIntegerParameter(const RegistryService& service, std::string_view parameter,
                                     std::int32_t value) {
    auto e = find(service);
    if (!e || !e->rotates || e->refusesRotation || parameter != "Rotation")
        return SimResult::unsupported;
    if (value != 0 && value != 90 && value != 180 && value != 270)
        return SimResult::badArgument;
    windowServer_.setRotation(*e->display, value);
    return 0;
}

SimDisplay* SimRegistry::displayOf(const RegistryService& service) const {
    auto e = find(service);
    return e ? e->display : nullptr;
}

bool SimRegistry::carriesI2C(const RegistryService& service) const {
    auto e = find(service);
    return e && e->i2c;
}

std::vector<RegistryService> SimRegistry::servicesOf(const SimDisplay& display) const {
    std::vector<RegistryService> out;
    for (auto& e : entries_)
        if (e.display == &display)
            out.push_back(e.service);
    return out;
}

void SimRegistry::setMatchingResult(const std::string& className, int result) {
    if (result == 0)
        matchingResults_.erase(className);
    else
        matchingResults_[className] = result;
}

} // namespace brivio
