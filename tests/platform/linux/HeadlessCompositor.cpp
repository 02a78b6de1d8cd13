#include "platform/linux/HeadlessCompositor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brivio::testing {

namespace {

namespace fs = std::filesystem;

constexpr uid_t nobody = 65534;
constexpr auto compositorStartLimit = std::chrono::seconds(15);
constexpr auto compositorPoll = std::chrono::milliseconds(20);

bool compositorInstalled(const char* program) {
    std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

std::optional<std::string> commandOutput(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    return ::pclose(pipe) == 0 ? std::optional(out) : std::nullopt;
}

std::string logTail(const fs::path& file) {
    std::ifstream in(file);
    std::string line, text;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
        text += lines[i] + "\n";
    return text;
}

// The first file in `dir` whose name starts with `prefix` and is a socket.
std::optional<std::string> socketInFolder(const fs::path& dir, const std::string& prefix) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.path().filename().string().starts_with(prefix) && entry.is_socket(ec))
            return entry.path().string();
    return std::nullopt;
}

} // namespace

std::unique_ptr<HeadlessCompositor> HeadlessCompositor::start(Kind kind, std::string& whyNot) {
    const char* program = kind == Kind::sway ? "sway" : kind == Kind::weston ? "weston" : "mutter";
    if (!compositorInstalled(program)) {
        whyNot = std::string(program) + " is not compositorInstalled";
        return nullptr;
    }
    auto compositor = std::unique_ptr<HeadlessCompositor>(new HeadlessCompositor);
    compositor->runtime_ = std::make_unique<TempDir>();
    fs::path runtime = compositor->runtime_->path();
    fs::path log = runtime / "compositor.log";
    bool dropRoot = kind == Kind::sway && ::getuid() == 0;

    std::vector<std::string> argv;
    std::vector<std::string> env{"XDG_RUNTIME_DIR=" + runtime.string(), "HOME=" + runtime.string(),
                                 "PATH=/usr/local/bin:/usr/bin:/bin"};
    if (kind == Kind::sway) {
        std::ofstream(runtime / "config") << "output * bg #ffffff solid_color\nxwayland disable\n";
        argv = {"sway", "-c", (runtime / "config").string()};
        env.insert(env.end(), {"WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
                               "WLR_HEADLESS_OUTPUTS=2"});
    } else if (kind == Kind::weston) {
        argv = {"weston", "--backend=headless-backend.so", "--socket=wayland-test", "--idle-time=0",
                "--no-config"};
    } else {
        compositor->bus_ = PrivateBus::start();
        if (!compositor->bus_) {
            whyNot = "no dbus-daemon for mutter's session bus";
            return nullptr;
        }
        argv = {"mutter", "--headless", "--virtual-monitor", "1920x1080", "--no-x11"};
        env.push_back("DBUS_SESSION_BUS_ADDRESS=" + compositor->bus_->address());
    }
    if (dropRoot) {
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        for (const auto& p : {runtime, runtime / "config"})
            if (::chown(p.c_str(), nobody, nobody) != 0) {
                whyNot = "could not hand the runtime folder to the user nobody";
                return nullptr;
            }
    }

    pid_t pid = ::fork();
    if (pid < 0) {
        whyNot = "fork failed";
        return nullptr;
    }
    if (pid == 0) {
        int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::setsid();
        if (dropRoot && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(126);
        std::vector<char*> args, envp;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        ::execvpe(args[0], args.data(), envp.data());
        ::_exit(127);
    }
    compositor->pid_ = pid;

    auto deadline = std::chrono::steady_clock::now() + compositorStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            compositor->pid_ = -1;
            whyNot = std::string(program) + " did not start:\n" + logTail(log);
            return nullptr;
        }
        if (auto socket = socketInFolder(runtime, "wayland-")) {
            bool ready = true;
            // Mutter's display configuration comes up a moment after its socket.
            if (kind == Kind::mutter)
                ready = commandOutput(
                            "dbus-send --bus=" + compositor->busAddress() +
                            " --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "
                            "string:org.gnome.Mutter.DisplayConfig 2>/dev/null | grep -q true")
                            .has_value();
            compositor->socket_ = *socket;
            // Sway settles once its white background is on every output: a configuration applied while
            // an output still draws can be refused.
            if (kind == Kind::sway) {
                auto shot = grab(*compositor);
                ready = shot && shot->at(0, 0) == 255 && shot->at(shot->width - 1, shot->height - 1) == 255;
            }
            if (ready)
                return compositor;
        }
        std::this_thread::sleep_for(compositorPoll);
    }
    whyNot = std::string(program) + " did not come up within 15 s:\n" + logTail(log);
    return nullptr;
}

HeadlessCompositor::~HeadlessCompositor() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::optional<std::string> HeadlessCompositor::run(const std::string& command) const {
    fs::path runtime = runtime_->path();
    std::string sway = socketInFolder(runtime, "sway-ipc.").value_or("");
    return commandOutput("XDG_RUNTIME_DIR='" + runtime.string() + "' WAYLAND_DISPLAY='" + socket_ +
                         "' SWAYSOCK='" + sway + "' " + command);
}

std::optional<Screenshot> grab(const HeadlessCompositor& compositor) {
    auto ppm = compositor.run("grim -t ppm - 2>/dev/null");
    if (!ppm)
        return std::nullopt;
    std::istringstream in(*ppm);
    std::string magic;
    int max = 0;
    Screenshot shot;
    in >> magic >> shot.width >> shot.height >> max;
    in.get();
    if (magic != "P6" || max != 255 || shot.width <= 0 || shot.height <= 0)
        return std::nullopt;
    shot.rgb.resize(std::size_t(shot.width) * shot.height * 3);
    in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<std::streamsize>(shot.rgb.size()));
    if (in.gcount() != static_cast<std::streamsize>(shot.rgb.size()))
        return std::nullopt;
    return shot;
}

} // namespace brivio::testing
