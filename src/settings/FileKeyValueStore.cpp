#include "settings/FileKeyValueStore.h"

#include "base/BoundedJson.h"
#include "base/Log.h"
#include "settings/StoredValueJson.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace brivio {

namespace {

using nlohmann::json;

// A settings document is a handful of levels deep; anything deeper is not one of ours.
constexpr JsonLimits settingsLimits{SettingsFiles::maxFileBytes, 32};

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return ".";
}

} // namespace

std::string FileKeyValueStore::defaultDirectory() {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/brivio";
    return homeDirectory() + "/.config/brivio";
}

FileKeyValueStore::FileKeyValueStore(MainLoop& loop) : FileKeyValueStore(loop, defaultDirectory()) {}

FileKeyValueStore::FileKeyValueStore(MainLoop& loop, std::string directory,
                                     std::shared_ptr<SettingsFiles> files, StampClock stampClock)
    : loop_(loop), dir_(std::move(directory)), path_(dir_ + "/settings.json"),
      tempPath_(dir_ + "/settings.json.tmp"), lockPath_(dir_ + "/settings.json.lock"),
      files_(files ? std::move(files) : std::make_shared<SettingsFiles>()),
      stampClock_(stampClock ? std::move(stampClock) : systemStampClock()) {
    load();
}

FileKeyValueStore::~FileKeyValueStore() {
    flush();
    if (timer_)
        loop_.cancel(*timer_);
}

void FileKeyValueStore::discardPending() {
    pending_.clear();
    if (timer_) {
        loop_.cancel(*timer_);
        timer_.reset();
    }
}

void FileKeyValueStore::load() {
    std::unique_ptr<SettingsFiles::Lock> lock;
    if (files_->exists(dir_)) {
        std::string ignored; // without the lock we still read a whole file: writers rename
        lock = files_->lock(lockPath_, ignored);
    }
    std::string error;
    if (auto doc = readDocument(error))
        document_ = std::move(*doc);
    else
        logError(LogCategory::controller, "Could not read settings file {}: {}; using defaults", path_,
                 error);
}

std::string FileKeyValueStore::asidePath() {
    std::string aside = path_ + ".corrupt-" + compactUtcStamp(stampClock_());
    for (int n = 2; files_->exists(aside); ++n)
        aside = path_ + ".corrupt-" + compactUtcStamp(stampClock_()) + "-" + std::to_string(n);
    return aside;
}

std::optional<json> FileKeyValueStore::readDocument(std::string& error) {
    auto file = files_->read(path_);
    if (file.status == SettingsFiles::ReadStatus::missing)
        return json::object();
    if (file.status == SettingsFiles::ReadStatus::failed) {
        error = file.error;
        return std::nullopt;
    }
    std::optional<json> doc;
    if (file.status == SettingsFiles::ReadStatus::ok) {
        // The JSON reader stops at a NUL; what follows it is the user's too and is kept in a copy
        // before the next write replaces the file.
        std::string_view text = file.contents;
        const auto nul = text.find('\0');
        doc = parseBoundedJson(text.substr(0, nul), settingsLimits);
        if (doc && doc->is_object() && nul != std::string_view::npos && !keepCopy(file.contents, error))
            return std::nullopt;
    }
    if (doc && doc->is_object())
        return doc;

    // Keep the user's file for inspection and start over; it is never deleted.
    std::string aside = asidePath();
    std::string renameError;
    if (!files_->rename(path_, aside, renameError)) {
        error = "not valid, and moving it to " + aside + " failed: " + renameError;
        return std::nullopt;
    }
    logError(LogCategory::controller, "Settings file {} is not valid; moved it to {} and using defaults",
             path_, aside);
    return json::object();
}

bool FileKeyValueStore::keepCopy(const std::string& contents, std::string& error) {
    const auto hash = std::hash<std::string>{}(contents);
    if (copiedContents_ == hash)
        return true;
    std::string aside = asidePath();
    std::string writeError;
    if (!files_->writeDurably(aside, contents, writeError)) {
        error = "it holds bytes after a NUL, and keeping a copy as " + aside + " failed: " + writeError;
        return false;
    }
    copiedContents_ = hash;
    logError(LogCategory::controller, "Settings file {} holds bytes after a NUL; kept a copy as {}", path_,
             aside);
    return true;
}

std::optional<StoredValue> FileKeyValueStore::get(const std::string& key) const {
    auto it = document_.find(key);
    if (it == document_.end())
        return std::nullopt;
    return decodeStoredValue(*it);
}

void FileKeyValueStore::set(const std::string& key, StoredValue value) {
    stage(key, encodeStoredValue(value));
    changed.emit(key);
}

void FileKeyValueStore::remove(const std::string& key) {
    stage(key, std::nullopt);
    changed.emit(key);
}

void FileKeyValueStore::stage(const std::string& key, std::optional<json> entry) {
    auto it = document_.find(key);
    if (it != document_.end() && !decodeStoredValue(*it)) {
        // An entry this version cannot read (hand-edited, or from a newer version) is not ours to drop.
        std::string side = key + ".unreadable-" + compactUtcStamp(stampClock_());
        pending_[side] = *it;
        document_[side] = *it;
        logError(LogCategory::controller, "Settings entry {} in {} could not be read; kept it as {}", key,
                 path_, side);
    }
    if (entry)
        document_[key] = *entry;
    else
        document_.erase(key);
    pending_[key] = std::move(entry);
    scheduleWrite();
}

void FileKeyValueStore::scheduleWrite() {
    if (timer_ || writesHeld_)
        return;
    Duration delay = Duration::zero();
    if (lastWriteAttempt_)
        delay = std::max(Duration::zero(), *lastWriteAttempt_ + writeInterval - loop_.now());
    timer_ = loop_.postAfter(delay, [this] {
        timer_.reset();
        writeNow();
    });
}

bool FileKeyValueStore::flush() {
    if (timer_) {
        loop_.cancel(*timer_);
        timer_.reset();
    }
    return writeNow();
}

bool FileKeyValueStore::writeFailed(const std::string& what, const std::string& error) {
    if (!writeFailureLogged_)
        logError(LogCategory::controller,
                 "Could not write settings to {} ({}: {}); keeping settings in memory", path_, what, error);
    writeFailureLogged_ = true;
    return false;
}

bool FileKeyValueStore::writeNow() {
    if (pending_.empty())
        return true;
    lastWriteAttempt_ = loop_.now();
    std::string error;
    if (!files_->makeDirectories(dir_, error))
        return writeFailed("create folder", error);
    auto lock = files_->lock(lockPath_, error);
    if (!lock)
        return writeFailed("lock", error);

    auto merged = readDocument(error);
    if (!merged)
        return writeFailed("read " + path_, error);
    for (const auto& [key, entry] : pending_) {
        if (entry)
            (*merged)[key] = *entry;
        else
            merged->erase(key);
    }
    // From here on this process also sees what the others wrote.
    document_ = *merged;

    auto text = merged->dump(-1, ' ', false, json::error_handler_t::replace);
    if (!files_->writeDurably(tempPath_, text, error))
        return writeFailed("write " + tempPath_, error);
    if (!files_->rename(tempPath_, path_, error))
        return writeFailed("rename " + tempPath_, error);
    pending_.clear();
    ++writeCount_;
    writeFailureLogged_ = false;
    if (!files_->syncDirectory(dir_, error))
        logError(LogCategory::controller, "Could not sync settings folder {}: {}", dir_, error);
    return true;
}

} // namespace brivio
