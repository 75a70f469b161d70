// The editor's main window.
#pragma once

#include <QMainWindow>

namespace vorlin {

class TVorlinForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TVorlinForm(QWidget* parent = nullptr);
};

} // namespace vorlin
