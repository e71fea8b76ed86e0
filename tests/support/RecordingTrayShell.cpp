#include "tests/support/RecordingTrayShell.h"

namespace obu::test {

bool RecordingTrayShell::Shell_NotifyIconA(std::uint32_t message, const NOTIFYICONDATAA& data) {
    bool result = false;
    const auto key = std::make_pair(data.hWnd, data.uID);
    auto it = icons_.find(key);
    auto failure = failures_.find(message);
    if (failure != failures_.end() && failure->second > 0) {
        --failure->second;
    } else if (validRecord(data)) {
        switch (message) {
            case NIM_ADD:
                result = it == icons_.end();
                if (result) icons_[key] = data;
                break;
            case NIM_MODIFY:
                result = it != icons_.end();
                if (result) mergeRecord(it->second, data);
                break;
            case NIM_DELETE:
                result = it != icons_.end();
                if (result) icons_.erase(it);
                break;
            default:
                break;
        }
    }
    calls_.push_back({message, data, result});
    return result;
}

int RecordingTrayShell::count(std::uint32_t message) const {
    int n = 0;
    for (const Call& call : calls_) n += call.message == message;
    return n;
}

const NOTIFYICONDATAA* RecordingTrayShell::shown(NotifyTarget hWnd, std::uint32_t uID) const {
    auto it = icons_.find({hWnd, uID});
    return it == icons_.end() ? nullptr : &it->second;
}

QString RecordingTrayShell::tipShown(NotifyTarget hWnd, std::uint32_t uID) const {
    const NOTIFYICONDATAA* icon = shown(hWnd, uID);
    return icon ? tipOf(*icon) : QString();
}

bool RecordingTrayShell::mouse(std::uint32_t mouseMessage, NotifyTarget hWnd, std::uint32_t uID) {
    const NOTIFYICONDATAA* icon = shown(hWnd, uID);
    if (!icon) return false;
    postMouseMessage(loop_, *icon, mouseMessage);
    return true;
}

bool RecordingTrayShell::doubleClick(NotifyTarget hWnd) {
    return mouse(WM_LBUTTONUP, hWnd) && mouse(WM_LBUTTONDBLCLK, hWnd) && mouse(WM_LBUTTONUP, hWnd);
}

}  // namespace obu::test
