#include "tests/support/TempFolder.h"

#include <QFile>
#include <QFileInfo>

namespace obu::test {

TempFolder::TempFolder() : m_dir(QDir::tempPath() + QStringLiteral("/obu-test-XXXXXX")) {}

QString TempFolder::path() const {
    return m_dir.path() + QLatin1Char('/');
}

QByteArray TempFolder::read(const QString& name) const {
    QFile f(file(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void TempFolder::write(const QString& name, const QByteArray& bytes) const {
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

bool TempFolder::exists(const QString& name) const {
    return QFileInfo::exists(file(name));
}

}  // namespace obu::test
