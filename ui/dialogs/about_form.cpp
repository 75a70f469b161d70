#include "dialogs/about_form.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace vorlin {

namespace {

const char* kCredits = "VORLIN\n"
                       "Version " VORLIN_VERSION "\n"
                       "\n"
                       "A keyframe editor for\n"
                       "Jedi Knight and Mysteries of the Sith\n"
                       "\n\n"
                       "Design and programming\n"
                       "The Vorlin developers\n"
                       "\n"
                       "Built with\n"
                       "Qt, OpenGL and Mesa\n"
                       "\n"
                       "File formats\n"
                       "The modding community's\n"
                       "long study of KEY, 3DO,\n"
                       "MAT, CMP and GOB files\n"
                       "\n"
                       "Testing\n"
                       "Everyone who ever saved\n"
                       "a walk cycle at 3 a.m.\n"
                       "\n\n"
                       "Thank you for animating.\n";

// The about box's picture: a jointed figure in the editor's colours.
QPixmap Artwork() {
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::black);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    for (int i = 8; i < 96; i += 16) {
        p.drawLine(i, 70, i + 8, 92);
    }
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    const QPointF head(48, 18), neck(48, 30), hip(48, 58);
    p.drawEllipse(head, 8, 8);
    p.drawLine(neck, hip);
    p.drawLine(neck, QPointF(30, 44));
    p.drawLine(QPointF(30, 44), QPointF(22, 30));
    p.drawLine(neck, QPointF(66, 44));
    p.drawLine(hip, QPointF(36, 76));
    p.drawLine(QPointF(36, 76), QPointF(30, 90));
    p.drawLine(hip, QPointF(62, 74));
    p.drawLine(QPointF(62, 74), QPointF(72, 88));
    p.setPen(QPen(Qt::red, 2));
    p.drawLine(QPointF(66, 44), QPointF(86, 16)); // the selected limb
    return pixmap;
}

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                          Qt::WindowTitleHint) {
    setObjectName("AboutForm");
    setWindowTitle("About Vorlin");
    setModal(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);

    auto* name = new QLabel("VORLIN", this);
    name->setObjectName("NameLabel");
    QFont big = font();
    big.setPointSize(28);
    big.setBold(true);
    name->setFont(big);
    name->setStyleSheet("color: blue;");
    auto* version = new QLabel("Version " VORLIN_VERSION, this);
    version->setObjectName("VersionLabel");
    version->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    version->setStyleSheet("color: red;");
    auto* picture = new QLabel(this);
    picture->setObjectName("IMVORLIN");
    // The program's icon; the drawn figure where the icon is not at hand.
    const QPixmap icon = QIcon(":/icons/vorlin.svg").pixmap(96, 96);
    picture->setPixmap(icon.isNull() ? Artwork() : icon);

    scrollBox_ = new QScrollArea(this);
    scrollBox_->setObjectName("ScrollBox");
    scrollBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollBox_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollBox_->setFrameShape(QFrame::NoFrame);
    scrollBox_->setFocusPolicy(Qt::NoFocus);
    scrollBox_->setAttribute(Qt::WA_TransparentForMouseEvents);
    scrollBox_->setStyleSheet("background: black;");
    scrollBox_->setFixedSize(260, 140);
    credits_ = new QLabel(kCredits);
    credits_->setObjectName("Credits");
    credits_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    credits_->setStyleSheet("color: yellow; background: black;");
    credits_->setFixedWidth(260);
    // Blank space above and below, so the text rolls in from the bottom and out at the top.
    credits_->setContentsMargins(0, 140, 0, 0);
    credits_->setMinimumHeight(kRollLength + 140);
    scrollBox_->setWidget(credits_);

    auto* ok = new QPushButton("&OK", this);
    ok->setObjectName("AboutOKButton");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* head = new QHBoxLayout;
    head->addWidget(picture);
    auto* titles = new QVBoxLayout;
    titles->addWidget(name);
    titles->addWidget(version);
    head->addLayout(titles);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(scrollBox_, 0, Qt::AlignHCenter);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_ = new QTimer(this);
    timer_->setObjectName("AboutTimer");
    timer_->setInterval(50);
    connect(timer_, &QTimer::timeout, this, &TAboutForm::Roll);
}

void TAboutForm::Roll() {
    ++counter_;
    if (counter_ >= kRollLength) counter_ = 0;
    scrollBox_->verticalScrollBar()->setValue(counter_);
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    timer_->start();
}

void TAboutForm::hideEvent(QHideEvent* event) {
    timer_->stop();
    counter_ = 0;
    scrollBox_->verticalScrollBar()->setValue(0);
    QDialog::hideEvent(event);
}

} // namespace vorlin
