#pragma once
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace obu::test {

// A fresh folder that stands for the program's folder; removed at the end.
class TempFolder {
public:
    TempFolder();
    // With a trailing '/'.
    QString path() const;
    QString file(const QString& name) const { return path() + name; }
    QByteArray read(const QString& name) const;
    void write(const QString& name, const QByteArray& bytes) const;
    bool exists(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

}  // namespace obu::test
