#pragma once

#include "Breakdown.h"
#include "Folder.h"
#include "Line.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

// "transcripts.sqlite": the numbers of every reply in Claude Code's transcripts, never what was
// said, kept so that each file is read once and then only where it grew. It is a cache: it can
// be deleted at any time, and one that is damaged is set aside and made anew. One object per
// thread (SQLite connections are not shared); the app and a command may update it at once.
namespace Transcript {

class Index {
public:
    static constexpr int kVersion = 1; // of the layout: another one is made anew

    // An account's transcripts: its config folder (the key) and the projects folder in it.
    struct Source {
        QString account, projects;
        static Source of(const QString& folder) {
            return {folder, folder + QStringLiteral("/projects")};
        }
    };
    // What an update did: files looked at and read, bytes read, and what was skipped.
    struct Report {
        qint64 files = 0, read = 0, bytes = 0, replies = 0, malformed = 0, absurd = 0;
        QStringList problems;             // folders or files that could not be read, and why
        std::optional<QString> failed;    // the index could not be written: nothing was kept
        QHash<QString, QString> unlisted; // accounts whose projects can't be read at all, why
    };

    explicit Index(const QString& path);
    ~Index();
    Index(const Index&) = delete;
    Index& operator=(const Index&) = delete;

    bool isOpen() const { return open_; }
    const QString& problem() const { return problem_; }

    // Reads what is new: files that grew from where they were left, files replaced or shrunk
    // from their start; files that are gone, and the accounts not given, drop out. stop is
    // asked between files.
    Report update(const QList<Source>& sources, const std::function<bool()>& stop = {});

    // The replies of an account from one instant (inclusive) to another, each message once
    // (a streamed reply and its copies in a resumed session are one, with its largest
    // counts), summed by key and model: one Message per pair, with its count and first time.
    QList<Message> replies(const QString& account, Instant from, Instant to, By by) const;

private:
    bool open();
    bool make();
    bool failed(const class QSqlError& error);
    void setAside();
    bool readFile(const Found& file, qint64 id, qint64 from, Report& report, class QSqlQuery& put,
                  class QSqlQuery& done);

    QString path_, name_, problem_;
    bool open_ = false, damaged_ = false;
    QSqlDatabase db_;
};

} // namespace Transcript
