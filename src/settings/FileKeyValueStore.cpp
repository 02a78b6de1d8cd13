#include "settings/FileKeyValueStore.h"

#include "base/BoundedJson.h"
#include "base/Log.h"
#include "settings/StoredValueJson.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <set>
#include <sys/epoll.h>
#include <sys/inotify.h>
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

constexpr const char* settingsFileName = "settings.json";

// A readable dictionary entry of that type ("doubleDictionary", "boolDictionary").
bool isDictionaryOf(const json& entry, const std::string& type) {
    return entry.is_object() && entry.value("type", json()) == type && entry.contains("value") &&
           entry["value"].is_object() && decodeStoredValue(entry).has_value();
}

std::optional<std::string> dictionaryType(const json& entry) {
    for (const char* type : {"doubleDictionary", "boolDictionary"})
        if (isDictionaryOf(entry, type))
            return std::string(type);
    return std::nullopt;
}

std::optional<json> storedEntry(const json& document, const std::string& key) {
    auto it = document.find(key);
    if (it == document.end())
        return std::nullopt;
    return *it;
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
    if (takeInTimer_)
        loop_.cancel(*takeInTimer_);
    if (watchFd_ >= 0) {
        watcher_->unwatchFd(watchFd_);
        ::close(watchFd_);
    }
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
        pending_[side] = wholeChange(*it);
        document_[side] = *it;
        logError(LogCategory::controller, "Settings entry {} in {} could not be read; kept it as {}", key,
                 path_, side);
    }
    // A dictionary over a dictionary of the same kind (or over nothing) records only the entries that
    // changed: another process may be changing other displays' entries of the same map meanwhile.
    auto type = entry ? dictionaryType(*entry) : std::nullopt;
    auto known = pending_.find(key);
    bool overWhole = known != pending_.end() && !known->second.patch;
    bool current = it != document_.end() && decodeStoredValue(*it);
    if (type && !overWhole && (!current || isDictionaryOf(*it, *type)) &&
        (known == pending_.end() || known->second.dictionaryType == *type)) {
        const json& before = current ? (*it)["value"] : json::object();
        const json& after = (*entry)["value"];
        Pending& p = pending_[key];
        p.patch = true;
        p.dictionaryType = *type;
        for (auto& [name, value] : after.items())
            if (!before.contains(name) || before[name] != value)
                p.members[name] = value;
        for (auto& [name, value] : before.items())
            if (!after.contains(name))
                p.members[name] = std::nullopt;
    } else {
        pending_[key] = wholeChange(entry);
    }
    if (entry)
        document_[key] = *entry;
    else
        document_.erase(key);
    scheduleWrite();
}

std::optional<json> FileKeyValueStore::applyPending(const std::optional<json>& onDisk,
                                                    const Pending& pending) {
    if (!pending.patch)
        return pending.entry;
    json merged = onDisk && isDictionaryOf(*onDisk, pending.dictionaryType)
                      ? *onDisk
                      : json{{"type", pending.dictionaryType}, {"value", json::object()}};
    for (const auto& [name, value] : pending.members) {
        if (value)
            merged["value"][name] = *value;
        else
            merged["value"].erase(name);
    }
    return merged;
}

FileKeyValueStore::TakenIn FileKeyValueStore::adopt(const json& onDisk) {
    std::set<std::string> keys;
    for (auto& [key, value] : onDisk.items())
        keys.insert(key);
    for (auto& [key, value] : document_.items())
        keys.insert(key);
    for (auto& [key, pending] : pending_)
        keys.insert(key);
    TakenIn changes;
    for (const auto& key : keys) {
        auto disk = storedEntry(onDisk, key);
        auto mine = pending_.find(key);
        auto effective = mine == pending_.end() ? disk : applyPending(disk, mine->second);
        auto current = storedEntry(document_, key);
        if (effective == current)
            continue;
        changes.emplace_back(key, current ? decodeStoredValue(*current) : std::nullopt);
        if (effective)
            document_[key] = *effective;
        else
            document_.erase(key);
    }
    // Only keys another process changed are news: our own pending values were there already.
    return changes;
}

void FileKeyValueStore::announce(const TakenIn& changes) {
    for (const auto& [key, before] : changes) {
        changed.emit(key);
        changedElsewhere.emit(key, before);
    }
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
    TakenIn changes;
    bool written = false;
    {
        auto lock = files_->lock(lockPath_, error);
        if (!lock)
            return writeFailed("lock", error);
        auto onDisk = readDocument(error);
        if (!onDisk)
            return writeFailed("read " + path_, error);
        // From here on this process also sees what the others wrote.
        changes = adopt(*onDisk);
        auto text = document_.dump(-1, ' ', false, json::error_handler_t::replace);
        if (!files_->writeDurably(tempPath_, text, error))
            writeFailed("write " + tempPath_, error);
        else if (!files_->rename(tempPath_, path_, error))
            writeFailed("rename " + tempPath_, error);
        else
            written = true;
    }
    if (written) {
        pending_.clear();
        ++writeCount_;
        writeFailureLogged_ = false;
        if (!files_->syncDirectory(dir_, error))
            logError(LogCategory::controller, "Could not sync settings folder {}: {}", dir_, error);
    }
    // Subscribers may change settings in turn: only once this write is done.
    announce(changes);
    return written;
}

bool FileKeyValueStore::watch(FdWatcher& watcher) {
    if (watchFd_ >= 0)
        return true;
    std::string error;
    if (!files_->makeDirectories(dir_, error)) {
        logError(LogCategory::controller, "Cannot watch settings folder {}: {}", dir_, error);
        return false;
    }
    int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    // Writers replace the file (a rename into the folder); editors may also rewrite it in place.
    if (fd < 0 || ::inotify_add_watch(fd, dir_.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0 ||
        !watcher.watchFd(fd, EPOLLIN, [this](std::uint32_t) { onFolderEvent(); })) {
        logError(LogCategory::controller, "Cannot watch settings folder {}: {}", dir_, std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    watcher_ = &watcher;
    watchFd_ = fd;
    // A change made between loading and watching would otherwise wait for the next one.
    takeInChanges();
    return true;
}

void FileKeyValueStore::onFolderEvent() {
    alignas(inotify_event) char buffer[4096];
    bool ours = false;
    for (;;) {
        ssize_t n = ::read(watchFd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t at = 0; at < n;) {
            auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && std::strcmp(event->name, settingsFileName) == 0)
                ours = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    // Several events of one save are taken in together, once.
    if (!ours || takeInTimer_)
        return;
    takeInTimer_ = loop_.post([this] {
        takeInTimer_.reset();
        takeInChanges();
    });
}

void FileKeyValueStore::takeInChanges() {
    // Read as for a write, but never moved aside: another process may be half-way through writing it.
    auto file = files_->read(path_);
    if (file.status != SettingsFiles::ReadStatus::ok)
        return;
    std::string_view text = file.contents;
    auto onDisk = parseBoundedJson(text.substr(0, text.find('\0')), settingsLimits);
    if (!onDisk || !onDisk->is_object()) {
        logDebug(LogCategory::controller, "Settings file {} changed but does not parse yet; waiting", path_);
        return;
    }
    announce(adopt(*onDisk));
}

} // namespace brivio
