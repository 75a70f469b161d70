#include "dialogs/FileDialogs.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "settings/GlobalVars.h"
#include "common/DialogSeams.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

// The folder inside a container where each kind of file lives.
std::string KindFolder(const QString& kind) {
    if (kind == "3DO") return "3do";
    if (kind == "KEY") return "3do\\key";
    if (kind == "CMP") return "misc\\cmp";
    return "";
}

// Raises the errors of opening a container that is missing or is no container (any more).
void CheckContainer(const std::string& path) {
    const int kind = ContainerKind(path);
    if (kind == ckMissing) throw Error(path + " not found");
    if (kind != ckGob2 && kind != ckGoo) throw Error(path + " is not a container");
}

const char* kResNames[2] = {"Jedi Knight", "Mysteries of the Sith"};

const std::string& ResPath(int choice) {
    return choice == 0 ? Settings.JKGOB : Settings.MOTSGOB;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TMaskedDirectoryControl

void TMaskedDirectoryControl::SetSource(const std::string& containerPath) {
    source_ = containerPath;
    rows_.clear();
    list_->clear();
}

void TMaskedDirectoryControl::ApplyMask(const std::string& mask, bool sorted) {
    if (source_.empty()) return;
    rows_ = MaskedListing(OpenCachedContainer(source_), mask);
    std::vector<int> order(rows_.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    if (sorted) {
        std::vector<std::string> keys;
        keys.reserve(rows_.size());
        for (const TListedName& r : rows_) {
            keys.push_back(r.text);
            for (char& c : keys.back())
                if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
    }
    list_->setUpdatesEnabled(false);
    list_->clear();
    list_->setSortingEnabled(false);
    for (int i : order) {
        auto* item = new QListWidgetItem(ToQ(rows_[size_t(i)].text));
        item->setData(Qt::UserRole, i);
        list_->addItem(item);
    }
    list_->setUpdatesEnabled(true);
}

// ---------------------------------------------------------------------------------------------
// TGetFileOpen

TGetFileOpen::TGetFileOpen(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      DirList(new QListWidget(this)), directory_(DirList) {
    setObjectName("GetFileOpen");
    setWindowTitle("Open File");
    setModal(true);

    DirList->setObjectName("DirList");
    DirList->setViewMode(QListView::ListMode);
    DirList->setFlow(QListView::TopToBottom);
    DirList->setWrapping(true);
    DirList->setResizeMode(QListView::Adjust);
    DirList->setSelectionMode(QAbstractItemView::SingleSelection);
    // Columns 13 characters wide, as the container's name column asks.
    const QFontMetrics fm(DirList->font());
    const int column = std::max(13 * DirList->font().pointSize(), 14 * fm.averageCharWidth());
    DirList->setGridSize(QSize(column, fm.height() + 4));
    DirList->setUniformItemSizes(true);
    DirList->setMinimumSize(420, 260);

    ResList = new QListWidget(this);
    ResList->setObjectName("ResList");
    ResList->setFixedHeight(2 * fm.height() + 12);
    EBFilter = new QLineEdit(this);
    EBFilter->setObjectName("EBFilter");
    auto* bnClear = new QPushButton("Cl&ear", this);
    bnClear->setObjectName("BNClear");
    PFname = new QLabel(this);
    PFname->setObjectName("PFname");
    PFname->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PFname->setTextFormat(Qt::PlainText);
    PFname->setMinimumWidth(140);
    auto* bnOpen = new QPushButton("&Open", this);
    bnOpen->setObjectName("BNOpen");
    BNCancel = new QPushButton("&Cancel", this);
    BNCancel->setObjectName("BNCancel");
    BNGet = new QPushButton("&Get Other File", this);
    BNGet->setObjectName("BNGet");
    for (QPushButton* b : {bnClear, BNCancel, BNGet})
        b->setAutoDefault(false);
    bnOpen->setDefault(true);

    auto* side = new QGridLayout;
    side->addWidget(new QLabel("Game Resources :", this), 0, 0, 1, 2);
    side->addWidget(ResList, 1, 0, 1, 2);
    side->addWidget(new QLabel("Mask", this), 2, 0, 1, 2);
    side->addWidget(EBFilter, 3, 0);
    side->addWidget(bnClear, 3, 1);
    side->addWidget(new QLabel("Name", this), 4, 0, 1, 2);
    side->addWidget(PFname, 5, 0, 1, 2);
    side->setRowStretch(6, 1);
    side->addWidget(bnOpen, 7, 0, 1, 2);
    side->addWidget(BNCancel, 8, 0, 1, 2);
    side->addWidget(BNGet, 9, 0, 1, 2);
    // Where the list is: the container's folder, above it.
    LBFolder = new QLabel(this);
    LBFolder->setObjectName("LBFolder");
    LBFolder->setTextFormat(Qt::PlainText);
    auto* browse = new QVBoxLayout;
    browse->addWidget(LBFolder);
    browse->addWidget(DirList, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(browse, 1);
    layout->addLayout(side);

    // Always sorted: the list keeps its order however the mask changes.
    connect(EBFilter, &QLineEdit::textChanged, this, [this] { Refresh(true); });
    connect(bnClear, &QPushButton::clicked, this, [this] {
        if (!EBFilter->text().isEmpty()) EBFilter->clear();
    });
    // The highlighted row is the choice, reached by the mouse or the keys.
    connect(DirList, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) ItemClicked(item);
    });
    connect(DirList, &QListWidget::itemDoubleClicked, this, [this] { OpenClick(); });
    connect(ResList, &QListWidget::currentRowChanged, this, [this](int row) { ResListClick(row); });
    connect(bnOpen, &QPushButton::clicked, this, &TGetFileOpen::OpenClick);
    connect(BNCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(BNGet, &QPushButton::clicked, this, &TGetFileOpen::GetClick);
    BuildResList();
}

TGetFileOpen::~TGetFileOpen() = default;

void TGetFileOpen::SetFileKind(const QString& kind) {
    kind_ = kind;
}

void TGetFileOpen::SetGetCaption(const QString& caption) {
    BNGet->setText(caption);
}

void TGetFileOpen::ReportError(const std::exception& e) {
    ShowMessageBox(this, QString::fromLocal8Bit(e.what()), "Vorlin", MB_OK | MB_ICONERROR);
}

void TGetFileOpen::BuildResList() {
    // Read anew at every opening: containers set in the Options after start-up show at once.
    ResList->clear();
    resChoices_.clear();
    for (int choice = 0; choice < 2; ++choice)
        if (DiskFileExists(ResPath(choice))) {
            ResList->addItem(kResNames[choice]);
            resChoices_.push_back(choice);
        }
    auto available = [this](int choice) {
        return std::find(resChoices_.begin(), resChoices_.end(), choice) != resChoices_.end();
    };
    if (!available(containerChoice_)) containerChoice_ = available(0) ? 0 : -1;
    containerPath_ = containerChoice_ < 0 ? std::string() : ResPath(containerChoice_);
    for (size_t row = 0; row < resChoices_.size(); ++row)
        if (resChoices_[row] == containerChoice_) ResList->setCurrentRow(int(row));
}

bool TGetFileOpen::OpenContainer(const std::string& path) {
    try {
        CheckContainer(path);
        TContainerFile& container = OpenCachedContainer(path);
        // The cached container is shared: start from its top level, whoever moved it last.
        container.ChDir("");
        container.ChDir(KindFolder(kind_));
        folder_ = container.CurDir;
        directory_.SetSource(path); // listed by the caller
        return true;
    } catch (const Error& e) {
        ReportError(e);
        return false;
    }
}

void TGetFileOpen::Refresh(bool sorted) {
    try {
        directory_.ApplyMask(FromQ(EBFilter->text()), sorted);
    } catch (const Error& e) {
        // The container changed on disk into something unreadable: say so, list nothing.
        directory_.SetSource("");
        ReportError(e);
    }
}

void TGetFileOpen::ShowChosenName() {
    PFname->setText(DirList->currentItem() ? DirList->currentItem()->text() : QString());
}

void TGetFileOpen::SortAndSelectFirst() {
    Refresh(true);
    if (DirList->count() > 0) DirList->setCurrentRow(0);
    LBFolder->setText(containerPath_.empty()
                          ? QString()
                          : "Folder: " + (folder_.empty() ? QString("(top)") : ToQ(folder_)));
}

bool TGetFileOpen::ExecuteOpen(const QString& initialName) {
    result_.clear();
    folder_.clear();
    containerResult_ = true;
    BuildResList();
    directory_.SetSource("");
    // A container that cannot be opened is reported, and the dialog still opens: the other
    // container, or a file on disk, can still be chosen.
    if (!containerPath_.empty()) OpenContainer(containerPath_);
    SortAndSelectFirst();
    if (!initialName.isEmpty())
        for (int i = 0; i < DirList->count(); ++i)
            if (DirList->item(i)->text() == initialName) {
                DirList->setCurrentRow(i);
                break;
            }
    ShowChosenName();
    EBFilter->setFocus();
    const bool ok = exec() == QDialog::Accepted;
    if (ok && containerResult_)
        result_ =
            ToQ(containerPath_ + ">" + (folder_.empty() ? "" : folder_ + "\\")) + PFname->text();
    directory_.SetSource("");
    folder_.clear();
    return ok;
}

void TGetFileOpen::ResListClick(int row) {
    if (row < 0 || row >= int(resChoices_.size())) return;
    const int choice = resChoices_[size_t(row)];
    const std::string path = ResPath(choice);
    if (choice == containerChoice_ && path == containerPath_) return;
    // A container that cannot be opened is reported; the one browsed so far stays current.
    if (!OpenContainer(path)) {
        for (size_t r = 0; r < resChoices_.size(); ++r)
            if (resChoices_[r] == containerChoice_) ResList->setCurrentRow(int(r));
        return;
    }
    containerChoice_ = choice;
    containerPath_ = path;
    SortAndSelectFirst();
    ShowChosenName();
}

void TGetFileOpen::ItemClicked(QListWidgetItem* item) {
    const size_t i = size_t(item->data(Qt::UserRole).toInt());
    if (i < directory_.Rows().size() && !directory_.Rows()[i].IsFolder())
        PFname->setText(item->text());
}

void TGetFileOpen::ChangeFolder(const std::string& folder) {
    TContainerFile& container = OpenCachedContainer(containerPath_);
    container.ChDir(folder);
    folder_ = container.CurDir;
    SortAndSelectFirst();
    ShowChosenName();
}

void TGetFileOpen::OpenClick() {
    QListWidgetItem* item = DirList->currentItem();
    if (!item || !item->isSelected()) return;
    const size_t i = size_t(item->data(Qt::UserRole).toInt());
    if (i >= directory_.Rows().size()) return;
    const TListedName& row = directory_.Rows()[i];
    try {
        if (row.IsFolder()) {
            std::string folder;
            if (row.text == "[..]") {
                // Up to the nearest folder above that holds files (the top level always can).
                folder = ParentFolder(folder_);
                TContainerFile& container = OpenCachedContainer(containerPath_);
                while (!folder.empty() && !container.ChDir(folder))
                    folder = ParentFolder(folder);
            } else {
                const std::string name = row.text.substr(1, row.text.size() - 2);
                folder = folder_.empty() ? name : folder_ + "\\" + name;
            }
            ChangeFolder(folder);
            return;
        }
        PFname->setText(item->text()); // the highlighted file, however it was reached
        const std::string name = FromQ(PFname->text());
        TContainerFile& container = OpenCachedContainer(containerPath_);
        const auto& files = container.ListFiles();
        const bool present = std::any_of(
            files.begin(), files.end(), [&](const TFileItem& f) { return SameText(f.name, name); });
        if (!present) {
            ShowMessageBox(this, "The file " + PFname->text() + " is not in the container", "Error",
                           MB_OK);
            return;
        }
        accept();
    } catch (const Error& e) {
        ReportError(e);
    }
}

void TGetFileOpen::GetClick() {
    FileDialogRequest request;
    request.caption = "Open File";
    if (kind_ == "3DO")
        request.filter = "3DO models (*.3do)";
    else if (kind_ == "KEY")
        request.filter = "KEY animations (*.key)";
    else if (kind_ == "CMP")
        request.filter = "CMP Files (*.cmp)";
    std::optional<QString> chosen = AskFileName(this, request);
    if (!chosen) return; // back to browsing
    result_ = *chosen;
    containerResult_ = false;
    accept();
}

} // namespace vorlin
