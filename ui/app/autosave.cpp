#include "app/autosave.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPointer>
#include <QStandardPaths>
#include <QThreadPool>

#include "settings/GlobalVars.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

QString RecoveryFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/Brennick/Vorlin/recovery";
}

QJsonObject StampJson(const TFileStamp& stamp) {
    return {{"size", qint64(stamp.Size)}, {"time", qint64(stamp.TimeMs)}};
}

std::optional<TFileStamp> StampFromJson(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    if (!o.contains("size") || !o.contains("time")) return std::nullopt;
    return TFileStamp{int64_t(o.value("size").toDouble()), int64_t(o.value("time").toDouble())};
}

TAutosaver::TAutosaver(QObject* parent)
    : QObject(parent), session_(TRecoveryFolder::NewSession(QCoreApplication::applicationPid(),
                                                            QDateTime::currentMSecsSinceEpoch())),
      folder_(FromQ(RecoveryFolder())) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TAutosaver::SaveNow);
}

TAutosaver::~TAutosaver() {
    // A write under way finishes before the lock that covers it goes.
    QThreadPool::globalInstance()->waitForDone();
}

void TAutosaver::Changed() {
    if (Settings.AUTOSAVE_SECONDS <= 0) return;
    // Counted from the first change not yet copied: restarting it at every change would never
    // copy steady editing at all.
    if (timer_.isActive()) return;
    timer_.start(int(std::min<int64_t>(int64_t(Settings.AUTOSAVE_SECONDS) * 1000, 1 << 30)));
}

bool TAutosaver::Lock() {
    if (lock_) return true;
    QDir().mkpath(ToQ(folder_.Dir()));
    auto lock = std::make_unique<QLockFile>(ToQ(folder_.LockPath(session_)));
    if (!lock->tryLock(0)) return false;
    lock_ = std::move(lock);
    return true;
}

std::optional<TAutosaver::TCopy> TAutosaver::Take() {
    timer_.stop();
    const TKEYFile* doc = document ? document() : nullptr;
    if (!doc || (modified && !modified())) return std::nullopt;
    if (!Lock()) {
        LogMessage(mtWarning, "Autosave: cannot lock " + folder_.LockPath(session_));
        return std::nullopt;
    }
    QJsonObject record{{"document", ToQ(doc->FullName)},
                       {"name", ToQ(doc->Name)},
                       {"model", model ? model() : QString()},
                       {"time", QDateTime::currentDateTime().toString(Qt::ISODate)},
                       {"version", VORLIN_VERSION}};
    // The file as the edits began from it: at recovery, a file changed since is not replaced
    // without a question.
    if (const std::optional<TFileStamp> stamp = diskStamp ? diskStamp() : std::nullopt)
        record["disk"] = StampJson(*stamp);
    TCopy copy{std::make_shared<TKeySnapshot>(TKeySnapshot::Of(*doc)),
               QJsonDocument(record).toJson().toStdString(), 0};
    std::lock_guard<std::mutex> hold(shared_->m);
    copy.generation = shared_->generation;
    return copy;
}

void TAutosaver::SaveNow() {
    std::optional<TCopy> copy = Take();
    if (!copy) return;
    QPointer<TAutosaver> self(this);
    QThreadPool::globalInstance()->start(
        [self, shared = shared_, folder = folder_, session = session_, copy = *copy] {
            std::string error;
            try {
                const std::string text = copy.snapshot->Document()->ToText();
                std::lock_guard<std::mutex> hold(shared->m);
                if (shared->generation != copy.generation) return; // saved or dropped meanwhile
                folder.Write(session, text, copy.record);
            } catch (const std::exception& e) {
                error = e.what();
            }
            QMetaObject::invokeMethod(qApp, [self, error] {
                if (!error.empty()) LogMessage(mtWarning, "Autosave failed: " + error);
                if (self && self->onWritten) self->onWritten();
            });
        });
}

void TAutosaver::WriteNow() {
    std::optional<TCopy> copy = Take();
    if (!copy) return;
    try {
        const std::string text = copy->snapshot->Document()->ToText();
        std::lock_guard<std::mutex> hold(shared_->m);
        ++shared_->generation; // a copy still on its way is older than this one
        folder_.Write(session_, text, copy->record);
    } catch (const std::exception& e) {
        LogMessage(mtWarning, "Autosave failed: " + std::string(e.what()));
    }
}

void TAutosaver::ReleaseLock() {
    lock_.reset();
}

void TAutosaver::Wait() {
    QThreadPool::globalInstance()->waitForDone();
}

void TAutosaver::Drop() {
    timer_.stop();
    std::lock_guard<std::mutex> hold(shared_->m);
    ++shared_->generation;
    folder_.Remove(session_);
}

} // namespace vorlin
