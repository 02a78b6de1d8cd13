// Two launches of the desktop app on one session bus: the second asks the first to open its panel and
// exits, touching nothing.
#include "app/bus/AgentClient.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace brivio {
namespace {

#ifdef BRIVIO_PATH
pid_t launch(const std::string& config) {
    std::string desk = testing::sourceDir() + "/examples/desk.json";
    const char* argv[] = {BRIVIO_PATH, "--sim", desk.c_str(), "--config", config.c_str(), nullptr};
    pid_t pid = 0;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("BRIVIO_LOG", "error", 1);
    posix_spawn(&pid, BRIVIO_PATH, nullptr, nullptr, const_cast<char**>(argv), environ);
    return pid;
}

// The exit status, or -1 when the process has not ended within `limit`.
int exitWithin(pid_t pid, std::chrono::seconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SecondLaunch, AsksTheFirstToShowItsPanelAndLeaves) {
    auto daemon = testing::PrivateBus::start();
    if (!daemon)
        GTEST_SKIP() << "no dbus-daemon to start a private bus";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", daemon->address().c_str(), 1);
    testing::TempDir config;
    std::string name = bus::simulatedServiceName(testing::sourceDir() + "/examples/desk.json");
    pid_t first = launch(config.path());
    std::unique_ptr<bus::AgentClient> agent;
    std::string whyNot;
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         !agent && std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        agent = bus::AgentClient::find(name, std::nullopt, whyNot);
    ASSERT_TRUE(agent) << whyNot;

    pid_t second = launch(config.path());
    EXPECT_EQ(exitWithin(second, std::chrono::seconds(20)), 0);
    EXPECT_NO_THROW(agent->call(bus::agentInterface, "ShowPanel")) << "the first still owns the name";
    ::kill(first, SIGTERM);
    EXPECT_EQ(exitWithin(first, std::chrono::seconds(20)), 0);
}
#endif

} // namespace
} // namespace brivio
