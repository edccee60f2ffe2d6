#include "desktop/ui/frmAbout.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "common/program/ProgramNames.h"
#include "desktop/ui/Artwork.h"
#include "desktop/ui/ClickLabel.h"
#include "desktop/ui/ControlStyle.h"

namespace tarnix {
namespace {

constexpr int BoxWidth = 164;
constexpr int BoxHeight = 314;

constexpr std::int16_t InhibitedCloseSeconds = 4;

QLabel* CentredLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    return label;
}

} // namespace

frmAbout::frmAbout(ProgramKind kind, bool inhibitShutdown, bool runOnTop, AuxWindowEvents& events,
                   UrlOpenFn openUrl, QWidget* parent)
    : QDialog(parent), programTitle_(ProgramTitleOf(kind)), events_(events), openUrl_(std::move(openUrl)) {
    Qt::WindowFlags flags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    if (runOnTop) flags |= Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
    setModal(true);
    setFixedSize(BoxWidth, BoxHeight);
    setFont(QFont(QStringLiteral("Arial"), 8));
    setWindowTitle(QString::fromStdString("About " + programTitle_));
    setWindowIcon(ProgramIcon());
    CreateControls(kind);

    // The master's About button pauses supervision before opening the box; the slave's box
    // does so itself as well.
    events_.AboutBoxLoaded(inhibitShutdown ? InhibitedCloseSeconds : AuxCloseSeconds,
                           kind == ProgramKind::Slave);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    connect(timer1_, &QTimer::timeout, this, &frmAbout::OnTimer1Tick);
    timer1_->start();
}

void frmAbout::CreateControls(ProgramKind kind) {
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("AboutIcon"));
    picture->setGeometry((BoxWidth - 64) / 2, 16, 64, 64);
    picture->setPixmap(ProgramIcon().pixmap(64, 64));

    QLabel* name =
        CentredLabel(this, "ProgName", QString::fromStdString(programTitle_), QRect(6, 92, 152, 20));
    SetControlBold(name, true);
    QFont nameFont = name->font();
    nameFont.setPointSize(10);
    name->setFont(nameFont);
    CentredLabel(this, "ProgVersion", QStringLiteral("Version %1").arg(QString::fromLatin1(ProgramVersion)),
                 QRect(6, 114, 152, 16));

    webSite_ = new ClickLabel(this);
    webSite_->setObjectName(QStringLiteral("WebSite"));
    webSite_->setText(QString::fromLatin1(MakerWebAddressText));
    webSite_->setAlignment(Qt::AlignCenter);
    webSite_->setGeometry(6, 146, 152, 16);
    QFont linkFont = webSite_->font();
    linkFont.setUnderline(true);
    webSite_->setFont(linkFont);
    SetControlForeground(webSite_, Colour::FromRgb(0, 0, 192));
    connect(webSite_, &ClickLabel::clicked, this, &frmAbout::OnWebSiteClicked);

    message_ = CentredLabel(this, "TMessage", QString(), QRect(6, 236, 152, 18));
    SetControlForeground(message_, colours::Orange);
    SetControlBackground(message_, colours::White);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("ExitAbout"));
    close->setToolTip(kind == ProgramKind::Master ? QStringLiteral("Close About Screen")
                                                  : QStringLiteral("Close ABout Screen"));
    close->setGeometry((BoxWidth - 80) / 2, 270, 80, 26);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

// The note shows the seconds left and then counts down, so it reads 30 one second after the
// box opens and 1 last; the supervision cycle closes the box once the count is below 1.
void frmAbout::OnTimer1Tick() {
    message_->setText(QStringLiteral("About will close in %1 sec").arg(events_.AboutBoxSecond()));
}

// The address turns orange whatever came of the attempt, so the user sees it was clicked.
void frmAbout::OnWebSiteClicked() {
    OpenWebPage(this, programTitle_, openUrl_);
    SetControlForeground(webSite_, colours::Orange);
}

void frmAbout::done(int result) {
    events_.AboutBoxClosed();
    timer1_->stop();
    QDialog::done(result);
}

void frmAbout::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor(232, 240, 250));
    gradient.setColorAt(1.0, QColor(198, 216, 238));
    painter.fillRect(rect(), gradient);
    QDialog::paintEvent(event);
}

} // namespace tarnix
