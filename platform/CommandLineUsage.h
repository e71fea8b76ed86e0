#pragma once
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace obu::cli {

// The exit status of a command line that cannot be understood.
inline constexpr int kUsageExit = 2;

// Says what is wrong and where help is, the same way in every program of ours;
// returns kUsageExit.
inline int usageError(const char* program, const QString& what) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", program,
                 what.toLocal8Bit().constData(), program);
    return kUsageExit;
}

// argv as text, for QCommandLineParser::parse() before any application object exists.
inline QStringList arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
    return list;
}

}  // namespace obu::cli
