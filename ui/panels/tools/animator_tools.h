// The animator's tools of the Edit and View menus: Mirror Animation, Paste Mirrored, Match
// Loop, Tween and onion skins. Their rules are in the core (edit/mirror, edit/breakdown,
// edit/onion); here they meet the menus, the dialogs and the undo steps.
#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "gl/ogl_PRender.h"

class QMenu;
class QAction;
class QWidget;

namespace vorlin {

class TPanelHost;
class TMirrorForm;
class TTweenForm;

class TAnimatorTools : public QObject {
public:
    TAnimatorTools(TPanelHost& host, QWidget* window);
    ~TAnimatorTools() override;
    // Puts the commands into the menus: Mirror Animation, Paste Mirrored, Match Loop and Tween
    // into Edit, Onion Skin into View.
    void AddActions(QMenu* edit, QMenu* view);
    QAction* OnionSkin1 = nullptr;
    // The actions that need a KEY document.
    std::vector<QAction*> KeyActions() const;

    void MirrorAnimation();
    void PasteMirrored();
    void MatchLoop();
    void Tween();
    // The silhouettes to draw behind the pose on show (none when the option is off or the
    // animation plays). Poses the model at their frames and back at the frame on show.
    std::vector<TOnionSkin> Onions(bool playing) const;

private:
    TPanelHost& host_;
    QWidget* window_;
    std::vector<QAction*> keyActions_;
    TMirrorForm* mirror_ = nullptr;
    TTweenForm* tween_ = nullptr;
};

} // namespace vorlin
