// Autosave: AUTOSAVE_SECONDS after the first change not yet copied (however many follow), the
// document is written to a recovery file of this session (never to the user's own file). The
// document is copied as plain values on the editing thread and written on a worker thread, so
// editing waits for the copy only. The session's lock file tells other instances it is running.
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "edit/recovery.h"
#include "support/file_stamp.h"

class QLockFile;

namespace vorlin {

// Where recovery files are kept: the user's data folder for the program.
QString RecoveryFolder();

// A file's stamp as a recovery record keeps it ({"size", "time" in milliseconds since the
// epoch}), and back; none for a record that does not say.
QJsonObject StampJson(const TFileStamp& stamp);
std::optional<TFileStamp> StampFromJson(const QJsonValue& value);

class TAutosaver : public QObject {
    Q_OBJECT
public:
    explicit TAutosaver(QObject* parent);
    ~TAutosaver() override;

    // The document to save and whether it has unsaved changes; the model it is edited on.
    std::function<const TKEYFile*()> document;
    std::function<bool()> modified;
    std::function<QString()> model;
    // The stamp of the document's file as the edits began from it (none: no file yet).
    std::function<std::optional<TFileStamp>()> diskStamp;
    // Runs on the window's thread after each write (tests wait for it).
    std::function<void()> onWritten;

    // A change was made: a copy follows within AUTOSAVE_SECONDS (nothing happens when autosave
    // is off).
    void Changed();
    // Writes the document now, on the worker thread.
    void SaveNow();
    // Writes it now on this thread, before returning: for a program about to end.
    void WriteNow();
    // Lets other instances take this session's files (they stay where they are).
    void ReleaseLock();
    // Removes this session's recovery files; a write under way is dropped.
    void Drop();
    // Until a write under way is on disk.
    void Wait();
    const std::string& Session() const { return session_; }

private:
    // Takes the session's lock the first time it writes.
    bool Lock();
    // The document as a copy is written: its values, its record, the generation it belongs to.
    // None when there is nothing to copy (no document, no unsaved change, no lock).
    struct TCopy {
        std::shared_ptr<const TKeySnapshot> snapshot;
        std::string record;
        uint64_t generation;
    };
    std::optional<TCopy> Take();
    struct Shared {
        std::mutex m;
        uint64_t generation = 0; // a write of an older generation is dropped
    };
    QTimer timer_;
    std::string session_;
    TRecoveryFolder folder_;
    std::unique_ptr<QLockFile> lock_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
};

} // namespace vorlin
