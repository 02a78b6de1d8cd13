#include "platform/linux/RandrScreen.h"

#include "base/Log.h"

#include <algorithm>
#include <cstdlib>

#ifdef BRIVIO_HAVE_XRANDR
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#endif

namespace brivio {

#ifdef BRIVIO_HAVE_XRANDR
namespace {

// Xlib ends the process on a protocol error unless a handler takes it; requests that may be refused
// (a mode the CRTC cannot drive, a property on a vanished output) are checked with XSync instead.
int errorsSeen = 0;
int countError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

int degreesClockwise(Rotation rotation) {
    // RandR turns counter-clockwise: "left" (90) is a quarter turn to the left.
    switch (rotation & 0xF) {
    case RR_Rotate_90:
        return 270;
    case RR_Rotate_180:
        return 180;
    case RR_Rotate_270:
        return 90;
    default:
        return 0;
    }
}

std::optional<Rotation> rotationFor(int degrees) {
    switch (degrees) {
    case 0:
        return RR_Rotate_0;
    case 90:
        return RR_Rotate_270;
    case 180:
        return RR_Rotate_180;
    case 270:
        return RR_Rotate_90;
    default:
        return std::nullopt;
    }
}

double refreshOf(const XRRModeInfo& mode) {
    double lines = mode.vTotal;
    if (mode.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (mode.modeFlags & RR_Interlace)
        lines /= 2;
    if (mode.dotClock == 0 || mode.hTotal == 0 || lines == 0)
        return 0;
    return static_cast<double>(mode.dotClock) / (mode.hTotal * lines);
}

} // namespace

struct RandrScreen::Connection {
    Display* display = nullptr;
    Window root = 0;
    int eventBase = 0;
    Atom edidAtom = 0;
    ~Connection() {
        if (display)
            XCloseDisplay(display);
    }
    // Runs `request` and waits for the server's verdict.
    template <typename F> bool checked(F&& request) {
        XSync(display, False);
        int before = errorsSeen;
        request();
        XSync(display, False);
        return errorsSeen == before;
    }
};

std::unique_ptr<RandrScreen> RandrScreen::open(const std::optional<std::string>& name) {
    const char* fromEnv = std::getenv("DISPLAY");
    if (!name && (!fromEnv || !*fromEnv)) {
        logInfo(LogCategory::detection, "X11: no $DISPLAY — positions from the connectors, gamma dimming, "
                                        "modes and rotation unavailable");
        return nullptr;
    }
    auto x = std::make_unique<Connection>();
    x->display = XOpenDisplay(name ? name->c_str() : nullptr);
    if (!x->display) {
        logInfo(LogCategory::detection,
                "X11: cannot open display {} — positions from the connectors, gamma "
                "dimming, modes and rotation unavailable",
                name ? *name : std::string(fromEnv));
        return nullptr;
    }
    XSetErrorHandler(countError);
    int errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(x->display, &x->eventBase, &errorBase) ||
        !XRRQueryVersion(x->display, &major, &minor) || major < 1 || (major == 1 && minor < 2)) {
        logInfo(LogCategory::detection, "X11: the server has no RandR 1.2 — positions from the connectors, "
                                        "gamma dimming, modes and rotation unavailable");
        return nullptr;
    }
    x->root = DefaultRootWindow(x->display);
    x->edidAtom = XInternAtom(x->display, "EDID", False);
    XRRSelectInput(x->display, x->root,
                   RRScreenChangeNotifyMask | RRCrtcChangeNotifyMask | RROutputChangeNotifyMask |
                       RROutputPropertyNotifyMask);
    std::unique_ptr<RandrScreen> screen(new RandrScreen(std::move(x)));
    screen->reload();
    logInfo(LogCategory::detection, "X11: RandR {}.{} with {} outputs", major, minor,
            screen->outputs_.size());
    return screen;
}

RandrScreen::RandrScreen(std::unique_ptr<Connection> connection) : x_(std::move(connection)) {}

RandrScreen::~RandrScreen() = default;

int RandrScreen::fd() const {
    return ConnectionNumber(x_->display);
}

bool RandrScreen::takeEvents() {
    bool changed = false;
    while (XPending(x_->display) > 0) {
        XEvent event;
        XNextEvent(x_->display, &event);
        XRRUpdateConfiguration(&event);
        int type = event.type - x_->eventBase;
        if (type == RRScreenChangeNotify || type == RRNotify)
            changed = true;
    }
    if (changed)
        reload();
    return changed;
}

const RandrOutput* RandrScreen::output(std::uint64_t id) const {
    for (const auto& o : outputs_)
        if (o.id == id)
            return &o;
    return nullptr;
}

void RandrScreen::reload() {
    outputs_.clear();
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(x_->display, x_->root);
    if (!resources)
        return;
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(x_->display, resources, resources->outputs[i]);
        if (!info)
            continue;
        RandrOutput out;
        out.id = resources->outputs[i];
        out.name.assign(info->name, info->nameLen);
        out.connected = info->connection == RR_Connected;
        out.crtc = info->crtc;
        for (int m = 0; m < info->nmode; ++m)
            for (int k = 0; k < resources->nmode; ++k)
                if (resources->modes[k].id == info->modes[m]) {
                    const auto& mode = resources->modes[k];
                    out.modes.push_back({mode.id, mode.width, mode.height, refreshOf(mode)});
                }
        if (info->crtc)
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(x_->display, resources, info->crtc)) {
                out.bounds = {static_cast<double>(crtc->x), static_cast<double>(crtc->y),
                              static_cast<double>(crtc->width), static_cast<double>(crtc->height)};
                out.rotation = degreesClockwise(crtc->rotation);
                out.mode = crtc->mode;
                XRRFreeCrtcInfo(crtc);
            }
        XRRFreeOutputInfo(info);

        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XRRGetOutputProperty(x_->display, out.id, x_->edidAtom, 0, 256, False, False, AnyPropertyType,
                                 &type, &format, &items, &after, &data) == Success &&
            data) {
            if (format == 8)
                out.edid.assign(data, data + items);
            XFree(data);
        }
        outputs_.push_back(std::move(out));
    }
    XRRFreeScreenResources(resources);
}

std::size_t RandrScreen::gammaSize(std::uint64_t crtc) {
    int size = XRRGetCrtcGammaSize(x_->display, crtc);
    return size > 0 ? static_cast<std::size_t>(size) : 0;
}

std::optional<GammaRamp> RandrScreen::gamma(std::uint64_t crtc) {
    if (!crtc || gammaSize(crtc) == 0)
        return std::nullopt;
    XRRCrtcGamma* gamma = XRRGetCrtcGamma(x_->display, crtc);
    if (!gamma)
        return std::nullopt;
    GammaRamp ramp;
    if (gamma->size > 0) {
        ramp.red.assign(gamma->red, gamma->red + gamma->size);
        ramp.green.assign(gamma->green, gamma->green + gamma->size);
        ramp.blue.assign(gamma->blue, gamma->blue + gamma->size);
    }
    XRRFreeGamma(gamma);
    if (ramp.size() == 0)
        return std::nullopt;
    return ramp;
}

bool RandrScreen::setGamma(std::uint64_t crtc, const GammaRamp& ramp) {
    std::size_t size = gammaSize(crtc);
    if (!crtc || size == 0 || ramp.size() != size || ramp.green.size() != size || ramp.blue.size() != size)
        return false;
    XRRCrtcGamma* gamma = XRRAllocGamma(static_cast<int>(size));
    if (!gamma)
        return false;
    std::copy(ramp.red.begin(), ramp.red.end(), gamma->red);
    std::copy(ramp.green.begin(), ramp.green.end(), gamma->green);
    std::copy(ramp.blue.begin(), ramp.blue.end(), gamma->blue);
    bool ok = x_->checked([&] { XRRSetCrtcGamma(x_->display, crtc, gamma); });
    XRRFreeGamma(gamma);
    return ok;
}

bool RandrScreen::configure(std::uint64_t outputId, std::uint64_t modeId, int degrees) {
    auto rotation = rotationFor(degrees);
    const RandrOutput* out = output(outputId);
    if (!rotation || !out || !out->crtc)
        return false;
    auto mode = std::find_if(out->modes.begin(), out->modes.end(), [&](auto& m) { return m.id == modeId; });
    if (mode == out->modes.end())
        return false;
    const bool sideways = degrees == 90 || degrees == 270;
    const double width = sideways ? mode->height : mode->width;
    const double height = sideways ? mode->width : mode->height;

    // The screen must hold every lit CRTC, this one with its new size.
    double needWidth = out->bounds.x + width, needHeight = out->bounds.y + height;
    for (const auto& o : outputs_)
        if (o.crtc && o.crtc != out->crtc) {
            needWidth = std::max(needWidth, o.bounds.x + o.bounds.width);
            needHeight = std::max(needHeight, o.bounds.y + o.bounds.height);
        }
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    XRRGetScreenSizeRange(x_->display, x_->root, &minW, &minH, &maxW, &maxH);
    if (needWidth > maxW || needHeight > maxH)
        return false;
    const int screen = DefaultScreen(x_->display);
    const int curW = DisplayWidth(x_->display, screen), curH = DisplayHeight(x_->display, screen);
    auto resize = [&](int w, int h) {
        // Keep the physical size per pixel, so the reported resolution stays.
        int mmW = curW > 0 ? DisplayWidthMM(x_->display, screen) * w / curW : 0;
        int mmH = curH > 0 ? DisplayHeightMM(x_->display, screen) * h / curH : 0;
        return x_->checked(
            [&] { XRRSetScreenSize(x_->display, x_->root, w, h, std::max(mmW, 1), std::max(mmH, 1)); });
    };
    const int newW = std::max(static_cast<int>(needWidth), minW),
              newH = std::max(static_cast<int>(needHeight), minH);
    const bool grow = newW > curW || newH > curH;
    if (grow && !resize(std::max(newW, curW), std::max(newH, curH)))
        return false;

    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(x_->display, x_->root);
    if (!resources)
        return false;
    RROutput outputs[1] = {static_cast<RROutput>(outputId)};
    Status status = RRSetConfigFailed;
    bool ok = x_->checked([&] {
        status =
            XRRSetCrtcConfig(x_->display, resources, out->crtc, CurrentTime, static_cast<int>(out->bounds.x),
                             static_cast<int>(out->bounds.y), modeId, *rotation, outputs, 1);
    });
    XRRFreeScreenResources(resources);
    ok = ok && status == RRSetConfigSuccess;
    if (ok && (newW != curW || newH != curH))
        resize(newW, newH);
    reload();
    return ok;
}

bool RandrScreen::setEdidProperty(std::uint64_t outputId, const std::vector<std::uint8_t>& edid) {
    bool ok = x_->checked([&] {
        XRRChangeOutputProperty(x_->display, outputId, x_->edidAtom, XA_INTEGER, 8, PropModeReplace,
                                edid.data(), static_cast<int>(edid.size()));
    });
    reload();
    return ok;
}
#else
struct RandrScreen::Connection {};

std::unique_ptr<RandrScreen> RandrScreen::open(const std::optional<std::string>&) {
    logInfo(LogCategory::detection, "X11: this build has no RandR support — positions from the connectors, "
                                    "gamma dimming, modes and rotation unavailable");
    return nullptr;
}
RandrScreen::RandrScreen(std::unique_ptr<Connection> connection) : x_(std::move(connection)) {}
RandrScreen::~RandrScreen() = default;
int RandrScreen::fd() const {
    return -1;
}
bool RandrScreen::takeEvents() {
    return false;
}
const RandrOutput* RandrScreen::output(std::uint64_t) const {
    return nullptr;
}
void RandrScreen::reload() {}
std::optional<GammaRamp> RandrScreen::gamma(std::uint64_t) {
    return std::nullopt;
}
bool RandrScreen::setGamma(std::uint64_t, const GammaRamp&) {
    return false;
}
std::size_t RandrScreen::gammaSize(std::uint64_t) {
    return 0;
}
bool RandrScreen::configure(std::uint64_t, std::uint64_t, int) {
    return false;
}
bool RandrScreen::setEdidProperty(std::uint64_t, const std::vector<std::uint8_t>&) {
    return false;
}
#endif

} // namespace brivio
