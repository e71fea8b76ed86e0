#pragma once
// The notification area as the program sees it: Shell_NotifyIconA with its
// record in its published 32-bit layout, and the mouse messages that the shell posts
// back to the window that registered an icon. QtTrayShell is the Linux
// implementation; tests put a recording double in its place.
#include <QIcon>
#include <cstdint>

#include "ras/NotifyTargets.h"

namespace obu {

class EventLoop;

// A picture the shell can be handed by number, as an HICON is. 0 is no picture.
using IconHandle = std::uint32_t;

// Window handles are notification targets: the shell posts to the procedure
// of the target that it was given, and a target destroyed meanwhile gets
// nothing. Both handles are 32 bits wide, so the record keeps the 88 bytes
// (and the cbSize) of the published 32-bit layout, field for field.
#pragma pack(push, 4)
struct NOTIFYICONDATAA {
    std::uint32_t cbSize;
    NotifyTarget hWnd;
    std::uint32_t uID;
    std::uint32_t uFlags;
    std::uint32_t uCallbackMessage;
    IconHandle hIcon;
    char szTip[64];
};
#pragma pack(pop)
static_assert(sizeof(NOTIFYICONDATAA) == 88, "the shell's record keeps its published size");

// Shell_NotifyIconA's commands.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;
// Which fields of the record are valid.
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

class TrayShell {
public:
    // The mouse messages that arrive as lParam of an icon's callback message.
    static constexpr std::uint32_t WM_MOUSEMOVE = 0x200;
    static constexpr std::uint32_t WM_LBUTTONDOWN = 0x201;
    static constexpr std::uint32_t WM_LBUTTONUP = 0x202;
    static constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x203;
    static constexpr std::uint32_t WM_RBUTTONDOWN = 0x204;
    static constexpr std::uint32_t WM_RBUTTONUP = 0x205;
    static constexpr std::uint32_t WM_MBUTTONUP = 0x208;

    virtual ~TrayShell() = default;

    // Adds, changes or removes the icon named by (hWnd, uID). NIM_ADD fails
    // for an icon that is already there, NIM_MODIFY and NIM_DELETE for one
    // that is not, and every command for a record whose cbSize is not 88.
    // NIM_MODIFY changes only the fields that uFlags names. Mouse actions on
    // an icon added with NIF_MESSAGE are posted to hWnd as uCallbackMessage,
    // wParam uID, lParam the mouse message.
    virtual bool Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) = 0;

    // False when this desktop has no notification area, so an icon cannot be
    // seen: a window must then not hide itself with the icon as the only way back.
    virtual bool available() const = 0;

protected:
    // The rules that every implementation shares: the record's size, and what
    // NIM_MODIFY keeps of an icon's earlier record.
    static bool validRecord(const NOTIFYICONDATAA& data);
    static void mergeRecord(NOTIFYICONDATAA& stored, const NOTIFYICONDATAA& update);
    // Posts a mouse message to the icon's window, when it asked for them.
    static void postMouseMessage(EventLoop& loop, const NOTIFYICONDATAA& icon,
                                 std::uint32_t mouseMessage);
    // The tooltip of a record as text (single-byte, up to its zero).
    static QString tipOf(const NOTIFYICONDATAA& data);
};

// An icon picture owned by a component, with the handle that the shell is
// given. A new picture gets a new handle; the handle dies with the object,
// and a shell that looked it up keeps its own copy of the picture.
// User-interface thread only.
class TIcon {
public:
    TIcon() = default;
    explicit TIcon(const QIcon& picture) { setPicture(picture); }
    ~TIcon();
    TIcon(const TIcon&) = delete;
    TIcon& operator=(const TIcon&) = delete;

    // Copies the picture of another icon object.
    void Assign(const TIcon& source) { setPicture(source.picture_); }
    void setPicture(const QIcon& picture);
    const QIcon& picture() const { return picture_; }
    bool Empty() const { return picture_.isNull(); }
    IconHandle Handle() const { return handle_; }

    // The picture behind a handle; a null icon for 0 or a handle no longer alive.
    static QIcon fromHandle(IconHandle handle);

private:
    QIcon picture_;
    IconHandle handle_ = 0;
};

}  // namespace obu
