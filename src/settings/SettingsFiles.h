#pragma once
// The file operations the settings file needs, behind one small seam so tests can fail any step
// (for example stop between writing the temporary file and renaming it).

#include <memory>
#include <string>
#include <string_view>

namespace brivio {

class SettingsFiles {
public:
    // An advisory exclusive lock, released when the object goes.
    class Lock {
    public:
        explicit Lock(int fd) : fd_(fd) {}
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        int fd_;
    };

    // The settings are small; a file beyond this is not one of ours and is not read into memory.
    static constexpr std::size_t maxFileBytes = 16u << 20;

    enum class ReadStatus { ok, missing, failed, tooLarge };
    struct ReadResult {
        ReadStatus status = ReadStatus::missing;
        std::string contents;
        std::string error;
    };

    virtual ~SettingsFiles() = default;

    // A regular file of at most `maxFileBytes`; never blocks on a FIFO or a device.
    virtual ReadResult read(const std::string& path);
    virtual bool exists(const std::string& path);
    // Creates the folder and its parents when missing.
    virtual bool makeDirectories(const std::string& dir, std::string& error);
    // Creates or truncates the file, writes all of `contents` and syncs it to the disk.
    virtual bool writeDurably(const std::string& path, std::string_view contents, std::string& error);
    // Puts `from` in place of `to` in one step.
    virtual bool rename(const std::string& from, const std::string& to, std::string& error);
    // Makes a rename in the folder durable.
    virtual bool syncDirectory(const std::string& dir, std::string& error);
    // Blocks until the lock on `path` (created when missing) is ours; null when it cannot be taken.
    virtual std::unique_ptr<Lock> lock(const std::string& path, std::string& error);
};

} // namespace brivio
