#include "base/VirtualLoop.h"
#include "model/DisplayDriver.h"
#include "model/DisplayDriverError.h"

#include <gtest/gtest.h>
#include <string>

namespace brivio {
namespace {

TEST(DisplayDriverError, DescriptionTexts) {
    struct Case {
        DisplayDriverError error;
        const char* text;
    } cases[] = {
        {DisplayDriverError::unsupportedControl(DisplayControl::contrast), "Unsupported control: contrast"},
        {DisplayDriverError::unsupportedControl(DisplayControl::mute), "Unsupported control: mute"},
        {DisplayDriverError::communicationFailure(), "Driver communication failure"},
        {DisplayDriverError::timeout(), "Driver timeout"},
        {DisplayDriverError::notImplemented(), "Driver not implemented"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(c.error.what(), c.text);
    EXPECT_EQ(cases[0].error.control(), DisplayControl::contrast);
    EXPECT_FALSE(cases[2].error.control());
    EXPECT_NE(cases[0].error, cases[1].error);
}

// A driver that serves brightness only, after a pause.
class BrightnessOnlyDriver final : public DisplayDriver {
public:
    DisplayDriverKind kind() const override { return DisplayDriverKind::overlay; }
    Task<DisplayCapabilities> probeCapabilities(ManagedDisplay) override { co_return DisplayCapabilities{}; }
    Task<double> readValue(DisplayControl, ManagedDisplay) override { co_return 0.5; }
    Task<void> writeValue(double value, DisplayControl control, ManagedDisplay display) override {
        co_await sleep(10ms);
        if (control != DisplayControl::brightness)
            throw DisplayDriverError::unsupportedControl(control);
        written = display.identity.stableKey() + "=" + std::to_string(value);
    }
    std::string written;
};

TEST(DisplayDriver, TaskKeepsItsOwnCopyOfTheDisplay) {
    VirtualLoop loop;
    BrightnessOnlyDriver driver;
    Task<void> write;
    {
        ManagedDisplay display{{1, 16, 48, 5, "Studio", 0}, false, {}};
        write = driver.writeValue(0.25, DisplayControl::brightness, display);
    }
    spawn(loop, std::move(write));
    std::string failure;
    auto unsupported = [&]() -> Task<void> {
        ManagedDisplay display;
        try {
            co_await driver.writeValue(0.5, DisplayControl::volume, display);
        } catch (const DisplayDriverError& error) {
            failure = error.what();
        }
    };
    spawn(loop, unsupported());
    loop.runUntilSettled(1s);
    EXPECT_EQ(driver.written, "v16-p48-s5=0.250000");
    EXPECT_EQ(failure, "Unsupported control: volume");
}

} // namespace
} // namespace brivio
