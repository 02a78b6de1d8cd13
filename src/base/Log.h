#pragma once
// One logging subsystem with the fixed categories; sinks receive every line at or above the level.

#include <fmt/format.h>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brivio {

enum class LogCategory { AppDelegate, detection, discovery, driver, overlay, controller };
enum class LogLevel { debug, info, error };

std::string_view toString(LogCategory category);
std::string_view toString(LogLevel level);

struct LogLine {
    LogLevel level;
    LogCategory category;
    std::string message;
};

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const LogLine& line) = 0;
};

class Log {
public:
    // Lines below this level are dropped before formatting. Default: info, or $BRIVIO_LOG.
    static void setLevel(LogLevel level);
    static LogLevel level();
    static bool enabled(LogLevel level) { return level >= Log::level(); }

    // The default sink writes to stderr; `replaceSinks` removes it (a command line that prints JSON).
    static void addSink(std::shared_ptr<LogSink> sink);
    static void removeSink(const std::shared_ptr<LogSink>& sink);
    static void setStderrEnabled(bool enabled);

    static void write(LogLevel level, LogCategory category, std::string message);
};

template <typename... Args>
void logAt(LogLevel level, LogCategory category, fmt::format_string<Args...> format, Args&&... args) {
    if (Log::enabled(level))
        Log::write(level, category, fmt::format(format, std::forward<Args>(args)...));
}
template <typename... Args> void logDebug(LogCategory c, fmt::format_string<Args...> f, Args&&... args) {
    logAt(LogLevel::debug, c, f, std::forward<Args>(args)...);
}
template <typename... Args> void logInfo(LogCategory c, fmt::format_string<Args...> f, Args&&... args) {
    logAt(LogLevel::info, c, f, std::forward<Args>(args)...);
}
template <typename... Args> void logError(LogCategory c, fmt::format_string<Args...> f, Args&&... args) {
    logAt(LogLevel::error, c, f, std::forward<Args>(args)...);
}

// Collects lines for tests; while it exists, debug lines are kept too.
class CaptureLog {
public:
    CaptureLog();
    ~CaptureLog();
    CaptureLog(const CaptureLog&) = delete;
    CaptureLog& operator=(const CaptureLog&) = delete;

    const std::vector<LogLine>& lines() const;
    bool contains(std::string_view text) const;
    std::size_t count(std::string_view text) const;
    std::vector<std::string> messages(LogCategory category) const;
    void clear();

private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    LogLevel previousLevel_;
};

} // namespace brivio
