// The animator's tools of the Edit and View menus: Mirror Animation, Paste Mirrored, Match
// Loop, Tween and onion skins. Their rules are in the core (edit/mirror, edit/breakdown,
// edit/onion, edit/key_commands); here they meet the menus, the dialogs and the status bar.
#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "gl/ogl_PRender.h"

namespace vorlin {

class TActionTable;
class TKeyDocument;
class TMirrorForm;
class TPanelHost;
class TTweenForm;

class TAnimatorTools : public QObject {
public:
    // Registers MirrorAnimation1, PasteMirrored1, MatchLoop1, Tween1 and OnionSkin1.
    TAnimatorTools(TKeyDocument& doc, TPanelHost& host, TActionTable& actions);
    ~TAnimatorTools() override;

    void MirrorAnimation();
    void PasteMirrored();
    void MatchLoop();
    void Tween();
    // The silhouettes to draw behind the pose on show (none when the option is off or the
    // animation plays). Poses the model at their frames and back at the frame on show.
    std::vector<TOnionSkin> Onions() const;
    // Onion Skin was turned on or off.
    std::function<void()> onOnions;

private:
    TKeyDocument& doc_;
    TPanelHost& host_;
    TMirrorForm* mirror_ = nullptr;
    TTweenForm* tween_ = nullptr;
};

} // namespace vorlin
