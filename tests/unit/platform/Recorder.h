#pragma once
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <optional>

namespace obu::test {

// A real program for tests of starting programs: a shell script that writes
// down what it was started with (its arguments, working folder, open files
// and standard input) into its folder, one record per run. While the file
// "hold" exists in that folder it keeps running after writing its record.
class Recorder {
public:
    struct Run {
        qint64 pid = 0;
        QString workingFolder;
        QStringList openFiles;  // descriptor numbers
        QString input;          // what standard input is
        QStringList arguments;  // without argv[0]
    };

    Recorder() { m_program = makeProgram(QStringLiteral("record")); }

    QString folder() const { return m_dir.path(); }
    // The recording program.
    QString program() const { return m_program; }

    // Another copy of the program at `relativePath` inside the folder (blanks allowed).
    QString makeProgram(const QString& relativePath) const {
        const QString path = m_dir.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(script());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    void hold(bool on) const {
        if (on) {
            QFile f(m_dir.filePath(QStringLiteral("hold")));
            f.open(QIODevice::WriteOnly);
        } else {
            QFile::remove(m_dir.filePath(QStringLiteral("hold")));
        }
    }

    // The next run not yet returned, waiting up to ten seconds for it.
    std::optional<Run> nextRun() {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            const QStringList done =
                QDir(m_dir.path()).entryList({QStringLiteral("done.*")}, QDir::Files, QDir::Time);
            for (const QString& name : done) {
                if (m_seen.contains(name)) continue;
                m_seen.insert(name);
                return readRun(name.mid(5).toLongLong());
            }
            QThread::msleep(10);
        }
        return std::nullopt;
    }

    // Whether any run finished that nextRun() has not returned.
    bool anyNewRun() const {
        for (const QString& name :
             QDir(m_dir.path()).entryList({QStringLiteral("done.*")}, QDir::Files))
            if (!m_seen.contains(name)) return true;
        return false;
    }

private:
    QByteArray script() const {
        const QByteArray dir = QFile::encodeName(m_dir.path());
        return "#!/bin/sh\n"
               "dir='" +
               dir +
               "'\n"
               "{ pwd; ls /proc/$$/fd | tr '\\n' ' '; echo; readlink /proc/$$/fd/0; } > "
               "\"$dir/info.$$\"\n"
               "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"$dir/args.$$\"\n"
               "touch \"$dir/done.$$\"\n"
               "n=0\n"
               "while [ -e \"$dir/hold\" ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done\n";
    }

    Run readRun(qint64 pid) const {
        Run run;
        run.pid = pid;
        QFile info(m_dir.filePath(QStringLiteral("info.%1").arg(pid)));
        info.open(QIODevice::ReadOnly);
        const QStringList lines = QString::fromUtf8(info.readAll()).split(u'\n');
        run.workingFolder = lines.value(0);
        run.openFiles = lines.value(1).split(u' ', Qt::SkipEmptyParts);
        run.input = lines.value(2);
        QFile args(m_dir.filePath(QStringLiteral("args.%1").arg(pid)));
        args.open(QIODevice::ReadOnly);
        QByteArray bytes = args.readAll();
        if (bytes.endsWith('\0')) bytes.chop(1);
        if (!bytes.isEmpty() || args.size() > 0)
            for (const QByteArray& a : bytes.split('\0'))
                run.arguments.append(QString::fromUtf8(a));
        return run;
    }

    QTemporaryDir m_dir;
    QString m_program;
    QSet<QString> m_seen;
};

// Puts a folder first on PATH, or sets PATH, for the life of the object.
class PathGuard {
public:
    explicit PathGuard(const QString& folder, bool only = false) : m_old(qgetenv("PATH")) {
        const QByteArray first = QFile::encodeName(folder);
        qputenv("PATH", only ? first : first + ':' + m_old);
    }
    ~PathGuard() { qputenv("PATH", m_old); }
    PathGuard(const PathGuard&) = delete;
    PathGuard& operator=(const PathGuard&) = delete;

private:
    QByteArray m_old;
};

}  // namespace obu::test
