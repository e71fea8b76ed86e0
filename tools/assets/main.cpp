// obu-make-assets: draws the pictures and makes the sounds and tunes of the
// program, and writes them into a folder (normally the source tree's assets/).
//
//   obu-make-assets <folder> [--sheet <file.png>]
//
// --sheet also writes a review sheet with every picture and a mock-up of the
// main window. The output is the same on every run with the same fonts.
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstdio>
#include <exception>

#include "Artwork.h"
#include "JpegWriter.h"
#include "Tunes.h"
#include "Waves.h"

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// The pictures are drawn in Liberation Sans and Liberation Sans Narrow; a
// stand-in font would change every caption, so their absence is an error.
bool loadFonts() {
    const QString folder = QStringLiteral("/usr/share/fonts/truetype/liberation/");
    for (const char* name : {"LiberationSans-Regular.ttf", "LiberationSans-Bold.ttf",
                             "LiberationSansNarrow-Regular.ttf", "LiberationSansNarrow-Bold.ttf"})
        QFontDatabase::addApplicationFont(folder + QLatin1String(name));
    const QStringList families = QFontDatabase::families();
    return families.contains(QStringLiteral("Liberation Sans")) &&
           families.contains(QStringLiteral("Liberation Sans Narrow"));
}

void report(const QString& file, qint64 bytes, const QString& note = {}) {
    std::printf("%-22s %7lld bytes  %s\n", qPrintable(file), static_cast<long long>(bytes),
                qPrintable(note));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString folder, sheet;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sheet") && i + 1 < args.size())
            sheet = args[++i];
        else if (folder.isEmpty() && !args[i].startsWith(QLatin1Char('-')))
            folder = args[i];
        else {
            folder.clear();  // anything else is a mistake: show the usage
            break;
        }
    }
    if (folder.isEmpty()) {
        std::fputs("usage: obu-make-assets <folder> [--sheet <file.png>]\n", stderr);
        return 2;
    }
    if (!loadFonts()) {
        std::fputs(
            "obu-make-assets: Liberation Sans and Liberation Sans Narrow are needed "
            "(Debian package fonts-liberation)\n",
            stderr);
        return 1;
    }
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "obu-make-assets: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    const QDir out(folder);
    bool ok = true;
    auto check = [&ok](bool written, const QString& path) {
        if (!written) {
            std::fprintf(stderr, "obu-make-assets: cannot write %s\n", qPrintable(path));
            ok = false;
        }
        return written;
    };

    try {
        const std::vector<obu::assets::Picture> pictures = obu::assets::makePictures();
        std::vector<obu::assets::Picture> everyPicture = pictures;
        for (auto& sharp : obu::assets::makePictures(2)) everyPicture.push_back(std::move(sharp));
        for (const auto& picture : everyPicture) {
            const QString path = out.filePath(picture.file);
            const bool written = picture.jpeg ? obu::assets::writeJpeg(picture.image, path)
                                              : picture.image.save(path, "PNG");
            if (check(written, path))
                report(picture.file, QFileInfo(path).size(),
                       QStringLiteral("%1 x %2")
                           .arg(picture.image.width())
                           .arg(picture.image.height()));
        }

        const std::pair<const char*, obu::assets::Wave> waves[] = {
            {"obuclick.okx", obu::assets::clickSound()},
            {"obubtnd.okx", obu::assets::buttonDownSound()},
            {"obubtnu.okx", obu::assets::buttonUpSound()},
            {"obualarm.okx", obu::assets::alarmChime()},
        };
        for (const auto& [name, wave] : waves) {
            const QByteArray bytes = wave.toWav();
            const QString path = out.filePath(QLatin1String(name));
            if (check(writeFile(path, bytes), path))
                report(QLatin1String(name), bytes.size(),
                       QStringLiteral("wave, %1 s").arg(wave.seconds(), 0, 'f', 3));
        }

        const std::pair<const char*, obu::assets::MidiSong> tunes[] = {
            {"obu.okx", obu::assets::quotationTune()},
            {"obupt.okx", obu::assets::creditsTune()},
        };
        for (const auto& [name, tune] : tunes) {
            const QByteArray bytes = tune.toSmf();
            const QString path = out.filePath(QLatin1String(name));
            if (check(writeFile(path, bytes), path))
                report(QLatin1String(name), bytes.size(),
                       QStringLiteral("MIDI, %1 s").arg(tune.seconds(), 0, 'f', 1));
        }

        // The desktop's icons: icons/obu-48.png, icons/obu-128.png, icons/obu.svg.
        const QString icons = out.filePath(QStringLiteral("icons"));
        check(QDir().mkpath(icons), icons);
        for (const int size : {48, 128}) {
            const QString name = QStringLiteral("icons/obu-%1.png").arg(size);
            const QString path = out.filePath(name);
            if (check(obu::assets::programIcon(size).save(path, "PNG"), path))
                report(name, QFileInfo(path).size(), QStringLiteral("%1 x %1").arg(size));
        }
        {
            const QByteArray svg = obu::assets::programIconSvg();
            const QString path = out.filePath(QStringLiteral("icons/obu.svg"));
            if (check(writeFile(path, svg), path))
                report(QStringLiteral("icons/obu.svg"), svg.size(), QStringLiteral("scalable"));
        }

        if (!sheet.isEmpty() &&
            check(obu::assets::contactSheet(pictures).save(sheet, "PNG"), sheet))
            std::printf("review sheet: %s\n", qPrintable(sheet));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "obu-make-assets: %s\n", e.what());
        return 1;
    }
    return ok ? 0 : 1;
}
