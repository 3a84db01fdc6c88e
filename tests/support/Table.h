#pragma once

#include "support/QtPrinters.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// One row of a table test: what goes in, and the text that must come out.
struct Row {
    const char* in;
    const char* out;
};

// Checks f(in) against out for every row, naming the row that fails.
template <size_t N, typename F> void checkTable(const Row (&rows)[N], F&& f) {
    for (const Row& r : rows)
        EXPECT_EQ(QString(f(QString::fromUtf8(r.in))), QString::fromUtf8(r.out)) << "in: " << r.in;
}
