#include "model/Extras.h"

#include "model/EventLog.h"
#include "model/Settings.h"
#include "model/WebPageOpener.h"
#include "platform/Platform.h"
#include "platform/Shell.h"
#include "platform/WindowTimer.h"

namespace obu {
namespace {

// Why a start failed, in the log's words.
QString failureText(Shell::Outcome outcome) {
    switch (outcome) {
        case Shell::Outcome::Started:
            return {};
        case Shell::Outcome::NotFound:
            return QStringLiteral("file not found");
        case Shell::Outcome::FolderNotFound:
            return QStringLiteral("folder not found");
        case Shell::Outcome::NotAllowed:
            return QStringLiteral("access denied");
        case Shell::Outcome::NotAProgram:
            return QStringLiteral("not a program");
        case Shell::Outcome::NoApplication:
            return QStringLiteral("no application for it");
        case Shell::Outcome::OutOfResources:
            break;
    }
    return QStringLiteral("out of resources");
}

// A start that failed is logged as such: a " launched" line for a program
// that never ran would send the user looking in the wrong place.
void logStart(EventLog& log, const QString& name, Shell::Outcome outcome) {
    log.writeLine(outcome == Shell::Outcome::Started
                      ? name + QStringLiteral(" launched")
                      : name + QStringLiteral(" could not be launched (") + failureText(outcome) +
                            u')');
}

void logTooLong(EventLog& log, const QString& name, const QString& what) {
    log.writeLine(name + QStringLiteral(" could not be launched (its ") + what +
                  QStringLiteral(" is longer than %1 characters)").arg(kMaxFieldText));
}

}  // namespace

Extras::Extras(Platform& platform, QObject* parent) : QObject(parent), m_platform(platform) {}

Extras::~Extras() = default;

QString Extras::unsetName(int n) {
    return isWebPage(n) ? QStringLiteral("Webpage Name %1").arg(n)
                        : QStringLiteral("Program Name %1").arg(n - 4);
}

void Extras::load(Settings& settings) {
    m_settings = &settings;
    std::array<bool, kSlots + 1> savedLights{};
    for (int n = 1; n <= kSlots; ++n) savedLights[n] = settings.flag({Setting::ExtraLight, n});
    for (int n = 1; n <= kSlots; ++n) m_slots[n].set = settings.flag({Setting::ExtraSet, n});
    for (int n = 1; n <= kSlots; ++n) {
        Slot& slot = m_slots[n];
        if (!slot.set) continue;
        slot.name = settings.text({Setting::ExtraName, n}).left(kMaxFieldText);
        const QString path = settings.text({Setting::ExtraPath, n});
        slot.path = path.left(kMaxFieldText);
        slot.pathCut = path.size() > kMaxFieldText;
    }
    // A light can be on only for a slot that has something to start.
    for (int n = 1; n <= kSlots; ++n) {
        if (m_slots[n].path.isEmpty()) continue;
        if (savedLights[n]) setOn(n, true);
        emit slotChanged(n);
    }
}

Extras::Slots Extras::reread() {
    Slots whole = m_slots;
    if (!m_settings) return whole;
    for (int n = 1; n <= kSlots; ++n) {
        Slot& slot = m_slots[n];
        if (!slot.set) continue;
        whole[n].name = m_settings->text({Setting::ExtraName, n});
        whole[n].path = m_settings->text({Setting::ExtraPath, n});
        slot.name = whole[n].name.left(kMaxFieldText);
        slot.path = whole[n].path.left(kMaxFieldText);
    }
    return whole;
}

Extras::RowChange Extras::rowChange(int n, const QString& name, const QString& path) const {
    // "http://" is the empty address row as the editor fills it; the
    // comparison is exact, so "HTTP://" alone is an address.
    const bool nothing = path.isEmpty() || (isWebPage(n) && path == QLatin1String("http://"));
    if (nothing) return RowChange::Clear;
    const Slot& stored = m_slots[n];
    // A stored row without a name is shown under its placeholder: left as it
    // is, it is the same row, not one renamed to the placeholder.
    const bool sameName = name == stored.name || (stored.name.isEmpty() && name == unsetName(n));
    if (sameName && path == stored.path) return RowChange::Keep;
    return RowChange::Store;
}

void Extras::applyRows(const std::array<QString, kSlots + 1>& names,
                       const std::array<QString, kSlots + 1>& paths) {
    for (int n = 1; n <= kSlots; ++n) {
        switch (rowChange(n, names[n], paths[n])) {
            case RowChange::Clear:
                m_slots[n] = Slot{};
                setOn(n, false);
                emit slotChanged(n);
                break;
            case RowChange::Keep:
                break;
            case RowChange::Store:
                m_slots[n].name = names[n].left(kMaxFieldText);
                m_slots[n].path = paths[n].left(kMaxFieldText);
                m_slots[n].set = true;
                setOn(n, true);
                emit slotChanged(n);
                break;
        }
    }
    if (!m_settings) return;
    for (int n = 1; n <= kSlots; ++n) {
        const Slot& slot = m_slots[n];
        m_settings->setFlag({Setting::ExtraSet, n}, slot.set);
        m_settings->setText({Setting::ExtraName, n}, slot.name);
        m_settings->setText({Setting::ExtraPath, n}, slot.path);
    }
}

void Extras::toggle(int n) {
    setOn(n, !m_on[n]);
}

void Extras::setOn(int n, bool on) {
    m_on[n] = on;
    emit lightChanged(n, on);
}

void Extras::launch(EventLog& log) {
    if (m_run) {
        m_waitingLaunches.push_back(&log);
        return;
    }
    beginRun(log);
}

void Extras::beginRun(EventLog& log) {
    log.writeLine(QStringLiteral("Launching extras"));
    m_run = std::make_unique<Run>(Run{&log, {}, {}});
    for (int n = 1; n <= kSlots; ++n) {
        if (!m_on[n]) continue;
        (isWebPage(n) ? m_run->pages : m_run->programs).push_back(m_slots[n]);
    }
    if (m_run->pages.empty() || !m_platform.loop) {
        finishRun();
        return;
    }
    if (!m_pageSpacing) {
        m_pageSpacing = std::make_unique<WindowTimer>(*m_platform.loop, kPageSpacingMs);
        m_pageSpacing->setOnTimer([this] { startNextPage(); });
    }
    m_pageSpacing->setEnabled(true);
}

void Extras::startNextPage() {
    const Slot page = m_run->pages.front();
    m_run->pages.pop_front();
    const bool last = m_run->pages.empty();
    if (last) m_pageSpacing->setEnabled(false);
    try {
        launchPage(page, *m_run->log);
    } catch (...) {
        // A log that cannot be written ends the launch, as it ends any handler.
        m_pageSpacing->setEnabled(false);
        m_run.reset();
        throw;
    }
    if (last) finishRun();
}

// Whatever pages there were have been handed over: the programs go at once.
void Extras::finishRun() {
    const std::unique_ptr<Run> run = std::move(m_run);
    for (const Slot& page : run->pages) launchPage(page, *run->log);
    for (const Slot& program : run->programs) launchProgram(program, *run->log);
    emit launched();
    if (m_waitingLaunches.empty()) return;
    EventLog* log = m_waitingLaunches.front();
    m_waitingLaunches.pop_front();
    beginRun(*log);
}

void Extras::launchPage(const Slot& slot, EventLog& log) {
    emit launching((QStringLiteral("Launching Webpage: ") + slot.name).left(kMaxFieldText));
    if (slot.pathCut) {
        logTooLong(log, slot.name, QStringLiteral("address"));
        return;
    }
    Shell::Outcome outcome = Shell::Outcome::NoApplication;
    if (m_platform.shell)
        outcome = WebPageOpener::openPage(m_platform.registry, *m_platform.shell, slot.path);
    logStart(log, slot.name, outcome);
}

void Extras::launchProgram(const Slot& slot, EventLog& log) {
    emit launching((QStringLiteral("Launching Program: ") + slot.name).left(kMaxFieldText));
    if (slot.pathCut) {
        logTooLong(log, slot.name, QStringLiteral("file name"));
        return;
    }
    Shell::Outcome outcome = Shell::Outcome::NoApplication;
    if (m_platform.shell) outcome = m_platform.shell->open(slot.path);
    logStart(log, slot.name, outcome);
}

}  // namespace obu
