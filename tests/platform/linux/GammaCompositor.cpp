#include "platform/linux/GammaCompositor.h"

#ifdef BRIVIO_TEST_WAYLAND_SERVER
#include "wlr-gamma-control-unstable-v1-server-protocol.h"

#include <atomic>
#include <map>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <wayland-server.h>
#endif

namespace brivio::testing {

#ifdef BRIVIO_TEST_WAYLAND_SERVER

namespace {
struct GammaOutput {
    std::string name;
    GammaCompositor::Server* server = nullptr;
};
} // namespace

struct GammaCompositor::Server {
    wl_display* display = nullptr;
    std::vector<std::unique_ptr<GammaOutput>> outputs;
    std::uint32_t gammaSize = 0;
    std::thread thread;
    std::atomic<bool> stop = false;
    mutable std::mutex mutex;
    std::map<std::string, std::optional<Ramps>> held; // output → ramps while a control is held
    int taken = 0;
};

namespace {

GammaCompositor::Server* gammaServerOf(GammaOutput* output) {
    return output->server;
}

void destroyGammaResource(wl_client*, wl_resource* resource) {
    wl_resource_destroy(resource);
}

const struct wl_output_interface gammaOutputImplementation = {destroyGammaResource};

void bindGammaOutput(wl_client* client, void* data, std::uint32_t version, std::uint32_t id) {
    auto* output = static_cast<GammaOutput*>(data);
    wl_resource* resource = wl_resource_create(client, &wl_output_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, &gammaOutputImplementation, output, nullptr);
    wl_output_send_geometry(resource, 0, 0, 600, 340, WL_OUTPUT_SUBPIXEL_UNKNOWN, "Test", "Gamma", 0);
    wl_output_send_mode(resource, WL_OUTPUT_MODE_CURRENT | WL_OUTPUT_MODE_PREFERRED, 1920, 1080, 60000);
    if (version >= WL_OUTPUT_SCALE_SINCE_VERSION)
        wl_output_send_scale(resource, 1);
    if (version >= WL_OUTPUT_NAME_SINCE_VERSION)
        wl_output_send_name(resource, output->name.c_str());
    if (version >= WL_OUTPUT_DONE_SINCE_VERSION)
        wl_output_send_done(resource);
}

void setGamma(wl_client*, wl_resource* resource, std::int32_t fd) {
    auto* output = static_cast<GammaOutput*>(wl_resource_get_user_data(resource));
    auto* server = gammaServerOf(output);
    GammaCompositor::Ramps ramps;
    for (auto* channel : {&ramps.red, &ramps.green, &ramps.blue}) {
        channel->resize(server->gammaSize);
        auto bytes = static_cast<ssize_t>(channel->size() * sizeof(std::uint16_t));
        if (::read(fd, channel->data(), channel->size() * sizeof(std::uint16_t)) != bytes)
            channel->clear();
    }
    ::close(fd);
    std::lock_guard lock(server->mutex);
    server->held[output->name] = ramps;
}

const struct zwlr_gamma_control_v1_interface gammaControlImplementation = {setGamma, destroyGammaResource};

void gammaControlGone(wl_resource* resource) {
    auto* output = static_cast<GammaOutput*>(wl_resource_get_user_data(resource));
    auto* server = gammaServerOf(output);
    std::lock_guard lock(server->mutex);
    server->held.erase(output->name); // the compositor's own ramps are back
}

void getGammaControl(wl_client* client, wl_resource* manager, std::uint32_t id, wl_resource* outputResource) {
    auto* output = static_cast<GammaOutput*>(wl_resource_get_user_data(outputResource));
    auto* server = gammaServerOf(output);
    wl_resource* control =
        wl_resource_create(client, &zwlr_gamma_control_v1_interface, wl_resource_get_version(manager), id);
    std::unique_lock lock(server->mutex);
    if (server->held.count(output->name)) {
        lock.unlock();
        // One control per output: a second client is refused.
        wl_resource_set_implementation(control, &gammaControlImplementation, nullptr, nullptr);
        zwlr_gamma_control_v1_send_failed(control);
        return;
    }
    server->held[output->name] = std::nullopt;
    ++server->taken;
    lock.unlock();
    wl_resource_set_implementation(control, &gammaControlImplementation, output, gammaControlGone);
    zwlr_gamma_control_v1_send_gamma_size(control, server->gammaSize);
}

const struct zwlr_gamma_control_manager_v1_interface gammaManagerImplementation = {getGammaControl,
                                                                                   destroyGammaResource};

void bindGammaManager(wl_client* client, void*, std::uint32_t version, std::uint32_t id) {
    wl_resource* resource =
        wl_resource_create(client, &zwlr_gamma_control_manager_v1_interface, static_cast<int>(version), id);
    wl_resource_set_implementation(resource, &gammaManagerImplementation, nullptr, nullptr);
}

} // namespace

std::unique_ptr<GammaCompositor> GammaCompositor::start(const std::vector<std::string>& outputs,
                                                        std::uint32_t gammaSize) {
    auto compositor = std::unique_ptr<GammaCompositor>(new GammaCompositor);
    compositor->socket_ = compositor->dir_.path() + "/wayland-gamma";
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", compositor->socket_.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0)
        return nullptr;
    auto server = std::make_unique<Server>();
    server->display = wl_display_create();
    server->gammaSize = gammaSize;
    if (wl_display_add_socket_fd(server->display, fd) != 0)
        return nullptr;
    for (const auto& name : outputs) {
        auto output = std::make_unique<GammaOutput>();
        output->name = name;
        output->server = server.get();
        wl_global_create(server->display, &wl_output_interface, 4, output.get(), bindGammaOutput);
        server->outputs.push_back(std::move(output));
    }
    wl_global_create(server->display, &zwlr_gamma_control_manager_v1_interface, 1, nullptr, bindGammaManager);
    Server* s = server.get();
    server->thread = std::thread([s] {
        wl_event_loop* loop = wl_display_get_event_loop(s->display);
        while (!s->stop) {
            wl_event_loop_dispatch(loop, 20);
            wl_display_flush_clients(s->display);
        }
    });
    compositor->server_ = std::move(server);
    return compositor;
}

GammaCompositor::~GammaCompositor() {
    if (!server_)
        return;
    server_->stop = true;
    server_->thread.join();
    wl_display_destroy_clients(server_->display);
    wl_display_destroy(server_->display);
}

std::optional<GammaCompositor::Ramps> GammaCompositor::ramps(const std::string& output) const {
    std::lock_guard lock(server_->mutex);
    auto it = server_->held.find(output);
    return it == server_->held.end() ? std::nullopt : it->second;
}

int GammaCompositor::controlsTaken() const {
    std::lock_guard lock(server_->mutex);
    return server_->taken;
}

#else

struct GammaCompositor::Server {};
std::unique_ptr<GammaCompositor> GammaCompositor::start(const std::vector<std::string>&, std::uint32_t) {
    return nullptr;
}
GammaCompositor::~GammaCompositor() = default;
std::optional<GammaCompositor::Ramps> GammaCompositor::ramps(const std::string&) const {
    return std::nullopt;
}
int GammaCompositor::controlsTaken() const {
    return 0;
}

#endif

} // namespace brivio::testing
