// The agent's bus service on a private bus: every member, the change signals and the named errors.
#include "app/bus/AgentOnBus.h"
#include "app/bus/VariantJson.h"
#include "settings/BrightnessPreset.h"

#include <cmath>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <set>

namespace brivio {
namespace {

using nlohmann::json;
using testing::AgentOnBus;
using testing::BusClient;
namespace errors = bus::errors;

const char* const D = bus::displaysInterface;
const char* const M = bus::modesInterface;
const char* const A = bus::automationInterface;
const std::string panelKey = "v1552-p41139-s0-u0", studioKey = "v16-p48-s5", officeKey = "v7789-p1101-s81234";

#define START_AGENT(scenario)                                                                                \
    auto agent = AgentOnBus::start(scenario);                                                                \
    if (!agent)                                                                                              \
    GTEST_SKIP() << "no dbus-daemon to start a private bus"

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

json list(BusClient& client, const char* interface, const char* method) {
    return bus::toJson(client.get<std::vector<bus::VariantMap>>(interface, method));
}

TEST(AgentBus, DisplaysAndLevelsFollowThePanelsRulesAndSignalEveryChange) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    std::vector<std::tuple<std::string, std::string, double>> levels;
    client.listen(D, "LevelChanged", [&](sdbus::Signal& s) {
        std::string key, control;
        double level = 0;
        s >> key >> control >> level;
        levels.emplace_back(key, control, level);
    });

    auto displays = list(client, D, "GetDisplays");
    ASSERT_EQ(displays.size(), 3u);
    EXPECT_EQ(displays[1]["stableKey"], studioKey);
    EXPECT_EQ(displays[1]["driver"], "ddc");
    EXPECT_EQ(displays[1]["index"], 2u);
    EXPECT_EQ(displays[2]["driver"], "overlay");
    EXPECT_EQ(displays[2]["capabilities"]["hardwareBrightnessFallbackReason"], "noDDC");
    EXPECT_FALSE(displays[2].contains("brightness")) << "nothing remembered: left out";
    EXPECT_DOUBLE_EQ(client.get<double>(D, "GetLevel", "2", "brightness"), 0.6);

    // As the slider: the active preset ends, the solar curve pauses, the monitor follows.
    agent->preferences().setSolarCurveEnabled(true);
    agent->preferences().setActivePresetID(builtInPresets()[0].id);
    client.call(D, "SetLevel", studioKey, std::string("brightness"), 0.4, false);
    agent->advance(1s);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x10), 40);
    EXPECT_FALSE(agent->preferences().globalActivePresetIDStr());
    EXPECT_TRUE(agent->preferences().solarPausedUntil());
    auto heard = [&](const std::string& key, const char* control, double level) {
        return agent->serve([&] {
            return std::find(levels.begin(), levels.end(), std::tuple{key, std::string(control), level}) !=
                   levels.end();
        });
    };
    EXPECT_TRUE(heard(studioKey, "brightness", 0.4));

    // Relative and for all: each display from its own level, held in range.
    auto targets = client.get<std::map<std::string, double>>(D, "ChangeLevel", std::string("all"),
                                                             std::string("brightness"), 0.5, true);
    EXPECT_DOUBLE_EQ(targets[studioKey], 0.9);
    EXPECT_EQ(targets[panelKey], 1.0);
    EXPECT_EQ(targets[officeKey], 1.0);
    client.call(D, "SetLevel", std::string("all"), std::string("contrast"), 0.3, false);
    agent->advance(2s);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x10), 90);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x12), 30) << "only the monitor that has contrast";

    // Changes nobody asked the bus for are signalled too: the keyboard's keys on the built-in panel.
    agent->desk().setNativeBrightness(0, 0.25f);
    agent->advance(3s);
    EXPECT_TRUE(heard(panelKey, "brightness", 0.25));

    // Steps are the hot keys': every display steps and the indicator shows.
    auto shows = agent->desk().indicatorShows().size();
    client.call(D, "StepDown");
    agent->advance(1s);
    EXPECT_EQ(agent->desk().indicatorShows().size(), shows + 3);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x10), 84);
}

TEST(AgentBus, BadRequestsGetANamedErrorAndChangeNothing) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    agent->store().flush();
    std::string settings = agent->configDir() + "/settings.json";
    auto fileBefore = readFile(settings);
    auto vcp = [&] {
        return std::vector{agent->desk().vcpValue(1, 0x10), agent->desk().vcpValue(1, 0x12),
                           agent->desk().vcpValue(1, 0x60), agent->desk().vcpValue(1, 0xD6)};
    };
    auto monitorBefore = vcp();
    using S = std::string;
    const std::pair<std::string, std::string> cases[] = {
        {client.refusal(D, "SetLevel", S("9"), S("brightness"), 0.5, false), errors::unknownDisplay},
        {client.refusal(D, "SetLevel", S("2"), S("brightness"), 1.5, false), errors::outOfRange},
        {client.refusal(D, "SetLevel", S("2"), S("brightness"), std::nan(""), false), errors::outOfRange},
        {client.refusal(D, "SetLevel", S("1"), S("contrast"), 0.5, false), errors::unsupported},
        {client.refusal(D, "SetLevel", S("2"), S("hue"), 0.5, false), errors::invalidArgument},
        {client.refusal(D, "SetLevel", S("2"), S("brightness"), S("0.5"), false),
         "org.freedesktop.DBus.Error.InvalidArgs"},
        {client.refusal(D, "ChangeLevel", S("2"), S("volume"), -2.0, false), errors::outOfRange},
        {client.refusal(D, "GetLevel", S("all"), S("brightness")), errors::invalidArgument},
        {client.refusal(D, "SetInputSource", S("2"), std::uint8_t(0)), errors::outOfRange},
        {client.refusal(D, "SetInputSource", S("3"), std::uint8_t(0x11)), errors::unsupported},
        {client.refusal(D, "PowerOff", S("2"), false), errors::refused},
        {client.refusal(D, "PowerOff", S("1"), true), errors::refused},
        {client.refusal(D, "SetExtendedDimming", S("1"), true), errors::unsupported},
        {client.refusal(D, "SetSyncLeader", S("x")), errors::unknownDisplay},
        {client.refusal(A, "DeletePreset", S("Night")), errors::refused},
        {client.refusal(A, "ApplyPreset", S("Nope")), errors::notFound},
        {client.refusal(A, "SavePreset", S(" "), std::map<S, double>{}), errors::invalidArgument},
        {client.refusal(A, "SavePreset", S("X"), std::map<S, double>{{"hue", 0.1}}), errors::invalidArgument},
        {client.refusal(A, "SavePreset", S("night"), std::map<S, double>{{"brightness", 0.5}}),
         errors::refused},
        {client.refusal(A, "AddSchedule", S("Night"), S("25:00"), std::vector<std::int32_t>{1}),
         errors::invalidArgument},
        {client.refusal(A, "AddSchedule", S("Night"), S("08:00"), std::vector<std::int32_t>{7}),
         errors::outOfRange},
        {client.refusal(A, "AddSchedule", S("Night"), S("08:00"), std::vector<std::int32_t>{}),
         errors::invalidArgument},
        {client.refusal(A, "SetScheduleEnabled", S("1"), true), errors::notFound},
        {client.refusal(A, "SetSolarLevels", 0.2, 1.2), errors::outOfRange},
        {client.refusal(A, "SetLocation", 91.0, 0.0), errors::outOfRange},
        {client.refusal(A, "SunTimes", S("2024-02-30"), std::map<S, double>{}), errors::invalidArgument},
        {client.refusal(M, "KeepMode", S("2")), errors::refused},
        {client.refusal(M, "ApplyRotation", S("2"), std::int32_t(45)), errors::outOfRange},
        {client.refusal(M, "ApplyMode", S("2"), S("800x600")), errors::notFound},
    };
    for (const auto& [got, wanted] : cases)
        EXPECT_EQ(got, wanted);
    agent->advance(1s);
    agent->store().flush();
    EXPECT_EQ(readFile(settings), fileBefore);
    EXPECT_EQ(vcp(), monitorBefore);
}

TEST(AgentBus, PresetsSchedulesSolarAndSync) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    std::map<std::string, int> heard;
    for (auto [interface, name] : {std::pair{A, "PresetsChanged"}, std::pair{A, "SchedulesChanged"},
                                   std::pair{A, "SolarChanged"}, std::pair{D, "SyncLeaderChanged"}})
        client.listen(interface, name, [&heard, name = std::string(name)](sdbus::Signal&) { ++heard[name]; });

    std::string id, again;
    bool created = false;
    client
        .call(A, "SavePreset", std::string("Reading"),
              std::map<std::string, double>{{"brightness", 0.5}, {"contrast", 0.6}})
        .
        operator>>(id)
        .
        operator>>(created);
    EXPECT_TRUE(created);
    client.call(A, "SavePreset", std::string("reading"), std::map<std::string, double>{{"brightness", 0.55}})
        .
        operator>>(again)
        .
        operator>>(created);
    EXPECT_EQ(again, id);
    EXPECT_FALSE(created) << "a known name updates the preset";
    client.call(A, "RenamePreset", id, std::string("Evening"));
    auto presets = list(client, A, "ListPresets");
    ASSERT_EQ(presets.size(), 4u);
    EXPECT_EQ(presets[3], (json{{"id", id},
                                {"name", "Evening"},
                                {"brightness", 0.55},
                                {"contrast", 0.6},
                                {"icon", "slider.horizontal.3"},
                                {"builtIn", false},
                                {"active", false}}));
    client.call(A, "ApplyPreset", std::string("Evening"));
    agent->advance(2s);
    EXPECT_EQ(agent->preferences().globalActivePresetIDStr(), id);
    EXPECT_EQ(agent->desk().vcpValue(1, 0x10), 55);
    client.call(A, "DeletePreset", id);
    EXPECT_EQ(list(client, A, "ListPresets").size(), 3u);
    EXPECT_FALSE(agent->preferences().globalActivePresetIDStr());

    client.call(A, "AddSchedule", std::string("Night"), std::string("sunset-20"),
                std::vector<std::int32_t>{6, 5});
    agent->advance(100ms);
    auto schedules = list(client, A, "ListSchedules");
    ASSERT_EQ(schedules.size(), 1u);
    EXPECT_EQ(schedules[0]["when"], "sunset-20");
    EXPECT_EQ(schedules[0]["summary"], "F S");
    client.call(A, "EditSchedule", std::string("1"), std::string("Work"), std::string("07:30"),
                std::vector<std::int32_t>{1, 2, 3, 4, 5});
    client.call(A, "SetScheduleEnabled", std::string("1"), false);
    schedules = list(client, A, "ListSchedules");
    EXPECT_EQ(schedules[0]["when"], "07:30");
    EXPECT_EQ(schedules[0]["summary"], "Weekdays");
    EXPECT_EQ(schedules[0]["preset"], "Work");
    EXPECT_EQ(schedules[0]["enabled"], false);
    client.call(A, "DeleteSchedule", schedules[0]["id"].get<std::string>());
    EXPECT_TRUE(agent->preferences().scheduleList().empty());

    client.call(A, "SetLocation", 52.52, 13.405);
    auto times = bus::toJson(client.get<bus::VariantMap>(A, "SunTimes", std::string("2024-06-21"),
                                                         std::map<std::string, double>{}));
    EXPECT_EQ(times["sunrise"].get<std::string>().substr(0, 14), "2024-06-21T02:");
    client.call(A, "SetSolarLevels", 0.2, 0.8);
    client.call(A, "SetSolarEnabled", true);
    auto solar = bus::toJson(client.get<bus::VariantMap>(A, "GetSolar"));
    EXPECT_EQ(solar["enabled"], true);
    EXPECT_EQ(solar["night"], 0.2);
    EXPECT_EQ(solar["paused"], false);
    client.call(D, "SetLevel", std::string("2"), std::string("brightness"), 0.5, false);
    EXPECT_EQ(bus::toJson(client.get<bus::VariantMap>(A, "GetSolar"))["paused"], true);
    client.call(A, "ResumeSolar");
    EXPECT_EQ(bus::toJson(client.get<bus::VariantMap>(A, "GetSolar"))["paused"], false);

    client.call(D, "SetSyncLeader", std::string("2"));
    EXPECT_EQ(client.get<std::string>(D, "GetSyncLeader"), studioKey);
    agent->advance(100ms);
    client.call(D, "SetSyncLeader", std::string());
    EXPECT_EQ(client.get<std::string>(D, "GetSyncLeader"), "");
    agent->advance(100ms);
    // Signals come through the bus daemon: wait for them.
    EXPECT_TRUE(agent->serve([&] { return heard.size() == 4; })) << heard.size();
}

TEST(AgentBus, InputPowerAndExtendedDimming) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    client.virtualBudget = 2s; // a DDC read waits on the monitor
    EXPECT_EQ(client.get<std::uint8_t>(D, "GetInputSource", std::string("2")), 0x0F);
    client.call(D, "SetInputSource", std::string("2"), std::uint8_t(0x12));
    EXPECT_EQ(agent->desk().inputSource(1), 0x12);
    client.call(D, "PowerOff", std::string("2"), true);
    EXPECT_FALSE(agent->desk().poweredOn(1));

    client.call(D, "SetExtendedDimming", std::string("3"), true);
    client.call(D, "SetLevel", std::string("3"), std::string("brightness"), 0.1, false);
    agent->advance(1s);
    auto office = list(client, D, "GetDisplays")[2];
    EXPECT_EQ(office["driver"], "gamma");
    EXPECT_EQ(office["extendedDimming"], true);
    EXPECT_NEAR(agent->desk().gammaFactor(2), 0.08 + 0.92 * 0.1, 1e-3);
}

TEST(AgentBus, ACountdownRevertsAfterItsClientWentAndKeepIsSignalled) {
    START_AGENT("modes.json");
    const std::string key = agent->desk().stableKey(0);
    {
        BusClient client(*agent);
        std::vector<int> ticks;
        client.listen(M, "Countdown", [&](sdbus::Signal& s) {
            std::string display, kind;
            std::int32_t left = 0;
            s >> display >> kind >> left;
            ticks.push_back(left);
        });
        std::string current;
        bool pending = false;
        client.call(M, "ApplyMode", std::string("1"), std::string("4"))
            .
            operator>>(current)
            .
            operator>>(pending);
        EXPECT_EQ(current, "1920x1080_1920x1080@60");
        EXPECT_TRUE(pending);
        agent->advance(3s);
        agent->serve([&] { return ticks.size() >= 4; });
        EXPECT_EQ(ticks, (std::vector<int>{10, 9, 8, 7}));
        auto state = bus::toJson(client.get<bus::VariantMap>(M, "GetModeState", std::string("1")));
        EXPECT_EQ(state["modePending"], true);
        EXPECT_EQ(state["modeSecondsLeft"], 7);
    } // the client disconnects mid-countdown
    agent->advance(8s);
    EXPECT_EQ(agent->desk().currentMode(0), 0u) << "reverted without anyone to answer";

    BusClient client(*agent);
    std::vector<std::string> settled;
    client.listen(M, "Settled", [&](sdbus::Signal& s) {
        std::string display, kind, outcome, current;
        s >> display >> kind >> outcome >> current;
        settled.push_back(display + " " + kind + " " + outcome + " " + current);
    });
    client.call(M, "ApplyRotation", std::string("1"), std::int32_t(90));
    client.call(M, "KeepRotation", std::string("1"));
    agent->advance(11s);
    agent->serve([&] { return !settled.empty(); });
    EXPECT_EQ(settled, std::vector<std::string>{key + " rotation kept 90"});
    EXPECT_EQ(agent->desk().rotationAngle(0), 90);
}

TEST(AgentBus, ACallMadeWhileTheAgentStartsWaitsForTheDisplays) {
    auto agent = AgentOnBus::start("desk.json", bus::serviceName, AgentOnBus::Serve::beforeEnumeration);
    if (!agent)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    BusClient client(*agent);
    client.virtualBudget = 10s; // the probes' DDC/CI waits
    EXPECT_EQ(list(client, D, "GetDisplays").size(), 3u);
}

TEST(AgentBus, ShowPanelAndOneOwnerOfTheName) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    client.call(bus::agentInterface, "ShowPanel");
    EXPECT_EQ(agent->panelShown, 1);
    std::string error;
    auto second = bus::BusConnection::open(agent->busAddress(), error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(second->claim(bus::serviceName, error), bus::BusConnection::Claim::taken);
    EXPECT_EQ(bus::simulatedServiceName("/x/my desk-2.json"), "dev.brivio.Brivio.Sim.my_desk_2");
    EXPECT_EQ(bus::simulatedServiceName("4k.json"), "dev.brivio.Brivio.Sim._4k");
}

// Interface, member and argument lines of the project's interfaces in an introspection document.
std::set<std::string> members(const std::string& xml) {
    std::set<std::string> out;
    std::regex tag(R"(<(interface|method|signal|arg)\b([^>]*)>)");
    std::regex attribute(R"((\w+)="([^"]*)\")");
    std::string interface, member;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), tag); it != std::sregex_iterator(); ++it) {
        std::map<std::string, std::string> attrs;
        std::string text = (*it)[2];
        for (auto a = std::sregex_iterator(text.begin(), text.end(), attribute); a != std::sregex_iterator();
             ++a)
            attrs[(*a)[1]] = (*a)[2];
        std::string kind = (*it)[1];
        if (kind == "interface")
            interface = attrs["name"];
        else if (kind != "arg")
            member = kind + " " + interface + "." + attrs["name"];
        if (interface.rfind("dev.brivio.", 0) != 0)
            continue;
        out.insert(kind == "arg" ? member + " " + attrs["direction"] + " " + attrs["type"] + " " + attrs["name"]
                                 : kind == "interface" ? "interface " + interface
                                                       : member);
    }
    return out;
}

TEST(AgentBus, IntrospectionMatchesTheCheckedInDescription) {
    START_AGENT("desk.json");
    BusClient client(*agent);
    auto live = client.get<std::string>("org.freedesktop.DBus.Introspectable", "Introspect");
    auto checkedIn = readFile(testing::sourceDir() + "/src/app/bus/dev.brivio.Brivio.xml");
    auto expected = members(checkedIn);
    EXPECT_GT(expected.size(), 100u);
    EXPECT_EQ(members(live), expected);
}

} // namespace
} // namespace brivio
