// The editor's program entry: creates the windows and runs the event loop.
#include <QApplication>

#include "app/vorlinform.h"
#include "settings/u_options.h"
#include "support/U_msgForm.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vorlin");
    QApplication::setApplicationVersion("0.6");

    vorlin::LoadSettings();
    vorlin::TVorlinForm mainForm;
    vorlin::TMsgForm msgForm;
    vorlin::QtMessageSink sink(&msgForm);
    vorlin::SetMessageSink(&sink);

    mainForm.show();
    int rc = QApplication::exec();
    vorlin::SetMessageSink(nullptr);
    vorlin::SaveExitSettings();
    return rc;
}
