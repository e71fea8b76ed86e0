#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace obu {

class Clock;
class Formats;

// log.txt: "[" + date-time text + "]: " + message, CR LF, single-byte text.
// The file is opened for each event and closed again; nothing is held open.
// Failures raise IoError with the error's text and the file's path
// ("File not found: /home/ann/.local/state/obu/log.txt").
//
// The log is never opened through a symbolic link, so a link put in its place
// cannot make it truncate or grow another file.
class EventLog {
public:
    EventLog(Clock& clock, const Formats& formats, QString path)
        : m_clock(clock), m_formats(formats), m_path(std::move(path)) {}

    const QString& path() const { return m_path; }
    // Called with each line written, without its line break.
    void setEcho(std::function<void(const QString&)> echo) { m_echo = std::move(echo); }

    // Begins a new log: the previous one is kept as log.1.txt beside it (the
    // one before that is dropped), a link in the log's place is removed, and
    // a new file, readable only by the user, gets the first line.
    void start(const QString& message);
    // Where start() keeps the previous run's log.
    QString previousPath() const;
    // Appends one line; the file must exist.
    void writeLine(const QString& message) { writeLines({message}); }
    // Appends several lines of one event in one opening, each with its own time stamp.
    void writeLines(const QStringList& messages);

    // The text between the brackets for the current moment.
    QString dateTimeText() const;

private:
    void writeToFile(int openFlags, const QStringList& messages);
    [[noreturn]] void fail(int err) const;

    Clock& m_clock;
    const Formats& m_formats;
    QString m_path;
    std::function<void(const QString&)> m_echo;
};

}  // namespace obu
