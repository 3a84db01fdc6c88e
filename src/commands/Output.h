#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <limits>

// What a text mode prints, and its exit status; what it reads.
struct Report {
    QString out, err;
    int status = 0;
};

// Writes UTF-8 text and flushes it: the reader of a pipe sees every line at once.
inline void writeText(std::FILE* to, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), to);
    std::fflush(to);
}

// Standard input to its end, or its first maxBytes.
inline QByteArray readInput(qint64 maxBytes = std::numeric_limits<qint64>::max()) {
    QByteArray bytes;
    char buf[65536];
    size_t n = 0;
    while (bytes.size() < maxBytes && (n = std::fread(buf, 1, sizeof buf, stdin)) > 0)
        bytes.append(buf, qsizetype(n));
    return bytes.left(maxBytes);
}

// Prints a report and returns its status.
inline int print(const Report& r) {
    writeText(stdout, r.out);
    writeText(stderr, r.err);
    return r.status;
}
