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
#include "support/qt_strings.h"

namespace vorlin {

QString RecoveryFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/Brennick/Vorlin/recovery";
}

std::optional<TDiskStamp> TDiskStamp::Of(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return std::nullopt;
    return TDiskStamp{info.size(), info.lastModified()};
}

QJsonObject TDiskStamp::Json() const {
    return {{"size", size}, {"time", time.toMSecsSinceEpoch()}};
}

std::optional<TDiskStamp> TDiskStamp::FromJson(const QJsonValue& value) {
    const QJsonObject o = value.toObject();
    if (!o.contains("size") || !o.contains("time")) return std::nullopt;
    return TDiskStamp{qint64(o.value("size").toDouble()),
                      QDateTime::fromMSecsSinceEpoch(qint64(o.value("time").toDouble()))};
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

void TAutosaver::SaveNow() {
    timer_.stop();
    const TKEYFile* doc = document ? document() : nullptr;
    if (!doc || (modified && !modified())) return;
    if (!Lock()) {
        LogMessage(mtWarning, "Autosave: cannot lock " + folder_.LockPath(session_));
        return;
    }
    QJsonObject record{{"document", ToQ(doc->FullName)},
                       {"name", ToQ(doc->Name)},
                       {"model", model ? model() : QString()},
                       {"time", QDateTime::currentDateTime().toString(Qt::ISODate)},
                       {"version", VORLIN_VERSION}};
    // The file as the edits began from it: at recovery, a file changed since is not replaced
    // without a question.
    if (const std::optional<TDiskStamp> stamp = diskStamp ? diskStamp() : std::nullopt)
        record["disk"] = stamp->Json();
    auto snapshot = std::make_shared<TKeySnapshot>(TKeySnapshot::Of(*doc));
    const std::string json = QJsonDocument(record).toJson().toStdString();
    uint64_t generation;
    {
        std::lock_guard<std::mutex> hold(shared_->m);
        generation = shared_->generation;
    }
    QPointer<TAutosaver> self(this);
    QThreadPool::globalInstance()->start(
        [self, shared = shared_, folder = folder_, session = session_, snapshot, json, generation] {
            std::string error;
            try {
                const std::string text = snapshot->Document()->ToText();
                std::lock_guard<std::mutex> hold(shared->m);
                if (shared->generation != generation) return; // saved or dropped meanwhile
                folder.Write(session, text, json);
            } catch (const std::exception& e) {
                error = e.what();
            }
            QMetaObject::invokeMethod(qApp, [self, error] {
                if (!error.empty()) LogMessage(mtWarning, "Autosave failed: " + error);
                if (self && self->onWritten) self->onWritten();
            });
        });
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
