#include "drivers/DisplayTopology.h"

#include "base/Log.h"

#include <algorithm>
#include <fmt/format.h>

namespace brivio {

namespace {

constexpr LogCategory topologyLog = LogCategory::discovery;

std::uint32_t numberOrZero(const PropertyDictionary& properties, const char* key) {
    auto it = properties.find(key);
    if (it == properties.end())
        return 0;
    return it->second.asUInt32().value_or(0);
}

// The first key that holds a usable number wins; an unusable "Unit" ends the search.
std::optional<std::uint32_t> unitNumberOf(const PropertyDictionary& properties) {
    for (const char* key : {"IOFramebufferOpenGLIndex", "IOFramebufferUnitNumber", "DisplayUnit"}) {
        auto it = properties.find(key);
        if (it == properties.end())
            continue;
        if (auto unit = it->second.asUInt32())
            return unit;
    }
    auto it = properties.find("Unit");
    if (it == properties.end())
        return std::nullopt;
    return it->second.asUInt32();
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const auto& part : parts) {
        if (!text.empty())
            text += separator;
        text += part;
    }
    return text;
}

std::vector<DisplayInfo> enumerateDisplays(WindowServer& windowServer) {
    auto numbers = windowServer.onlineDisplays().value_or(std::vector<DisplayNumber>{});
    if (numbers.size() > WindowServer::maxDisplays)
        numbers.resize(WindowServer::maxDisplays);
    logInfo(topologyLog, "CG online displays: {}", numbers.size());
    std::vector<DisplayInfo> displays;
    for (DisplayNumber number : numbers) {
        DisplayInfo d;
        d.cgID = number;
        d.vendorID = windowServer.vendorNumber(number);
        d.productID = windowServer.modelNumber(number);
        d.serial = windowServer.serialNumber(number);
        d.isBuiltIn = windowServer.isBuiltin(number);
        d.modelName =
            d.isBuiltIn ? "Built-in Display" : fmt::format("Display-{:04X}/{:04X}", d.vendorID, d.productID);
        d.unitNumber = windowServer.unitNumber(number);
        logInfo(topologyLog, "  {}", description(d));
        displays.push_back(std::move(d));
    }
    return displays;
}

std::vector<IOServiceSnapshot> enumerateServices(Registry& registry, const TopologyClasses& classes) {
    logInfo(topologyLog, "IOKit service enumeration:");
    std::vector<IOServiceSnapshot> services;
    for (const auto& className : classes.serviceClasses) {
        ServiceListing listing = registry.matchingServices(className);
        if (listing.result != 0) {
            logInfo(topologyLog, "  {}: IOServiceGetMatchingServices failed kr={}", className,
                    listing.result);
            continue;
        }
        for (const auto& service : listing.services) {
            IOServiceSnapshot snapshot = snapshotService(registry, service);
            // Filed under the class it was asked for, whatever the backend reports.
            snapshot.className = className;
            logInfo(topologyLog, "  {}", description(snapshot));
            logDebug(topologyLog, "  keys: {}", joined(snapshot.allKeys, ", "));
            services.push_back(std::move(snapshot));
        }
        if (listing.services.empty())
            logInfo(topologyLog, "  {}: 0 services found", className);
    }
    return services;
}

std::vector<IOServiceSnapshot> matchDisplay(const DisplayInfo& d, const std::vector<IOServiceSnapshot>& all,
                                            const std::vector<IOServiceSnapshot>& avCapable) {
    std::vector<IOServiceSnapshot> matched;
    // A service that names its display belongs to that display alone: two units of one model stay
    // apart even when one of them does not answer.
    for (const auto& s : all)
        if (s.displayNumber == d.cgID)
            matched.push_back(s);
    if (!matched.empty())
        return matched;
    auto untied = [](const IOServiceSnapshot& s) { return !s.displayNumber; };
    for (const auto& s : all)
        if (untied(s) && s.vendorID != 0 && s.vendorID == d.vendorID && s.productID == d.productID)
            matched.push_back(s);
    if (matched.empty())
        for (const auto& s : all)
            if (untied(s) && s.unitNumber && *s.unitNumber == d.unitNumber)
                matched.push_back(s);
    std::vector<IOServiceSnapshot> candidates;
    std::copy_if(avCapable.begin(), avCapable.end(), std::back_inserter(candidates), untied);
    // The built-in panel has its own brightness path and never takes an AV candidate.
    if (matched.empty() && !d.isBuiltIn && !candidates.empty()) {
        matched = candidates;
        std::vector<std::string> names;
        for (const auto& s : candidates)
            names.push_back(s.className);
        logInfo(topologyLog, "  CG[{}] unmatched by VID/PID — assigning {} AV candidate(s): {}", d.cgID,
                candidates.size(), joined(names, ", "));
    }
    return matched;
}

} // namespace

IOServiceSnapshot snapshotService(Registry& registry, const RegistryService& service) {
    IOServiceSnapshot s;
    s.className = service.className;
    s.registryID = service.registryID;
    if (auto properties = registry.properties(service)) {
        s.vendorID = numberOrZero(*properties, "DisplayVendorID");
        s.productID = numberOrZero(*properties, "DisplayProductID");
        s.serial = numberOrZero(*properties, "DisplaySerialNumber");
        s.unitNumber = unitNumberOf(*properties);
        s.isAVServiceCapable = properties->count("IOAVServiceUserInterfaceSupported") > 0;
        if (auto it = properties->find(displayNumberProperty); it != properties->end())
            s.displayNumber = it->second.asUInt32();
        for (const auto& entry : *properties)
            s.allKeys.push_back(entry.first);
        std::sort(s.allKeys.begin(), s.allKeys.end());
    }
    if (s.vendorID == 0 || s.productID == 0) {
        auto attributes = registry.property(service, "IODisplayAttributes");
        if (const PropertyDictionary* dict = attributes ? attributes->asDictionary() : nullptr) {
            if (s.vendorID == 0)
                s.vendorID = numberOrZero(*dict, "DisplayVendorID");
            if (s.productID == 0)
                s.productID = numberOrZero(*dict, "DisplayProductID");
        }
    }
    return s;
}

DisplayTopology buildTopology(WindowServer& windowServer, Registry& registry,
                              const TopologyClasses& classes) {
    std::vector<DisplayInfo> displays = enumerateDisplays(windowServer);
    std::vector<IOServiceSnapshot> services = enumerateServices(registry, classes);
    std::vector<IOServiceSnapshot> avCapable;
    std::copy_if(services.begin(), services.end(), std::back_inserter(avCapable),
                 [](const IOServiceSnapshot& s) { return s.isAVServiceCapable; });
    DisplayTopology topology;
    for (const auto& d : displays)
        topology.push_back({d, matchDisplay(d, services, avCapable)});

    logInfo(topologyLog, "━━━ Display Topology ({} CG display(s)) ━━━", topology.size());
    for (const auto& entry : topology)
        logInfo(topologyLog, "{}", description(entry));
    std::string closing;
    for (int i = 0; i < 56; ++i)
        closing += "━";
    logInfo(topologyLog, "{}", closing);
    return topology;
}

std::optional<std::string> preferredClassName(const DisplayTopologyEntry& entry,
                                              const TopologyClasses& classes) {
    const auto& services = entry.matchedServices;
    for (const auto& name : classes.preferredOrder)
        if (std::any_of(services.begin(), services.end(),
                        [&](const IOServiceSnapshot& s) { return s.className == name; }))
            return name;
    if (services.empty())
        return std::nullopt;
    return services.front().className;
}

std::string description(const DisplayInfo& d) {
    return fmt::format("CG[{}] \"{}\" v={:04X} p={:04X} s={} unit={} builtIn={}", d.cgID, d.modelName,
                       d.vendorID, d.productID, d.serial, d.unitNumber, d.isBuiltIn);
}

std::string description(const IOServiceSnapshot& s) {
    std::vector<std::string> parts{fmt::format("{}[{:X}]", s.className, s.registryID)};
    if (s.vendorID != 0 || s.productID != 0)
        parts.push_back(fmt::format("v={:04X} p={:04X} s={}", s.vendorID, s.productID, s.serial));
    if (s.modelName)
        parts.push_back(*s.modelName);
    if (s.unitNumber)
        parts.push_back(fmt::format("unit={}", *s.unitNumber));
    if (s.displayNumber)
        parts.push_back(fmt::format("display={}", *s.displayNumber));
    if (s.isAVServiceCapable)
        parts.push_back("IOAVService✓");
    return joined(parts, " ");
}

std::string description(const DisplayTopologyEntry& entry) {
    std::string text = "  " + description(entry.display);
    for (const auto& s : entry.matchedServices)
        text += "\n    ✓ " + description(s);
    if (entry.matchedServices.empty())
        text += "\n    ✗ no IOKit service matched";
    return text;
}

} // namespace brivio
