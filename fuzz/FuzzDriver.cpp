// SPDX-License-Identifier: MIT
#include "Fuzz.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>

// Declared weak: only the sanitizer builds provide it.
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*)(void));

namespace {

constexpr size_t mapSize = 1 << 16;
std::array<quint8, mapSize> hits{};
uintptr_t previous = 0;

const QByteArray* current = nullptr;
const QString crashFolder = QStringLiteral("."); // ctest runs in the build folder

void keepCrash()
{
    if (!current)
        return;
    const QString path = crashFolder + QStringLiteral("/crash-") +
                         QString::fromLatin1(QCryptographicHash::hash(*current,
                                                                      QCryptographicHash::Sha1)
                                                 .toHex()
                                                 .left(16));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(*current);
    std::fprintf(stderr, "fuzz: input kept as %s (%lld bytes)\n", qPrintable(path),
                 static_cast<long long>(current->size()));
}

} // namespace

// Called at every basic block of the instrumented code: pairs of consecutive blocks, hashed
// into a fixed map, stand for edges.
extern "C" void __sanitizer_cov_trace_pc()
{
    const auto pc = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    const uintptr_t location = (pc ^ (pc >> 15)) & (mapSize - 1);
    ++hits[location ^ previous];
    previous = location >> 1;
}

namespace lexwick::fuzz {

void require(bool holds, const char* property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz: property broken: %s\n", property);
    keepCrash();
    std::abort();
}

QString textOf(const QByteArray& input)
{
    if (input.isEmpty())
        return {};
    const QByteArray rest = input.mid(1);
    if (input[0] & 1)
        return QString(reinterpret_cast<const QChar*>(rest.constData()), rest.size() / 2);
    return QString::fromUtf8(rest);
}

} // namespace lexwick::fuzz

namespace {

using lexwick::fuzz::target;

// Counts fall into classes (1, 2, 3, 4-7, 8-15, …), so a loop running longer is news only
// when it changes class.
quint8 countClass(quint8 count)
{
    if (count == 0)
        return 0;
    if (count < 4)
        return quint8(1u << (count - 1));
    int log = 0;
    for (quint8 c = count; c > 1; c >>= 1)
        ++log;
    return quint8(1u << std::min(log + 1, 7));
}

struct Fuzzer {
    std::array<quint8, mapSize> seen{};
    QList<QByteArray> queue;
    std::mt19937_64 random{std::random_device{}()};
    qsizetype maxLength = 4096;
    long long executions = 0;

    // Runs the input; true when it reached something no earlier input did.
    bool run(const QByteArray& input)
    {
        hits.fill(0);
        previous = 0;
        current = &input;
        target.run(input);
        current = nullptr;
        ++executions;
        bool news = false;
        for (size_t i = 0; i < mapSize; ++i) {
            const quint8 cls = countClass(hits[i]);
            if (cls & ~seen[i]) {
                seen[i] |= cls;
                news = true;
            }
        }
        return news;
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); }

    QByteArray mutate(QByteArray data)
    {
        static const QList<QByteArray> tokens{
            "{", "}", "[", "]", "\"", ":", ",", "null", "true", "false", "1e300", "-0", "\\u",
            "\\ud800", "\"choices\"", "\"message\"", "\"content\"", "\"text\"", "\"error\"",
            "\"id\"", "\"timestamp\"", "\"tone\"", "\"action\"", "@", ".", "-", " ", "\xcc\x81",
            "\xf0\x9f\x91\x8d", "\xe2\x80\x8d", "\r\n", "4111111111111111"};
        const int steps = 1 + int(pick(4));
        for (int s = 0; s < steps; ++s) {
            const qsizetype size = data.size();
            switch (pick(size ? 7 : 2)) {
            case 0: // insert a known token
                data.insert(qsizetype(pick(size + 1)), tokens[qsizetype(pick(tokens.size()))]);
                break;
            case 1: // insert random bytes
                data.insert(qsizetype(pick(size + 1)),
                            QByteArray(1 + qsizetype(pick(4)), char(pick(256))));
                break;
            case 2:
                data[qsizetype(pick(size))] ^= char(1u << pick(8));
                break;
            case 3:
                data[qsizetype(pick(size))] = char(pick(256));
                break;
            case 4: // delete a range
                data.remove(qsizetype(pick(size)), 1 + qsizetype(pick(std::min<size_t>(size, 16))));
                break;
            case 5: { // duplicate a range
                const qsizetype from = qsizetype(pick(size));
                const qsizetype length = 1 + qsizetype(pick(size_t(size - from)));
                data.insert(qsizetype(pick(size + 1)), data.mid(from, length));
                break;
            }
            default: { // splice with another input
                const QByteArray& other = queue[qsizetype(pick(queue.size()))];
                data = data.left(qsizetype(pick(size + 1))) +
                       other.mid(qsizetype(pick(other.size() + 1)));
                break;
            }
            }
        }
        return data.left(maxLength);
    }

    // The smallest inputs that together reach everything the queue reaches, at most `limit`.
    QList<QByteArray> essentials(qsizetype limit)
    {
        QList<QByteArray> bySize = queue;
        std::stable_sort(bySize.begin(), bySize.end(),
                         [](const QByteArray& a, const QByteArray& b) { return a.size() < b.size(); });
        seen.fill(0);
        QList<QByteArray> kept;
        for (const QByteArray& input : bySize) {
            if (kept.size() == limit)
                break;
            if (run(input))
                kept.append(input);
        }
        return kept;
    }
};

QList<QByteArray> readFolder(const QString& folder)
{
    QList<QByteArray> inputs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            inputs.append(file.readAll());
    }
    return inputs;
}

void usage()
{
    std::fprintf(stderr,
                 "usage: fuzz_%s [--seconds N] [--corpus DIR] [--save] [--max-len N] [FILE...]\n"
                 "  Searches for N seconds (default 5), starting from the target's seeds and\n"
                 "  DIR; --save rewrites DIR with a small corpus that covers what was found.\n"
                 "  FILEs are run once each, to reproduce a failure.\n",
                 target.name);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Whatever the code under test logs is noise here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    if (__sanitizer_set_death_callback)
        __sanitizer_set_death_callback(keepCrash);

    double seconds = 5;
    QString corpus;
    bool save = false;
    QStringList files;
    Fuzzer fuzzer;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == u"--seconds" && hasValue)
            seconds = args[++i].toDouble();
        else if (arg == u"--corpus" && hasValue)
            corpus = args[++i];
        else if (arg == u"--max-len" && hasValue)
            fuzzer.maxLength = args[++i].toLongLong();
        else if (arg == u"--save")
            save = true;
        else if (arg.startsWith(u"-")) {
            usage();
            return 2;
        } else
            files.append(arg);
    }

    if (!files.isEmpty()) {
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "fuzz: cannot read %s\n", qPrintable(path));
                return 2;
            }
            fuzzer.run(file.readAll());
        }
        std::printf("fuzz %s: %lld inputs ran cleanly\n", target.name, fuzzer.executions);
        return 0;
    }

    QList<QByteArray> starts = target.seeds;
    if (!corpus.isEmpty())
        starts += readFolder(corpus);
    starts.append(QByteArray());
    for (const QByteArray& input : starts) {
        if (fuzzer.run(input.left(fuzzer.maxLength)) || fuzzer.queue.isEmpty())
            fuzzer.queue.append(input.left(fuzzer.maxLength));
    }

    QElapsedTimer clock;
    clock.start();
    const qint64 budget = qint64(seconds * 1000);
    while (clock.elapsed() < budget) {
        for (int i = 0; i < 64; ++i) {
            QByteArray input =
                fuzzer.mutate(fuzzer.queue[qsizetype(fuzzer.pick(size_t(fuzzer.queue.size())))]);
            if (fuzzer.run(input))
                fuzzer.queue.append(std::move(input));
        }
    }
    const qint64 elapsed = std::max<qint64>(clock.elapsed(), 1);
    std::printf("fuzz %s: %lld executions in %.1f s (%lld/s), %lld inputs with new coverage\n",
                target.name, fuzzer.executions, elapsed / 1000.0,
                fuzzer.executions * 1000 / elapsed, static_cast<long long>(fuzzer.queue.size()));

    if (save && !corpus.isEmpty()) {
        const QList<QByteArray> kept = fuzzer.essentials(40);
        QDir dir(corpus);
        dir.mkpath(QStringLiteral("."));
        for (const QString& name : dir.entryList(QDir::Files))
            dir.remove(name);
        for (const QByteArray& input : kept) {
            QFile file(dir.filePath(QString::fromLatin1(
                QCryptographicHash::hash(input, QCryptographicHash::Sha1).toHex().left(16))));
            if (file.open(QIODevice::WriteOnly))
                file.write(input);
        }
        std::printf("fuzz %s: corpus of %lld inputs kept in %s\n", target.name,
                    static_cast<long long>(kept.size()), qPrintable(corpus));
    }
    return 0;
}
