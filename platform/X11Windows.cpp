#include "platform/X11Windows.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QString>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

// Xlib comes last: its macros would rename parts of Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace obu {

struct X11Windows::Connection {
    Display* display = nullptr;
    bool dead = false;  // the server went away; the display must not be used again
    Atom clientList = 0;
    Atom clientListStacking = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom wmState = 0;
    // Clients whose property changes a watch has asked for.
    std::vector<Window> watchedClients;

    ~Connection();
};

namespace {

int errorsSeen = 0;
int countError(Display*, XErrorEvent*) {
    ++errorsSeen;
    return 0;
}

void serverGone(Display*, void* connection) {
    // Returning instead of exiting leaves the display marked unusable.
    static_cast<X11Windows::Connection*>(connection)->dead = true;
}

// Xlib's default handler for a lost server ends the process before the
// display's own exit handler is asked. For our displays this one returns, so
// that serverGone() is; other displays (the toolkit's) keep their handling.
std::vector<Display*> ourDisplays;
XIOErrorHandler othersIoHandler = nullptr;

int ioError(Display* display) {
    if (std::find(ourDisplays.begin(), ourDisplays.end(), display) != ourDisplays.end()) return 0;
    return othersIoHandler ? othersIoHandler(display) : 0;
}

// While it lives, errors of the server (a window that vanished between being
// listed and being read) are counted instead of ending the program.
class ErrorTrap {
public:
    explicit ErrorTrap(X11Windows::Connection& x) : m_x(x) {
        errorsSeen = 0;
        m_previous = XSetErrorHandler(countError);
    }
    ~ErrorTrap() {
        if (!m_x.dead) XSync(m_x.display, False);
        XSetErrorHandler(m_previous);
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    bool failed() const { return errorsSeen != 0 || m_x.dead; }

private:
    X11Windows::Connection& m_x;
    XErrorHandler m_previous;
};

// A property's raw items, or nothing when the window lacks it or is gone.
struct Property {
    Atom type = None;
    int format = 0;
    QByteArray bytes;
    unsigned long items = 0;
};

bool readProperty(X11Windows::Connection& x, Window w, Atom name, Atom type, Property& out) {
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long items = 0;
    unsigned long bytesAfter = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(x.display, w, name, 0, LONG_MAX / 4, False, type,
                                          &actualType, &actualFormat, &items, &bytesAfter, &data);
    if (status != Success || x.dead || actualType == None || !data) {
        if (data) XFree(data);
        return false;
    }
    // Items of format 32 are longs in memory, whatever their size on the wire.
    const size_t itemSize = actualFormat == 32 ? sizeof(long) : actualFormat / 8;
    out.type = actualType;
    out.format = actualFormat;
    out.items = items;
    out.bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(items * itemSize));
    XFree(data);
    return true;
}

QList<Window> windowList(X11Windows::Connection& x, Window root, Atom name) {
    QList<Window> out;
    Property p;
    if (!readProperty(x, root, name, XA_WINDOW, p) || p.format != 32) return out;
    const auto* ids = reinterpret_cast<const unsigned long*>(p.bytes.constData());
    for (unsigned long i = 0; i < p.items; ++i) out.append(ids[i]);
    return out;
}

bool hasWmState(X11Windows::Connection& x, Window w) {
    Property p;
    return readProperty(x, w, x.wmState, AnyPropertyType, p);
}

// The application's window inside a frame of the window manager, as xprop
// finds it: the first window below with the window manager's state property.
Window clientWindow(X11Windows::Connection& x, Window w, int depth = 0) {
    if (hasWmState(x, w)) return w;
    if (depth >= 3 || x.dead) return None;
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x.display, w, &root, &parent, &children, &count)) return None;
    Window found = None;
    for (unsigned int i = 0; i < count && found == None; ++i)
        found = clientWindow(x, children[i], depth + 1);
    if (children) XFree(children);
    return found;
}

// Top-level clients, the top of the stack first where the window manager
// tells the stacking order.
QList<Window> topLevelClients(X11Windows::Connection& x, Window root) {
    QList<Window> stacking = windowList(x, root, x.clientListStacking);
    if (!stacking.isEmpty()) {
        std::reverse(stacking.begin(), stacking.end());
        return stacking;
    }
    QList<Window> clients = windowList(x, root, x.clientList);
    if (!clients.isEmpty() || x.dead) return clients;

    // No window manager that keeps the list: the children of the root, from the top.
    Window rootOut = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x.display, root, &rootOut, &parent, &children, &count)) return clients;
    for (unsigned int i = count; i-- > 0 && !x.dead;) {
        const Window client = clientWindow(x, children[i]);
        clients.append(client != None ? client : children[i]);
    }
    if (children) XFree(children);
    return clients;
}

QString titleOf(X11Windows::Connection& x, Window w) {
    Property p;
    if (readProperty(x, w, x.netWmName, x.utf8String, p) && p.format == 8)
        return QString::fromUtf8(p.bytes);
    if (x.dead || !readProperty(x, w, XA_WM_NAME, AnyPropertyType, p) || p.format != 8) return {};
    if (p.type == x.utf8String) return QString::fromUtf8(p.bytes);
    if (p.type == XA_STRING) return QString::fromLatin1(p.bytes);
    // Compound text and other encodings: Xlib converts them.
    XTextProperty text{};
    text.value = reinterpret_cast<unsigned char*>(p.bytes.data());
    text.encoding = p.type;
    text.format = 8;
    text.nitems = static_cast<unsigned long>(p.bytes.size());
    char** list = nullptr;
    int count = 0;
    QString title;
    if (Xutf8TextPropertyToTextList(x.display, &text, &list, &count) >= Success && list) {
        for (int i = 0; i < count; ++i) title += QString::fromUtf8(list[i]);
        XFreeStringList(list);
    } else {
        title = QString::fromLatin1(p.bytes);
    }
    return title;
}

}  // namespace

X11Windows::Connection::~Connection() {
    if (!display) return;
    // A display whose server has gone is left alone: closing it would write to it.
    if (!dead) XCloseDisplay(display);
    ourDisplays.erase(std::remove(ourDisplays.begin(), ourDisplays.end(), display),
                      ourDisplays.end());
}

X11Windows::X11Windows() = default;
X11Windows::~X11Windows() = default;

bool X11Windows::connected() const {
    return m_x && m_x->display && !m_x->dead;
}

bool X11Windows::ensureConnection() {
    if (!m_tried) {
        m_tried = true;
        if (Display* display = XOpenDisplay(nullptr)) {
            m_x = std::make_unique<Connection>();
            m_x->display = display;
            XSetIOErrorExitHandler(display, serverGone, m_x.get());
            if (ourDisplays.empty()) {
                const XIOErrorHandler previous = XSetIOErrorHandler(ioError);
                if (previous != ioError) othersIoHandler = previous;
            }
            ourDisplays.push_back(display);
            m_x->clientList = XInternAtom(display, "_NET_CLIENT_LIST", False);
            m_x->clientListStacking = XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False);
            m_x->netWmName = XInternAtom(display, "_NET_WM_NAME", False);
            m_x->utf8String = XInternAtom(display, "UTF8_STRING", False);
            m_x->wmState = XInternAtom(display, "WM_STATE", False);
        }
    }
    if (connected()) return true;
    if (!m_told) {
        m_told = true;
        const QByteArray name = qgetenv("DISPLAY");
        if (m_x && m_x->dead) {
            std::fprintf(stderr,
                         "obu: the X server has gone away: the dial-up status window can no "
                         "longer be found or minimized.\n");
        } else if (name.isEmpty()) {
            std::fprintf(stderr,
                         "obu: no X display (DISPLAY is not set): the dial-up status window "
                         "cannot be found or minimized on this desktop.\n");
        } else {
            std::fprintf(stderr,
                         "obu: cannot open the X display %s: the dial-up status window cannot "
                         "be found or minimized.\n",
                         name.constData());
        }
    }
    return false;
}

Windows::Handle X11Windows::findWindowTitled(const QString& title) {
    if (!ensureConnection()) return 0;
    Connection& x = *m_x;
    Window found = 0;
    {
        ErrorTrap trap(x);
        for (int screen = 0; screen < ScreenCount(x.display) && !x.dead && !found; ++screen) {
            for (const Window w : topLevelClients(x, RootWindow(x.display, screen))) {
                if (x.dead) break;
                // Selected before the title is read, so a later title is told.
                if (m_changed && std::find(x.watchedClients.begin(), x.watchedClients.end(), w) ==
                                     x.watchedClients.end()) {
                    XSelectInput(x.display, w, PropertyChangeMask);
                    x.watchedClients.push_back(w);
                }
                if (titleMatches(titleOf(x, w), title)) {
                    found = w;
                    break;
                }
            }
        }
    }
    // Events that arrived with the replies are queued inside Xlib, where the
    // socket's notifier cannot see them.
    if (m_changed && m_notifier && !x.dead && XQLength(x.display) > 0)
        QMetaObject::invokeMethod(
            m_notifier.get(), [this] { onEvents(); }, Qt::QueuedConnection);
    return found;
}

bool X11Windows::watch(std::function<void()> changed) {
    // Without a loop nothing would ever read the socket.
    if (!QCoreApplication::instance() || !ensureConnection()) return false;
    Connection& x = *m_x;
    {
        ErrorTrap trap(x);
        for (int screen = 0; screen < ScreenCount(x.display); ++screen)
            XSelectInput(x.display, RootWindow(x.display, screen),
                         PropertyChangeMask | SubstructureNotifyMask);
    }
    if (x.dead) return false;
    m_changed = std::move(changed);
    if (!m_notifier) {
        m_notifier =
            std::make_unique<QSocketNotifier>(ConnectionNumber(x.display), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onEvents(); });
    }
    m_notifier->setEnabled(true);
    return true;
}

void X11Windows::unwatch() {
    if (!m_changed) return;
    m_changed = nullptr;
    if (m_notifier) m_notifier->setEnabled(false);
    if (!connected()) return;
    Connection& x = *m_x;
    ErrorTrap trap(x);
    for (int screen = 0; screen < ScreenCount(x.display); ++screen)
        XSelectInput(x.display, RootWindow(x.display, screen), NoEventMask);
    for (const Window w : x.watchedClients) XSelectInput(x.display, w, NoEventMask);
    x.watchedClients.clear();
}

bool X11Windows::takeEvents() {
    Connection& x = *m_x;
    bool relevant = false;
    while (!x.dead && XPending(x.display) > 0) {
        XEvent event;
        XNextEvent(x.display, &event);
        switch (event.type) {
            case CreateNotify:
            case MapNotify:
            case ReparentNotify:
                relevant = true;
                break;
            case DestroyNotify:
                std::erase(x.watchedClients, event.xdestroywindow.window);
                break;
            case PropertyNotify: {
                const Atom atom = event.xproperty.atom;
                if (atom == x.clientList || atom == x.netWmName || atom == XA_WM_NAME ||
                    atom == x.wmState)
                    relevant = true;
                break;
            }
            default:
                break;
        }
    }
    return relevant;
}

void X11Windows::onEvents() {
    if (!connected()) {
        if (m_notifier) m_notifier->setEnabled(false);
        return;
    }
    // A search may bring further events with its replies: they are looked at in turn.
    while (m_changed && takeEvents()) {
        const std::function<void()> changed = m_changed;
        changed();
        if (!connected()) break;
    }
}

bool X11Windows::minimize(Handle window) {
    if (!ensureConnection()) return false;
    Connection& x = *m_x;
    ErrorTrap trap(x);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(x.display, static_cast<Window>(window), &attributes) || x.dead)
        return false;
    const Status sent = XIconifyWindow(x.display, static_cast<Window>(window),
                                       XScreenNumberOfScreen(attributes.screen));
    if (!x.dead) XFlush(x.display);
    return sent != 0 && !x.dead;
}

}  // namespace obu
