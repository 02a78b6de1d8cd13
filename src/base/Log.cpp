#include "base/Log.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

namespace brivio {

namespace {

LogLevel initialLevel() {
    const char* env = std::getenv("BRIVIO_LOG");
    if (env && std::strcmp(env, "debug") == 0)
        return LogLevel::debug;
    if (env && std::strcmp(env, "error") == 0)
        return LogLevel::error;
    return LogLevel::info;
}

class StderrSink final : public LogSink {
public:
    StderrSink() : logger_(spdlog::stderr_color_st("brivio")) {
        logger_->set_pattern("%Y-%m-%d %H:%M:%S.%e %^%l%$ %v");
        logger_->set_level(spdlog::level::trace);
    }
    void write(const LogLine& line) override {
        auto level = line.level == LogLevel::debug  ? spdlog::level::debug
                     : line.level == LogLevel::info ? spdlog::level::info
                                                    : spdlog::level::err;
        logger_->log(level, "[{}] {}", toString(line.category), line.message);
    }

private:
    std::shared_ptr<spdlog::logger> logger_;
};

struct LogState {
    LogLevel level = initialLevel();
    bool stderrEnabled = true;
    std::shared_ptr<LogSink> stderrSink;
    std::vector<std::shared_ptr<LogSink>> sinks;
};

LogState& state() {
    static LogState s;
    return s;
}

} // namespace

std::string_view toString(LogCategory category) {
    switch (category) {
    case LogCategory::AppDelegate:
        return "AppDelegate";
    case LogCategory::detection:
        return "detection";
    case LogCategory::discovery:
        return "discovery";
    case LogCategory::driver:
        return "driver";
    case LogCategory::overlay:
        return "overlay";
    case LogCategory::controller:
        return "controller";
    }
    return "?";
}

std::string_view toString(LogLevel level) {
    switch (level) {
    case LogLevel::debug:
        return "debug";
    case LogLevel::info:
        return "info";
    case LogLevel::error:
        return "error";
    }
    return "?";
}

void Log::setLevel(LogLevel level) {
    state().level = level;
}
LogLevel Log::level() {
    return state().level;
}
void Log::addSink(std::shared_ptr<LogSink> sink) {
    state().sinks.push_back(std::move(sink));
}
void Log::removeSink(const std::shared_ptr<LogSink>& sink) {
    auto& sinks = state().sinks;
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink), sinks.end());
}
void Log::setStderrEnabled(bool enabled) {
    state().stderrEnabled = enabled;
}

void Log::write(LogLevel level, LogCategory category, std::string message) {
    auto& s = state();
    LogLine line{level, category, std::move(message)};
    if (s.stderrEnabled) {
        if (!s.stderrSink)
            s.stderrSink = std::make_shared<StderrSink>();
        s.stderrSink->write(line);
    }
    // A sink may remove itself while writing; iterate over a copy.
    auto sinks = s.sinks;
    for (auto& sink : sinks)
        sink->write(line);
}

class CaptureLog::Sink final : public LogSink {
public:
    void write(const LogLine& line) override { lines.push_back(line); }
    std::vector<LogLine> lines;
};

CaptureLog::CaptureLog() : sink_(std::make_shared<Sink>()), previousLevel_(Log::level()) {
    Log::setLevel(LogLevel::debug);
    Log::addSink(sink_);
}

CaptureLog::~CaptureLog() {
    Log::removeSink(sink_);
    Log::setLevel(previousLevel_);
}

const std::vector<LogLine>& CaptureLog::lines() const {
    return sink_->lines;
}

bool CaptureLog::contains(std::string_view text) const {
    return count(text) > 0;
}

std::size_t CaptureLog::count(std::string_view text) const {
    return std::count_if(sink_->lines.begin(), sink_->lines.end(),
                         [&](const LogLine& l) { return l.message.find(text) != std::string::npos; });
}

std::vector<std::string> CaptureLog::messages(LogCategory category) const {
    std::vector<std::string> out;
    for (auto& l : sink_->lines)
        if (l.category == category)
            out.push_back(l.message);
    return out;
}

void CaptureLog::clear() {
    sink_->lines.clear();
}

} // namespace brivio
