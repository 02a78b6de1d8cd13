#include "base/Log.h"
#include "base/RealLoop.h"
#include "base/VirtualLoop.h"
#include "settings/FileKeyValueStore.h"
#include "settings/SettingsTestSupport.h"
#include "support/TestSupport.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

namespace brivio {
namespace {

using testing::fixedClock;
using testing::fixedStamp;
using testing::readFile;
using testing::writeFile;

struct FileStoreTest : ::testing::Test {
    VirtualLoop loop;
    testing::TempDir dir;
    std::string settingsPath() const { return dir.path() + "/settings.json"; }
    std::unique_ptr<FileKeyValueStore> open(std::shared_ptr<SettingsFiles> files = nullptr) {
        return std::make_unique<FileKeyValueStore>(loop, dir.path(), std::move(files), fixedClock());
    }
};

TEST_F(FileStoreTest, EveryValueTypeReadsBackAsTheSameType) {
    StoredDate date = testing::fixedNow() + std::chrono::nanoseconds{123456789};
    std::map<std::string, StoredValue> values{
        {"s", std::string("text")},
        {"b", false},
        {"i", std::int64_t{-42}},
        {"d", 1.0}, // an integral double must not come back as an integer
        {"date", date},
        {"data", StoredData{0, 1, 2, 250, 255}},
        {"dd", DoubleDictionary{{"A", 0.25}, {"B", 1.0}}},
        {"bd", BoolDictionary{{"A", true}}},
    };
    {
        auto store = open();
        for (const auto& [k, v] : values)
            store->set(k, v);
        store->set("nan", std::numeric_limits<double>::quiet_NaN());
    }
    auto store = open();
    for (const auto& [k, v] : values)
        EXPECT_EQ(store->get(k), v) << k;
    auto nan = store->getAs<double>("nan");
    ASSERT_TRUE(nan);
    EXPECT_TRUE(std::isnan(*nan));
    EXPECT_FALSE(store->get("missing"));
}

TEST_F(FileStoreTest, FileThatIsNoSettingsDocumentIsMovedAsideAndDefaultsUsed) {
    // Deep nesting would exhaust the stack of the JSON library, at the latest on the first write.
    const std::string deep = "{\"a\": " + std::string(100000, '[') + std::string(100000, ']') + "}";
    for (const std::string& bad :
         std::vector<std::string>{"{\"a\": {\"type\":", "[1, 2]", "\xff\xfe", deep}) {
        SCOPED_TRACE(bad.substr(0, 20));
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directory(dir.path());
        writeFile(settingsPath(), bad);
        CaptureLog log;
        auto store = open();
        auto aside = settingsPath() + ".corrupt-" + fixedStamp;
        EXPECT_EQ(readFile(aside), bad);
        EXPECT_FALSE(std::filesystem::exists(settingsPath()));
        ASSERT_EQ(log.lines().size(), 1u);
        EXPECT_EQ(log.lines()[0].level, LogLevel::error);
        EXPECT_NE(log.lines()[0].message.find(settingsPath()), std::string::npos);
        EXPECT_NE(log.lines()[0].message.find(aside), std::string::npos);

        // A second bad file in the same second does not replace the first copy.
        writeFile(settingsPath(), "again");
        auto second = open();
        second->set("k", true);
        EXPECT_TRUE(second->flush());
        EXPECT_EQ(readFile(aside), bad);
        EXPECT_EQ(readFile(aside + "-2"), "again");
    }
}

TEST_F(FileStoreTest, BytesAfterANulAreKeptInACopyBeforeTheFileIsRewritten) {
    const std::string text =
        std::string(R"({"a":{"type":"bool","value":true}})") + '\0' + R"({"b":{"type":"bool","value":true}})";
    writeFile(settingsPath(), text);
    auto store = open();
    EXPECT_EQ(store->getAs<bool>("a"), true);
    store->set("c", false);
    ASSERT_TRUE(store->flush());
    EXPECT_EQ(readFile(settingsPath() + ".corrupt-" + fixedStamp), text);
    EXPECT_EQ(nlohmann::json::parse(readFile(settingsPath())).size(), 2u);
}

TEST_F(FileStoreTest, UnreadableEntriesKeepTheOthersAndSurviveAnOverwriteAsSideCopy) {
    std::string text = R"({"good":{"type":"bool","value":true},)"
                       R"("dd":{"type":"doubleDictionary","value":{"A":0.5,"B":"x"}},)"
                       R"("future":{"type":"colour","value":"red"}})";
    writeFile(settingsPath(), text);
    auto store = open();
    loop.advance(1s);
    EXPECT_EQ(readFile(settingsPath()), text) << "nothing is rewritten until a setting changes";
    EXPECT_EQ(store->getAs<bool>("good"), true);
    EXPECT_FALSE(store->get("dd"));

    CaptureLog log;
    store->set("dd", DoubleDictionary{{"C", 0.1}});
    ASSERT_TRUE(store->flush());
    auto doc = nlohmann::json::parse(readFile(settingsPath()));
    EXPECT_EQ(doc["dd." + std::string("unreadable-") + fixedStamp]["value"]["B"], "x");
    EXPECT_EQ(doc["future"]["type"], "colour") << "entries nobody touched stay as they were";
    EXPECT_EQ(log.count("could not be read"), 1u);
}

struct CrashBeforeRename : SettingsFiles {
    bool crash = true;
    bool rename(const std::string& from, const std::string& to, std::string& error) override {
        if (crash && from.ends_with(".tmp")) {
            error = "simulated crash";
            return false;
        }
        return SettingsFiles::rename(from, to, error);
    }
};

TEST_F(FileStoreTest, InterruptedWriteLeavesTheOldFileAndIsLoggedOnce) {
    open()->set("k", std::string("old"));
    auto old = readFile(settingsPath());

    auto files = std::make_shared<CrashBeforeRename>();
    CaptureLog log;
    auto store = open(files);
    store->set("k", std::string("new"));
    EXPECT_FALSE(store->flush());
    store->set("k", std::string("newer"));
    EXPECT_FALSE(store->flush());
    EXPECT_EQ(log.count("Could not write settings"), 1u);
    EXPECT_EQ(readFile(settingsPath()), old);
    EXPECT_EQ(open()->getAs<std::string>("k"), "old");
    EXPECT_EQ(store->getAs<std::string>("k"), "newer") << "memory keeps the change";

    files->crash = false;
    EXPECT_TRUE(store->flush());
    EXPECT_EQ(open()->getAs<std::string>("k"), "newer");
}

TEST_F(FileStoreTest, TwoProcessesOnOneFileKeepEachOthersKeys) {
    auto a = open();
    auto b = open();
    a->set("a1", std::int64_t{1});
    a->set("gone", true);
    a->flush();
    b->set("b1", std::int64_t{2});
    b->flush();
    EXPECT_EQ(b->getAs<std::int64_t>("a1"), 1) << "a write also picks up the other's keys";
    a->remove("gone");
    a->set("a2", std::int64_t{3});
    a->flush();
    b->set("b1", std::int64_t{4}); // b still remembers "gone" but must not write it back
    b->flush();

    auto c = open();
    EXPECT_EQ(c->getAs<std::int64_t>("a1"), 1);
    EXPECT_EQ(c->getAs<std::int64_t>("a2"), 3);
    EXPECT_EQ(c->getAs<std::int64_t>("b1"), 4);
    EXPECT_FALSE(c->get("gone"));
}

TEST_F(FileStoreTest, TwoWritersOfOneMapKeepEachOthersEntries) {
    auto a = open();
    auto b = open();
    a->set("m", DoubleDictionary{{"A", 0.1}, {"gone", 1}});
    a->flush();
    b->set("m", DoubleDictionary{{"B", 0.2}}); // b never saw A
    b->flush();
    a->set("m", DoubleDictionary{{"A", 0.3}}); // a never saw B, and dropped "gone"
    a->flush();
    EXPECT_EQ(open()->get("m"), StoredValue(DoubleDictionary{{"A", 0.3}, {"B", 0.2}}));
}

TEST_F(FileStoreTest, TakesInWhatOthersWroteKeyByKeyAndKeepsItsOwnPendingChanges) {
    auto agent = open();
    agent->set("mine", std::int64_t{1}); // pending: the loop has not run
    std::vector<std::string> heard;
    auto sub = agent->changedElsewhere.subscribe(
        [&](const std::string& key, const std::optional<StoredValue>&) { heard.push_back(key); });
    auto other = open();
    other->set("theirs", true);
    other->set("mine", std::int64_t{5});
    other->set("m", DoubleDictionary{{"X", 1}});
    other->flush();
    agent->takeInChanges();
    EXPECT_EQ(agent->getAs<bool>("theirs"), true);
    EXPECT_EQ(agent->getAs<std::int64_t>("mine"), 1) << "a pending change of this process wins";
    EXPECT_EQ(heard, (std::vector<std::string>{"m", "theirs"}));

    // An editor half-way through a save: nothing is taken in, and the file is not moved aside.
    std::string half = R"({"theirs": {"type": "bo)";
    writeFile(settingsPath(), half);
    agent->takeInChanges();
    EXPECT_EQ(agent->getAs<bool>("theirs"), true);
    EXPECT_EQ(readFile(settingsPath()), half);
}

TEST_F(FileStoreTest, AWatchingStoreNoticesAFileReplacedByAnotherProcess) {
    RealLoop real;
    FileKeyValueStore agent(real, dir.path(), nullptr, fixedClock());
    ASSERT_TRUE(agent.watch(real));
    bool heard = false;
    auto sub = agent.changedElsewhere.subscribe(
        [&](const std::string& key, const std::optional<StoredValue>&) { heard = heard || key == "k"; });
    open()->set("k", true); // written when the other store goes
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!heard && std::chrono::steady_clock::now() < deadline) {
        auto tick = real.postAfter(10ms, [&] { real.quit(); });
        real.run();
        real.cancel(tick);
    }
    EXPECT_TRUE(heard);
    EXPECT_EQ(agent.getAs<bool>("k"), true);
}

TEST_F(FileStoreTest, WritesAreCoalescedToOneEveryHalfSecond) {
    auto store = open();
    store->set("v", 0.0);
    loop.runUntilIdle();
    EXPECT_EQ(store->writeCount(), 1u) << "a lone change is written at once";
    for (int i = 1; i <= 40; ++i) {
        loop.advance(10ms);
        store->set("v", i / 100.0);
    }
    EXPECT_EQ(store->writeCount(), 1u);
    EXPECT_EQ(open()->getAs<double>("v"), 0.0);
    loop.advance(100ms); // 500 ms after the first write
    EXPECT_EQ(store->writeCount(), 2u);
    EXPECT_EQ(open()->getAs<double>("v"), 0.4);

    store->set("v", 0.9);
    EXPECT_TRUE(store->flush());
    EXPECT_EQ(store->writeCount(), 3u);
    loop.advance(2s);
    EXPECT_EQ(store->writeCount(), 3u) << "flush leaves nothing scheduled";
    EXPECT_EQ(open()->getAs<double>("v"), 0.9);
}

TEST_F(FileStoreTest, DestroyingTheStoreWritesPendingChanges) {
    open()->set("k", true);
    EXPECT_EQ(open()->getAs<bool>("k"), true);
}

TEST_F(FileStoreTest, UnwritableFolderKeepsWorkingInMemory) {
    writeFile(dir.path() + "/file", "");
    CaptureLog log;
    FileKeyValueStore store(loop, dir.path() + "/file/brivio", nullptr, fixedClock());
    store.set("a", true);
    loop.advance(1s);
    store.set("b", false);
    loop.advance(1s);
    EXPECT_EQ(store.getAs<bool>("a"), true);
    EXPECT_EQ(store.getAs<bool>("b"), false);
    EXPECT_EQ(log.count("Could not write settings"), 1u);
    EXPECT_EQ(store.writeCount(), 0u);
}

TEST(FileStoreDirectory, FollowsXdgConfigHomeThenHome) {
    std::string savedXdg = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    EXPECT_EQ(FileKeyValueStore::defaultDirectory(), "/x/config/brivio");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    setenv("HOME", "/nonexistent/u", 1);
    EXPECT_EQ(FileKeyValueStore::defaultDirectory(), "/nonexistent/u/.config/brivio");
    savedXdg.empty() ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    setenv("HOME", savedHome.c_str(), 1);
}

} // namespace
} // namespace brivio
