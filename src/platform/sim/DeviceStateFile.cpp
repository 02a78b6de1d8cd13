#include "platform/sim/DeviceStateFile.h"

#include "base/BoundedJson.h"
#include "platform/sim/SimDesk.h"

#include <cstdio>
#include <filesystem>
#include <fmt/format.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace brivio {

namespace {

// The values of 32 displays take a few kilobytes.
constexpr JsonLimits stateLimits{1u << 20, 8};

std::string codeKey(std::uint8_t code) {
    return fmt::format("0x{:02X}", code);
}

} // namespace

std::string loadDeviceState(SimDesk& desk, const std::string& path) {
    BoundedRead file = readBoundedFile(path, stateLimits.maxBytes);
    if (file.status == BoundedReadStatus::missing)
        return {};
    if (file.status != BoundedReadStatus::ok)
        return fmt::format("{}: {}; the scenario's device values are used", path, file.error);
    JsonReadError error;
    auto parsed = parseBoundedJson(file.contents, stateLimits, &error);
    if (!parsed)
        return escapeControlCharacters(
            fmt::format("{}: {}{}expected {}; the scenario's device values are used", path, error.path,
                        error.path.empty() ? "" : ": ", error.expected));
    const nlohmann::json& state = *parsed;
    try {
        if (!state.is_object())
            return fmt::format("{}: expected an object; the scenario's device values are used", path);
        for (std::size_t i = 0; i < desk.displayCount(); ++i) {
            auto entry = state.find(desk.stableKey(i));
            if (entry == state.end() || !entry->is_object())
                continue;
            if (auto native = entry->find("native"); native != entry->end() && native->is_number())
                desk.setNativeBrightness(i, native->get<float>());
            // A mode or rotation kept in an earlier run stays, as the window server keeps it.
            if (auto mode = entry->find("mode"); mode != entry->end() && mode->is_number_unsigned())
                desk.setCurrentMode(i, mode->get<std::size_t>());
            if (auto angle = entry->find("rotation"); angle != entry->end() && angle->is_number())
                desk.setRotationAngle(i, angle->get<double>());
            auto& ddc = desk.scenario().displays[i].ddc;
            auto vcp = entry->find("vcp");
            if (!ddc || vcp == entry->end() || !vcp->is_object())
                continue;
            for (auto& [code, feature] : ddc->vcp)
                if (auto value = vcp->find(codeKey(code));
                    value != vcp->end() && value->is_number_unsigned() && *value <= 0xFFFF)
                    desk.setVcpValue(i, code, value->get<std::uint16_t>());
        }
    } catch (const nlohmann::json::exception& e) {
        return fmt::format("{}: {}; the scenario's device values are used", path, e.what());
    }
    return {};
}

void saveDeviceState(SimDesk& desk, const std::string& path) {
    nlohmann::json state = nlohmann::json::object();
    for (std::size_t i = 0; i < desk.displayCount(); ++i) {
        nlohmann::json entry = nlohmann::json::object();
        if (auto native = desk.nativeBrightness(i))
            entry["native"] = *native;
        if (!desk.scenario().displays[i].modes.empty())
            entry["mode"] = desk.currentMode(i);
        entry["rotation"] = desk.rotationAngle(i);
        if (auto& ddc = desk.scenario().displays[i].ddc) {
            nlohmann::json vcp = nlohmann::json::object();
            for (auto& [code, feature] : ddc->vcp)
                if (auto value = desk.vcpValue(i, code))
                    vcp[codeKey(code)] = *value;
            entry["vcp"] = vcp;
        }
        state[desk.stableKey(i)] = entry;
    }
    std::filesystem::path target(path);
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path());
    std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << state.dump(2) << "\n";
        if (!file.flush())
            throw std::runtime_error(fmt::format("could not write {}", temporary));
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error)
        throw std::runtime_error(fmt::format("could not replace {}: {}", path, error.message()));
}

std::string openDeskState(SimDesk& desk, const std::string& directory, const std::string& scenarioFile,
                          std::string& problem) {
    std::string prefix = directory + "/sim-" + std::filesystem::path(scenarioFile).stem().string();
    std::string devices = prefix + ".json";
    problem = loadDeviceState(desk, devices);
    desk.persistGammaState(prefix + "-gamma.json");
    return devices;
}

} // namespace brivio
