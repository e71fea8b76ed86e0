#pragma once
#include <QByteArray>
#include <QString>
#include <optional>

namespace obu {

// A serial device opened for a modem: non-blocking, raw 8N1 at a given speed,
// hardware flow control when asked, HUPCL so that the last close drops DTR.
// Pseudo-terminals have no modem control lines: there DTR and DCD calls report
// that they are not available and the caller relies on AT commands alone.
class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    struct Settings {
        int speed = 115200;
        bool hardwareFlow = true;
    };
    // Opens the device; false with errno and a text in error() on failure.
    bool open(const QByteArray& device, const Settings& settings);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QByteArray& device() const { return m_device; }
    const QString& error() const { return m_error; }
    // The errno of the failed open.
    int errorNumber() const { return m_errno; }

    // Reads what is waiting (never blocks). False when the device has gone
    // away (end of file or an error other than "try again").
    bool readAvailable(QByteArray& into);
    // Writes all of text, waiting up to a short time when the output is full.
    bool write(const QByteArray& text);
    // Discards input not yet read.
    void flushInput();

    // DTR up or down; false when the device has no modem control lines.
    bool setDtr(bool on);
    // Whether the modem reports a carrier; nullopt when the device cannot tell.
    std::optional<bool> carrier() const;
    // Leaves DTR up when the descriptor closes (the line goes on in another
    // process that has it open too).
    void keepDtrOnClose();

    // Why this user may not open a device, and what would let them: the
    // group that owns it by name, or its owner when no group may use it.
    static QString permissionAdvice(const QByteArray& device);

    // Speeds that termios knows; 0 for others.
    static unsigned speedConstant(int speed);

private:
    int m_fd = -1;
    QByteArray m_device;
    QString m_error;
    int m_errno = 0;
};

}  // namespace obu
