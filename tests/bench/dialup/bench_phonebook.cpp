// Reading a phone book of 1,000, 10,000 and 100,000 entries (real files, read
// through the service as `obu-line entries` and the program read them), with
// the time of each size as a ratio to the 1,000-entry book read in the same
// run: linear reading gives about 10 and 100. The time is the processor time
// of the reading thread, so that other work on the machine does not count.
#include <time.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "dialup/phonebook/PhoneBook.h"

namespace {

using namespace obu;
double threadSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

QByteArray book(int entries) {
    QByteArray text;
    for (int i = 0; i < entries; ++i)
        text += "[Provider " + QByteArray::number(i) + "]\nPhoneNumber=555-" +
                QByteArray::number(i % 10000).rightJustified(4, '0') + '\n';
    return text;
}

// The best of a few reads: the least disturbed by other work on the machine.
double secondsToRead(const QString& path, int expected) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const double start = threadSeconds();
        const PhoneBook read = PhoneBook::load(path, false);
        const double took = threadSeconds() - start;
        if (static_cast<int>(read.entries.size()) != expected || !read.find("provider 7")) {
            std::fprintf(stderr, "bench_phonebook: %d entries read, %d expected\n",
                         static_cast<int>(read.entries.size()), expected);
            std::exit(1);
        }
        best = std::min(best, took);
    }
    return best;
}

}  // namespace

int main() {
    QTemporaryDir folder;
    if (!folder.isValid()) return 1;
    const int sizes[] = {1000, 10000, 100000};
    double base = 0;
    std::printf("%-30s %12s %18s\n", "phone book", "read time", "ratio to 1,000");
    for (const int n : sizes) {
        const QString path = folder.filePath(QStringLiteral("book-%1.pbk").arg(n));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(book(n)) < 0) return 1;
        file.close();
        const double seconds = secondsToRead(path, n);
        if (n == sizes[0]) base = seconds;
        std::printf("%7d entries (%5.2f MiB)    %9.1f ms %17.1fx\n", n,
                    static_cast<double>(file.size()) / (1 << 20), seconds * 1000.0, seconds / base);
    }
    return 0;
}
