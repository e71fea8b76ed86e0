// Opens one plain X window titled by its first argument and prints its id
// once it is mapped; runs until it is killed.
//   (no option)       _NET_WM_NAME in UTF-8 and WM_NAME in Latin-1, as most programs do
//   --wm-name-only    only WM_NAME, in Latin-1, as older programs do
//   --net-name-only   _NET_WM_NAME, and an unrelated WM_NAME
//   --titled-late     mapped as "untitled", given its title a moment after it
//                     was mapped (as a dialog that fills in its caption)
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TITLE [--wm-name-only|--net-name-only]\n", argv[0]);
        return 2;
    }
    const QString title = QString::fromUtf8(argv[1]);
    const char* mode = argc > 2 ? argv[2] : "";
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 40, 40, 360, 90, 1,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    XClassHint hint;
    char name[] = "obu-test-window";
    hint.res_name = name;
    hint.res_class = name;
    XSetClassHint(display, window, &hint);

    const bool late = std::strcmp(mode, "--titled-late") == 0;
    const auto setTitle = [&](const QString& text) {
        const QByteArray latin1 = std::strcmp(mode, "--net-name-only") == 0
                                      ? QByteArray("unrelated title")
                                      : text.toLatin1();
        XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.constData()), latin1.size());
        if (std::strcmp(mode, "--wm-name-only") != 0) {
            const QByteArray utf8 = text.toUtf8();
            XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                            XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8.constData()), utf8.size());
        }
    };
    setTitle(late ? QStringLiteral("untitled") : title);
    XSelectInput(display, window, StructureNotifyMask | ExposureMask);
    XMapWindow(display, window);
    bool told = false;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (!told && event.type == MapNotify && event.xmap.window == window) {
            told = true;
            if (late) {
                ::usleep(300000);
                setTitle(title);
                XFlush(display);
            }
            std::printf("0x%lx\n", window);
            std::fflush(stdout);
        }
    }
}
