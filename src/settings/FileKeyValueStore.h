#pragma once
// The product's settings store: one JSON document, settings.json, in the user's config folder.
//
// Reads come from memory. Changes show at once in memory and reach the disk at most once per
// `writeInterval`, by an atomic replace (temporary file, sync, rename, folder sync). Processes that
// share the file merge by key under an advisory lock: each writes back only the keys it changed, and
// of a dictionary (brightness by display, ...) only the entries it changed. A watching store (the
// agent) takes in what other processes write, key by key, its own pending changes kept on top.

#include "base/FdWatcher.h"
#include "base/MainLoop.h"
#include "settings/KeyValueStore.h"
#include "settings/SettingsFiles.h"
#include "settings/StampClock.h"

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brivio {

class FileKeyValueStore final : public KeyValueStore {
public:
    static constexpr Duration writeInterval = 500ms;

    // $XDG_CONFIG_HOME/brivio, else ~/.config/brivio.
    static std::string defaultDirectory();

    explicit FileKeyValueStore(MainLoop& loop);
    // `directory` holds settings.json (a `--config DIR`); it is created on the first write.
    FileKeyValueStore(MainLoop& loop, std::string directory, std::shared_ptr<SettingsFiles> files = nullptr,
                      StampClock stampClock = nullptr);
    // Flushes.
    ~FileKeyValueStore() override;
    FileKeyValueStore(const FileKeyValueStore&) = delete;
    FileKeyValueStore& operator=(const FileKeyValueStore&) = delete;

    std::optional<StoredValue> get(const std::string& key) const override;
    void set(const std::string& key, StoredValue value) override;
    void remove(const std::string& key) override;

    // Writes every pending change now instead of waiting for the next slot. The app calls it on
    // shutdown and when SIGTERM or SIGINT arrives (from the main loop, not inside the signal handler).
    // False when the file could not be written; the changes stay pending in memory.
    bool flush();

    // While held, changes wait in memory for flush() instead of the next write slot: a command line run
    // then changes the file once, at its end, or not at all.
    void setWritesHeld(bool held) { writesHeld_ = held; }
    // Forgets changes not yet written, so that a run that ends in an error leaves the file as it was.
    void discardPending();

    // Watches the folder (created when missing) for settings.json being replaced or rewritten, and
    // then takes the file in. False, with the reason logged, when the folder cannot be watched.
    bool watch(FdWatcher& watcher);
    // Reads the file and takes in every key whose value there differs from this store's (this
    // process's pending changes applied on top), announcing each through `changed` and
    // `changedElsewhere`. A file that is missing or does not parse (an editor half-way through a
    // save) is not taken in: nothing changes until it is whole again.
    void takeInChanges();

    const std::string& path() const { return path_; }
    bool hasPendingChanges() const { return !pending_.empty(); }
    // Completed replacements of the file since construction.
    std::size_t writeCount() const { return writeCount_; }

private:
    void load();
    // The document on disk, {} when there is none; absent when it could not be read (and must not be
    // replaced; `error` says why). A document that is not a JSON object is moved aside first.
    std::optional<nlohmann::json> readDocument(std::string& error);
    // A free name beside the file for a copy kept aside.
    std::string asidePath();
    // Writes `contents` to a copy beside the file, once per distinct contents.
    bool keepCopy(const std::string& contents, std::string& error);
    void stage(const std::string& key, std::optional<nlohmann::json> entry);
    void scheduleWrite();
    bool writeNow();
    bool writeFailed(const std::string& what, const std::string& error);
    void onFolderEvent();

    // A change not yet written: the whole entry (absent: the key is removed), or for a dictionary the
    // entries set (absent: removed), laid over whatever the file holds when it is written.
    struct Pending {
        std::optional<nlohmann::json> entry;
        bool patch = false;
        std::string dictionaryType;
        std::map<std::string, std::optional<nlohmann::json>> members;
    };
    static Pending wholeChange(std::optional<nlohmann::json> entry) {
        Pending p;
        p.entry = std::move(entry);
        return p;
    }
    static std::optional<nlohmann::json> applyPending(const std::optional<nlohmann::json>& onDisk,
                                                      const Pending& pending);
    using TakenIn = std::vector<std::pair<std::string, std::optional<StoredValue>>>;
    // Makes the document `onDisk` with the pending changes on top; the keys whose value changed, with
    // their value before.
    TakenIn adopt(const nlohmann::json& onDisk);
    void announce(const TakenIn& changes);

    MainLoop& loop_;
    std::string dir_;
    std::string path_;
    std::string tempPath_;
    std::string lockPath_;
    std::shared_ptr<SettingsFiles> files_;
    StampClock stampClock_;

    nlohmann::json document_ = nlohmann::json::object(); // as on disk, with our pending changes applied
    bool writesHeld_ = false;
    std::map<std::string, Pending> pending_;
    std::optional<TimerId> timer_;
    std::optional<TimePoint> lastWriteAttempt_;
    std::size_t writeCount_ = 0;
    bool writeFailureLogged_ = false;
    std::optional<std::size_t> copiedContents_;
    FdWatcher* watcher_ = nullptr;
    int watchFd_ = -1;
    std::optional<TimerId> takeInTimer_;
};

} // namespace brivio
