#pragma once
#include <QString>
#include <stdexcept>

namespace obu {

// An error that the default error box shows to the user; the
// handler that raised it ends there, the program goes on.
class ObuError : public std::runtime_error {
public:
    explicit ObuError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// Input/output error of the log file: its error code and the text the user sees.
class IoError : public ObuError {
public:
    explicit IoError(int code) : ObuError(textFor(code)), m_code(code) {}
    // The same text followed by the file it is about: "File access denied: " + path.
    IoError(int code, const QString& path)
        : ObuError(textFor(code) + QStringLiteral(": ") + path), m_code(code) {}
    int code() const { return m_code; }
    // "File not found", "File access denied", or "I/O error %d".
    static QString textFor(int code);
    // The number the messages give for an errno value: 2 (not found), 5
    // (access denied), else a number of its own that "I/O error" shows.
    static int codeForErrno(int err);

private:
    int m_code;
};

// A settings write that failed: "Unable to write to " + path.
class WriteError : public ObuError {
public:
    explicit WriteError(const QString& path)
        : ObuError(QStringLiteral("Unable to write to ") + path) {}
};

}  // namespace obu
