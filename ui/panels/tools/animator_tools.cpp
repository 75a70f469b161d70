#include "panels/tools/animator_tools.h"

#include <QAction>

#include "common/action_table.h"
#include "common/qt_strings.h"
#include "dialogs/mirror_form.h"
#include "dialogs/tween_form.h"
#include "edit/breakdown.h"
#include "edit/key_commands.h"
#include "edit/onion.h"
#include "panels/panel_host.h"

namespace vorlin {

TAnimatorTools::TAnimatorTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions)
    : QObject(host.Window()), doc_(doc), host_(host) {
    auto add = [&](const char* id, const QString& caption, QList<QKeySequence> keys,
                   void (TAnimatorTools::*run)()) {
        TActionDef def;
        def.Id = id;
        def.Caption = caption;
        def.Keys = std::move(keys);
        def.Enabled = [this] { return doc_.KeyFile != nullptr; };
        def.Run = [this, run] { (this->*run)(); };
        actions.Add(def);
    };
    add("MirrorAnimation1", "Mirror Anima&tion...", {}, &TAnimatorTools::MirrorAnimation);
    add("PasteMirrored1", "Paste Mirror&ed", {QKeySequence("Ctrl+Shift+V")},
        &TAnimatorTools::PasteMirrored);
    add("MatchLoop1", "Match &Loop", {}, &TAnimatorTools::MatchLoop);
    add("Tween1", "T&ween...", {}, &TAnimatorTools::Tween);

    TActionDef onion;
    onion.Id = "OnionSkin1";
    onion.Caption = "O&nion Skin";
    onion.Checkable = true;
    onion.Checked = [] { return Settings.ONION_SKIN; };
    onion.Plain = true;
    onion.Run = [this] {
        Settings.ONION_SKIN = !Settings.ONION_SKIN;
        if (onOnions) onOnions();
    };
    actions.Add(onion)->setChecked(Settings.ONION_SKIN);
}

TAnimatorTools::~TAnimatorTools() = default;

void TAnimatorTools::MirrorAnimation() {
    if (!doc_.CanEdit()) return;
    const std::vector<std::string> names = JointNames(*doc_.KeyFile, doc_.Model.get());
    const TMirrorPairs found = FindMirrorPairs(names);
    const std::vector<std::string> odd =
        doc_.Model ? AsymmetricPairs(*doc_.Model, found) : std::vector<std::string>();
    if (!mirror_) mirror_ = new TMirrorForm(host_.Window());
    mirror_->ShowPairs(names, found, odd);
    doc_.Hold();
    const bool ok = mirror_->exec() == QDialog::Accepted;
    doc_.Release();
    if (!ok) return;
    host_.ShowStatus(ToQ(MirrorCommand(doc_, mirror_->EditedPairs()).Status), 8000);
}

void TAnimatorTools::PasteMirrored() {
    const TCommandResult r = PasteMirroredCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status));
}

void TAnimatorTools::MatchLoop() {
    const TCommandResult r = MatchLoopCommand(doc_);
    if (!r.Status.empty()) host_.ShowStatus(ToQ(r.Status));
}

void TAnimatorTools::Tween() {
    if (!doc_.CanEdit()) return;
    const TTween tween(*doc_.KeyFile, doc_.SelectedKeys());
    if (tween.Keys().empty()) {
        host_.ShowStatus("Tween: pick a key that has a key before and after it on its node");
        return;
    }
    // The keys follow the slider live; OK keeps them as one step, Escape puts them back.
    if (!doc_.Begin("Tween", tween.Nodes())) return;
    if (!tween_) tween_ = new TTweenForm(host_.Window());
    tween_->OnBlend = [&](double blend) {
        tween.Apply(*doc_.KeyFile, blend);
        doc_.Changed(chKeys, tween.Nodes());
    };
    const bool ok = tween_->exec() == QDialog::Accepted;
    tween_->OnBlend = nullptr;
    if (ok)
        doc_.Commit();
    else
        doc_.Rollback();
}

std::vector<TOnionSkin> TAnimatorTools::Onions() const {
    std::vector<TOnionSkin> skins;
    // Not while the animation plays (a held playback draws them: it shows one frame).
    if (!Settings.ONION_SKIN || (doc_.Playing() && !doc_.Held()) || !doc_.KeyFile || !doc_.Model)
        return skins;
    const int frame = doc_.Frame();
    const TOnionFrames frames =
        OnionFrames(*doc_.KeyFile, doc_.KeyNodeIndex(), frame, OnionSpread(Settings.ONION_FRAMES));
    // Earlier poses bluish, later ones orange, both faint.
    const std::pair<std::optional<int32_t>, std::array<float, 4>> wanted[] = {
        {frames.Before, {0.30f, 0.55f, 1.0f, 0.35f}}, {frames.After, {1.0f, 0.55f, 0.15f, 0.35f}}};
    for (const auto& [at, tint] : wanted) {
        if (!at) continue;
        doc_.Pose(*at);
        skins.push_back({tint, SilhouetteTriangles(*doc_.Model)});
    }
    if (!skins.empty()) doc_.Pose(frame);
    return skins;
}

} // namespace vorlin
