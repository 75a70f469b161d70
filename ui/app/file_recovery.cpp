// Unsaved work kept safe: autosave to a recovery file, recovering at start what a session that
// did not end cleanly left, and noticing when another program changes the open KEY's file.
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>

#include "app/autosave.h"
#include "app/file_commands.h"
#include "common/DialogSeams.h"
#include "common/qt_strings.h"
#include "dialogs/recover_form.h"
#include "edit/key_document.h"
#include "panels/panel_host.h"
#include "support/FileOperations.h"
#include "support/misc_utils.h"

namespace vorlin {

void TFileCommands::BuildAutosave() {
    Autosave = new TAutosaver(this);
    Autosave->document = [this] { return doc_.KeyFile.get(); };
    Autosave->modified = [this] { return doc_.Modified(); };
    Autosave->model = [this] { return doc_.Model ? ToQ(doc_.Model->FileName) : QString(); };
    Autosave->diskStamp = [this] { return doc_.Stamp(); };
}

void TFileCommands::KeepUp(const TDocumentChange& c) {
    // Another document: the copy of the one before goes (its changes were saved or given up).
    // Back where the file is: the copy would only bring back what was undone.
    if (c.Has(chDocument)) Autosave->Drop();
    if (!c.Has(chHistory)) return;
    if (doc_.Modified())
        Autosave->Changed();
    else
        Autosave->Drop();
}

void TFileCommands::OfferRecovery() {
    const TRecoveryFolder folder(FromQ(RecoveryFolder()));
    // What killed sessions left besides their copies: locks that nothing holds any more, and
    // copies half written.
    RemoveStaleTempFiles(folder.Dir() + "/");
    for (const std::string& session : folder.BareLocks()) {
        if (session == Autosave->Session()) continue;
        QLockFile lock(ToQ(folder.LockPath(session)));
        lock.setStaleLockTime(0); // a live owner's lock is never taken, however old
        if (lock.tryLock(0)) lock.unlock();
    }
    // Sessions still running hold their lock: their files are theirs. The others' locks are
    // held while the question is open, so that a second instance starting does not offer them.
    std::vector<std::unique_ptr<QLockFile>> locks;
    std::vector<TRecoveryItem> items;
    for (const std::string& session : folder.Sessions()) {
        if (session == Autosave->Session()) continue;
        auto lock = std::make_unique<QLockFile>(ToQ(folder.LockPath(session)));
        lock->setStaleLockTime(0); // a live owner's lock is never taken, however old
        if (!lock->tryLock(0)) continue;
        locks.push_back(std::move(lock));
        TRecoveryItem item;
        item.Session = ToQ(session);
        QFile record(ToQ(folder.RecordPath(session)));
        if (record.open(QIODevice::ReadOnly)) {
            const QJsonObject o = QJsonDocument::fromJson(record.readAll()).object();
            item.Document = o.value("document").toString();
            item.Name = o.value("name").toString();
            item.Model = o.value("model").toString();
            item.Time = QDateTime::fromString(o.value("time").toString(), Qt::ISODate)
                            .toString("yyyy-MM-dd HH:mm:ss");
            item.Disk = StampFromJson(o.value("disk"));
            // Saved since the copy was taken (or a copy that does not say what it began from).
            if (!item.Document.isEmpty() && !IsContainerPath(FromQ(item.Document))) {
                const std::optional<TFileStamp> now = TFileStamp::Of(FromQ(item.Document));
                item.DiskChanged = now && (!item.Disk || *now != *item.Disk);
            }
        }
        if (item.Name.isEmpty()) item.Name = "Untitled.key";
        // What does not read as a KEY is not offered: it is set aside and said so.
        try {
            (void)folder.ReadKey(session);
        } catch (const std::exception& e) {
            std::string where;
            try {
                where = folder.SetAside(session);
            } catch (const std::exception& moved) {
                where = moved.what();
            }
            LogMessage(mtWarning, "The recovery file of " + FromQ(item.Name) +
                                      " does not read as a KEY (" + e.what() +
                                      "); it was kept as " + where);
            continue;
        }
        items.push_back(item);
    }
    if (items.empty()) return;
    // The newest first.
    std::stable_sort(
        items.begin(), items.end(),
        [](const TRecoveryItem& a, const TRecoveryItem& b) { return a.Time > b.Time; });
    TRecoverForm dialog(host_.Window());
    doc_.Hold();
    dialog.ShowItems(items);
    dialog.exec();
    doc_.Release();
    const std::vector<int> chosen = dialog.Selected();
    if (dialog.Chosen() == TRecoverForm::Discard) {
        for (int i : chosen)
            folder.Remove(FromQ(items[size_t(i)].Session));
        return;
    }
    if (dialog.Chosen() != TRecoverForm::Recover || chosen.size() != 1) return;
    const TRecoveryItem& item = items[size_t(chosen[0])];
    host_.RunCommand([&] {
        if (!DocumentMayGo()) return;
        if (!item.Model.isEmpty()) Load3DO(item.Model);
        if (!doc_.Model)
            throw Error("The model of " + FromQ(item.Name) +
                        " cannot be opened; its recovery file is kept");
        std::unique_ptr<TKEYFile> doc = folder.ReadKey(FromQ(item.Session));
        // Saved where it belongs: its own path, not the recovery file's.
        doc->FullName = FromQ(item.Document);
        doc->Name = item.Document.isEmpty() ? FromQ(item.Name) : PathName(doc->FullName);
        released_ = nullptr;
        toldDisk_.reset();
        doc_.SetKey(std::move(doc), TKeyDocument::TOrigin::Recovered);
        doc_.RememberStamp();
        if (item.DiskChanged) {
            // The file was saved after the copy: Save asks before replacing it. The dialog
            // told of that version, so activating the window does not ask to reload it.
            toldDisk_ = doc_.Stamp();
            doc_.SetStamp(item.Disk ? *item.Disk : TFileStamp{});
        }
        // Kept under this session before the old files go, so a crash now loses nothing.
        Autosave->SaveNow();
        Autosave->Wait();
        folder.Remove(FromQ(item.Session));
    });
}

void TFileCommands::KeepForRecovery() {
    Autosave->WriteNow(); // only when there are unsaved edits
    Autosave->ReleaseLock();
}

// ---------------------------------------------------------------------------------------------
// The file on disk

bool TFileCommands::CheckDiskChange(bool saving) {
    if (!doc_.Stamp() || !doc_.KeyFile || askingDisk_) return true;
    const std::optional<TFileStamp> now = TFileStamp::Of(doc_.KeyFile->FullName);
    if (!now) return true; // gone: saving writes it again
    if (*now == *doc_.Stamp()) return true;
    if (!saving && now == toldDisk_) return true; // the Recover dialog said so already
    askingDisk_ = true;
    const QString name = ToQ(doc_.KeyFile->Name);
    int answer;
    doc_.Hold();
    if (saving) {
        answer = ShowMessageBox(host_.Window(),
                                name + " was changed by another program since Vorlin read it.\n"
                                       "Replace it with the version edited here?",
                                "File Changed", MB_YESNO | MB_ICONWARNING);
    } else if (doc_.EditedHere()) {
        // Enter must not throw the edits away.
        answer = ShowMessageBox(host_.Window(),
                                name + " was changed by another program.\nReload it? Reloading "
                                       "discards the changes made here. (No keeps the version "
                                       "edited here.)",
                                "File Changed", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    } else {
        answer = ShowMessageBox(host_.Window(),
                                name + " was changed by another program.\nReload it? "
                                       "(No keeps the version edited here.)",
                                "File Changed", MB_YESNO | MB_ICONQUESTION);
    }
    doc_.Release();
    askingDisk_ = false;
    if (saving) return answer == IDYES;
    if (answer == IDYES) {
        // The question said that reloading discards the edits made here.
        host_.RunCommand([this] {
            released_ = doc_.KeyFile.get();
            LoadKEY(ToQ(doc_.KeyFile->FullName));
        });
        return true;
    }
    // The user knows: the next save replaces it without asking again; the file no longer
    // holds the version kept here.
    doc_.SetStamp(now);
    doc_.LeftFile();
    toldDisk_.reset();
    return true;
}

} // namespace vorlin
