#pragma once
#include <QString>
#include <QStringList>
#include <functional>

namespace obu {

class Clock;
class Formats;

// log.txt: "[" + date-time text + "]: " + message, CR LF, single-byte text.
// The file is opened for each event and closed again; nothing is held open.
// Failures raise IoError with the framework's text ("File not found", ...).
class EventLog {
public:
    EventLog(Clock& clock, const Formats& formats, QString path)
        : clock_(clock), formats_(formats), path_(std::move(path)) {}

    const QString& path() const { return path_; }
    // Called with each line written, without its line break.
    void setEcho(std::function<void(const QString&)> echo) { echo_ = std::move(echo); }

    // Creates or truncates the file and writes the first line.
    void Start(const QString& message);
    // Appends one line; the file must exist.
    void WriteLogLine(const QString& message) { WriteLogLines({message}); }
    // Appends several lines of one event in one opening, each with its own time stamp.
    void WriteLogLines(const QStringList& messages);

    // The text between the brackets for the current moment.
    QString DateTimeText() const;

private:
    void writeLines(int openFlags, const QStringList& messages);

    Clock& clock_;
    const Formats& formats_;
    QString path_;
    std::function<void(const QString&)> echo_;
};

}  // namespace obu
