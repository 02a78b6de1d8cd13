#pragma once
// The outputs as wlr-output-management describes them (the modes each offers, the current one, place,
// rotation and scale) and changes to them applied as one configuration, as wlroots compositors offer.

#include "base/Signal.h"
#include "platform/linux/WaylandConnection.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct zwlr_output_manager_v1;
struct zwlr_output_head_v1;
struct zwlr_output_mode_v1;

namespace brivio {

struct WlrOutputMode {
    std::uint64_t id = 0; // ours, unique for the life of the connection
    std::int32_t width = 0, height = 0;
    double refreshRate = 0; // Hz; 0 when the compositor gives none
    bool preferred = false;
    zwlr_output_mode_v1* mode = nullptr;
};

struct WlrOutputHead {
    std::string name;
    bool enabled = false;
    std::vector<std::unique_ptr<WlrOutputMode>> modes;
    std::uint64_t currentMode = 0; // 0 when none (disabled, or a custom mode)
    std::int32_t x = 0, y = 0;
    std::int32_t transform = 0; // wl_output.transform
    double scale = 1;
    zwlr_output_head_v1* head = nullptr;
    class WlrOutputHeads* owner = nullptr;
};

class WlrOutputHeads {
public:
    // Null when the compositor offers no output manager.
    static std::unique_ptr<WlrOutputHeads> bind(WaylandConnection& connection);
    ~WlrOutputHeads();
    WlrOutputHeads(const WlrOutputHeads&) = delete;
    WlrOutputHeads& operator=(const WlrOutputHeads&) = delete;

    const WlrOutputHead* head(std::string_view name) const;

    struct Change {
        std::optional<std::uint64_t> mode;
        std::optional<std::int32_t> transform;
    };
    // One configuration: the named heads changed, every other head kept as it is. True when the
    // compositor applied it; the heads then show the new state.
    bool apply(const std::map<std::string, Change>& changes);

private:
    struct Listeners;
    explicit WlrOutputHeads(WaylandConnection& connection);
    bool applyOnce(const std::map<std::string, Change>& changes, bool& cancelled);

    WaylandConnection& connection_;
    zwlr_output_manager_v1* manager_ = nullptr;
    std::vector<std::unique_ptr<WlrOutputHead>> heads_;
    std::uint32_t serial_ = 0;
    std::uint64_t nextModeId_ = 1;
    bool finished_ = false;
};

} // namespace brivio
