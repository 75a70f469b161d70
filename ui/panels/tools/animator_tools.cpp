#include "panels/tools/animator_tools.h"

#include <QAction>
#include <QMenu>
#include <QStringList>

#include "dialogs/mirror_form.h"
#include "dialogs/tween_form.h"
#include "edit/breakdown.h"
#include "edit/key_change.h"
#include "edit/key_session.h"
#include "edit/mirror.h"
#include "edit/onion.h"
#include "model/u_3dos.h"
#include "panels/panel_host.h"
#include "settings/GlobalVars.h"
#include "support/misc_utils.h"
#include "common/qt_strings.h"

namespace vorlin {

namespace {

QString Joined(const std::vector<std::string>& names) {
    QStringList list;
    for (const std::string& n : names)
        list << ToQ(n);
    return list.join(", ");
}

} // namespace

TAnimatorTools::TAnimatorTools(TPanelHost& host, QWidget* window)
    : QObject(window), host_(host), window_(window) {}

TAnimatorTools::~TAnimatorTools() = default;

void TAnimatorTools::AddActions(QMenu* edit, QMenu* view) {
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                      void (TAnimatorTools::*slot)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this,
                [this, slot] { host_.RunCommand([this, slot] { (this->*slot)(); }); });
        keyActions_.push_back(a);
        return a;
    };
    edit->addSeparator()->setObjectName("N12");
    add(edit, "MirrorAnimation1", "Mirror Anima&tion...", &TAnimatorTools::MirrorAnimation);
    add(edit, "PasteMirrored1", "Paste Mirror&ed", &TAnimatorTools::PasteMirrored)
        ->setShortcut(QKeySequence("Ctrl+Shift+V"));
    add(edit, "MatchLoop1", "Match &Loop", &TAnimatorTools::MatchLoop);
    add(edit, "Tween1", "T&ween...", &TAnimatorTools::Tween);

    OnionSkin1 = view->addAction("O&nion Skin");
    OnionSkin1->setObjectName("OnionSkin1");
    OnionSkin1->setCheckable(true);
    OnionSkin1->setChecked(Settings.ONION_SKIN);
    connect(OnionSkin1, &QAction::toggled, this, [this](bool on) {
        Settings.ONION_SKIN = on;
        host_.Redraw();
    });
}

std::vector<QAction*> TAnimatorTools::KeyActions() const {
    return keyActions_;
}

void TAnimatorTools::MirrorAnimation() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    const std::vector<std::string> names = JointNames(*s.KeyFile, s.Model.get());
    const TMirrorPairs found = FindMirrorPairs(names);
    const std::vector<std::string> odd =
        s.Model ? AsymmetricPairs(*s.Model, found) : std::vector<std::string>();
    if (!mirror_) mirror_ = new TMirrorForm(window_);
    mirror_->ShowPairs(names, found, odd);
    if (mirror_->exec() != QDialog::Accepted) return;
    const TMirrorPairs pairs = mirror_->EditedPairs();
    std::vector<std::string> alone;
    host_.RecordStep("Mirror Animation", TKeyChange::AllNodes(*s.KeyFile),
                     [&] { alone = MirrorKey(*s.KeyFile, pairs, names); });
    if (s.Model)
        for (const std::string& p : AsymmetricPairs(*s.Model, pairs))
            LogMessage(mtWarning, "Mirror Animation: the pair " + p +
                                      " is not placed as mirror images in the model, so its "
                                      "motion is not mirrored exactly");
    host_.KeysChanged();
    host_.ShowStatus(alone.empty()
                         ? QString("Mirrored")
                         : "Mirrored; no partner (mirrored onto itself): " + Joined(alone),
                     8000);
}

void TAnimatorTools::PasteMirrored() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    // The node the copied entry came from: the one that still holds it.
    int from = -1;
    for (int k = 0; s.CopiedEntry && k < s.KeyFile->Nodes.Count() && from < 0; ++k)
        for (const auto& e : s.KeyFile->Nodes[k].Entries)
            if (e == s.CopiedEntry) from = s.KeyFile->Joint(k);
    if (from < 0) {
        host_.ShowStatus("Paste Mirrored: copy an entry first (Edit > Copy Entry)");
        return;
    }
    const std::vector<std::string> names = JointNames(*s.KeyFile, s.Model.get());
    const TMirrorPairs pairs = FindMirrorPairs(names);
    const int partner = size_t(from) < pairs.Partner.size() ? pairs.Partner[size_t(from)] : from;
    const int node = s.KeyFile->NodeOfJoint(partner);
    if (node < 0) {
        host_.ShowStatus("Paste Mirrored: no KEY node drives the partner node");
        return;
    }
    const TKEYEntry copied = *s.CopiedEntry;
    const int frame = host_.CurrentFrame();
    // Onto its partner, the motion from rest pose to rest pose, mirrored.
    const TRestPoses rest = s.Model ? RestPoses(*s.Model) : TRestPoses();
    TKeyRef at{-1, -1};
    host_.RecordStep("Paste Mirrored", {node}, [&] {
        at = vorlin::PasteMirrored(*s.KeyFile, copied, from, pairs, frame, &rest);
    });
    if (at.node < 0) return;
    host_.PickNode(partner);
    host_.PickEntry(at.entry);
    host_.KeysChanged(frame);
}

void TAnimatorTools::MatchLoop() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    std::vector<TKeyRef> set;
    host_.RecordStep("Match Loop", TKeyChange::AllNodes(*s.KeyFile),
                     [&] { set = vorlin::MatchLoop(*s.KeyFile); });
    host_.KeysChanged();
    if (set.empty())
        host_.ShowStatus("Match Loop: every node's end meets frame 0 already");
    else
        host_.ShowStatus(set.size() == 1
                             ? QString("Match Loop: the last key of 1 node runs on to frame 0")
                             : QString("Match Loop: the last keys of %1 nodes run on to frame 0")
                                   .arg(set.size()));
}

void TAnimatorTools::Tween() {
    TKeySession& s = host_.EditSession();
    if (!s.KeyFile || !host_.CanEdit()) return;
    std::vector<TKeyRef> keys = s.SelectedKeys();
    if (keys.empty() && s.KeyNodeIndex() >= 0) keys.push_back({s.KeyNodeIndex(), SelectedEntry});
    const TTween tween(*s.KeyFile, keys);
    if (tween.Keys().empty()) {
        host_.ShowStatus("Tween: pick a key that has a key before and after it on its node");
        return;
    }
    if (!host_.BeginDragStep(tween.Nodes(), "Tween")) return;
    if (!tween_) tween_ = new TTweenForm(window_);
    tween_->OnBlend = [&](double blend) {
        tween.Apply(*s.KeyFile, blend);
        host_.KeysChanged();
    };
    const bool ok = tween_->exec() == QDialog::Accepted;
    tween_->OnBlend = nullptr;
    if (!ok) tween.Restore(*s.KeyFile); // Escape: the keys as they were
    host_.EndDragStep();
    host_.KeysChanged();
}

std::vector<TOnionSkin> TAnimatorTools::Onions(bool playing) const {
    std::vector<TOnionSkin> skins;
    TKeySession& s = host_.EditSession();
    if (!Settings.ONION_SKIN || playing || !s.KeyFile || !s.Model) return skins;
    const int frame = host_.CurrentFrame();
    const TOnionFrames frames =
        OnionFrames(*s.KeyFile, s.KeyNodeIndex(), frame, OnionSpread(Settings.ONION_FRAMES));
    // Earlier poses bluish, later ones orange, both faint.
    const std::pair<std::optional<int32_t>, std::array<float, 4>> wanted[] = {
        {frames.Before, {0.30f, 0.55f, 1.0f, 0.35f}}, {frames.After, {1.0f, 0.55f, 0.15f, 0.35f}}};
    for (const auto& [at, tint] : wanted) {
        if (!at) continue;
        s.KeyFile->ApplyToModel(*s.Model, *at);
        skins.push_back({tint, SilhouetteTriangles(*s.Model)});
    }
    if (!skins.empty()) s.KeyFile->ApplyToModel(*s.Model, frame);
    return skins;
}

} // namespace vorlin
