#pragma once

#include <QString>

#include <cstdio>

// What a text mode prints, and its exit status.
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

// Prints a report and returns its status.
inline int print(const Report& r) {
    writeText(stdout, r.out);
    writeText(stderr, r.err);
    return r.status;
}
