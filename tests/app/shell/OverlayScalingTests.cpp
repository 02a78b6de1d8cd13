// Overlay windows on X11 land on the device pixels they are given whatever Qt's scale factor: run on a
// private Xvfb with QT_SCALE_FACTOR=2, and the X server asked where the windows really are.
#include "app/shell/QtWindowSystem.h"
#include "platform/linux/XvfbServer.h"

#include <QApplication>
#include <QPointer>
#include <QWindow>
#include <QtTest>

#ifdef BRIVIO_HAVE_X11
#include <xcb/xcb.h>
#endif

using namespace brivio;

namespace {

// The geometry the X server gives the window, in device pixels.
std::optional<QRect> serverGeometry(QWindow* window) {
#ifdef BRIVIO_HAVE_X11
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !window)
        return std::nullopt;
    xcb_connection_t* c = x11->connection();
    xcb_flush(c);
    auto* reply =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, static_cast<xcb_window_t>(window->winId())), nullptr);
    if (!reply)
        return std::nullopt;
    auto* translated = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, static_cast<xcb_window_t>(window->winId()), reply->root, 0, 0),
        nullptr);
    QRect r(translated ? translated->dst_x : reply->x, translated ? translated->dst_y : reply->y,
            reply->width, reply->height);
    free(translated);
    free(reply);
    return r;
#else
    (void)window;
    return std::nullopt;
#endif
}

} // namespace

class OverlayScalingTests : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void overlaysCoverTheirDevicePixelsAtScaleTwo() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("no Xvfb to run on");
        QCOMPARE(qGuiApp->primaryScreen()->devicePixelRatio(), 2.0);
        // The whole 1280 × 1024 screen, then its lower right quarter.
        for (QRect device : {QRect(0, 0, 1280, 1024), QRect(640, 512, 640, 512)}) {
            auto overlay = makeQtOverlayWindow(Rect{double(device.x()), double(device.y()),
                                                    double(device.width()), double(device.height())});
            QPointer<QWindow> window;
            for (QWindow* w : QGuiApplication::topLevelWindows())
                if (w->isVisible())
                    window = w;
            QVERIFY(window);
            QVERIFY(QTest::qWaitForWindowExposed(window.data()));
            QCOMPARE(window->geometry(), QRect(device.topLeft() / 2, device.size() / 2));
            QTRY_COMPARE(serverGeometry(window.data()).value_or(QRect()), device);
            overlay->close();
            QTRY_VERIFY(!window || !window->isVisible());
        }
    }
};

int main(int argc, char** argv) {
    // The scale factor and the platform are read when the application starts.
    auto xvfb = brivio::testing::XvfbServer::start();
    if (xvfb) {
        qputenv("DISPLAY", QByteArray::fromStdString(xvfb->display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("QT_SCALE_FACTOR", "2");
    }
    QApplication app(argc, argv);
    OverlayScalingTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "OverlayScalingTests.moc"
