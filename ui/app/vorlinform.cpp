#include "app/vorlinform.h"

namespace vorlin {

TVorlinForm::TVorlinForm(QWidget* parent) : QMainWindow(parent) {
    setObjectName("VorlinForm");
    setWindowTitle("Vorlin");
    resize(660, 450);
}

} // namespace vorlin
