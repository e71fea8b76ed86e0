#include "platform/TrayShell.h"

#include <cstring>
#include <map>
#include <mutex>

#include "platform/EventLoop.h"

namespace obu {

namespace {

struct IconTable {
    std::mutex mutex;
    std::map<IconHandle, QIcon> pictures;
    // Never reused, so a stale handle can never name a newer picture.
    IconHandle next = 1;
};

IconTable& iconTable() {
    static IconTable table;
    return table;
}

}  // namespace

bool TrayShell::validRecord(const NOTIFYICONDATAA& data) {
    return data.cbSize == sizeof(NOTIFYICONDATAA);
}

void TrayShell::mergeRecord(NOTIFYICONDATAA& stored, const NOTIFYICONDATAA& update) {
    stored.cbSize = update.cbSize;
    if (update.uFlags & NIF_MESSAGE) stored.uCallbackMessage = update.uCallbackMessage;
    if (update.uFlags & NIF_ICON) stored.hIcon = update.hIcon;
    if (update.uFlags & NIF_TIP) std::memcpy(stored.szTip, update.szTip, sizeof stored.szTip);
    stored.uFlags |= update.uFlags;
}

void TrayShell::postMouseMessage(EventLoop& loop, const NOTIFYICONDATAA& icon,
                                 std::uint32_t mouseMessage) {
    if (!(icon.uFlags & NIF_MESSAGE)) return;
    NotifyTargets::post(loop, icon.hWnd, icon.uCallbackMessage, icon.uID,
                        static_cast<std::intptr_t>(mouseMessage));
}

QString TrayShell::tipOf(const NOTIFYICONDATAA& data) {
    if (!(data.uFlags & NIF_TIP)) return {};
    return QString::fromLatin1(data.szTip,
                               static_cast<qsizetype>(strnlen(data.szTip, sizeof data.szTip)));
}

TIcon::~TIcon() {
    setPicture(QIcon());
}

void TIcon::setPicture(const QIcon& picture) {
    IconTable& table = iconTable();
    std::lock_guard lock(table.mutex);
    if (handle_ != 0) table.pictures.erase(handle_);
    handle_ = 0;
    picture_ = picture;
    if (picture_.isNull()) return;
    handle_ = table.next++;
    if (handle_ == 0) handle_ = table.next++;  // after a wrap of 2^32 pictures
    table.pictures[handle_] = picture_;
}

QIcon TIcon::fromHandle(IconHandle handle) {
    IconTable& table = iconTable();
    std::lock_guard lock(table.mutex);
    auto it = table.pictures.find(handle);
    return it == table.pictures.end() ? QIcon() : it->second;
}

}  // namespace obu
