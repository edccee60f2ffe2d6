#include "desktop/master/TarnixMMain.h"

#include <QAbstractEventDispatcher>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "desktop/ui/ControlStyle.h"
#include "desktop/ui/Twips.h"

namespace tarnix {
namespace {

constexpr int ClientWidth = 7260;
constexpr int LabelHeight = 255;
constexpr int RowHeight = 270;
// The captions stand at the boxes' tops except in the last row, where they sit 15 twips lower.
constexpr std::array<int, 5> RowTops{720, 960, 1200, 1440, 1665};
constexpr std::array<int, 5> CaptionTops{720, 960, 1200, 1440, 1680};
constexpr int CaptionLeft = 90;
constexpr int CaptionWidth = 1815;

struct BoxColumn {
    RowBox box;
    int left;
    int width;
};
constexpr std::array<BoxColumn, 3> Columns{{
    {RowBox::Comp, 1995, 2790},
    {RowBox::Type1, 4950, 1695},
    {RowBox::Shut1, 6825, 345},
}};

} // namespace

TarnixMMain::TarnixMMain(UrlOpenFn openUrl, QWidget* parent)
    : MainWindowBase(MainWindowSetup{.kind = ProgramKind::Master,
                                     .clientWidthTwips = ClientWidth,
                                     .clientHeightTwips = 2505,
                                     .buttonTopTwips = 2055},
                     std::move(openUrl), parent) {
    PlaceLogo(TwipsRect(75, 75, 855, 435));
    TitleLabel()->setGeometry(TwipsRect(1005, 75, ClientWidth - 1005 - 90, LabelHeight));

    auto* counter = new QLabel(this);
    counter->setGeometry(TwipsRect(1995, 360, ClientWidth - 1995 - 90, LabelHeight));
    UseCounter(counter);

    CreateStatusRows();
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (ticksRunning_ > 0) ApplyPendingRows();
        });
}

void TarnixMMain::CreateStatusRows() {
    for (int row = 0; row < static_cast<int>(RowTops.size()); ++row) {
        const auto index = static_cast<std::size_t>(row);
        const QString caption =
            row == 0 ? QStringLiteral("Host  Computer") : QStringLiteral("Remote Computer %1").arg(row);
        auto* label = new QLabel(caption, this);
        label->setObjectName(row == 0 ? QStringLiteral("Label1") : QStringLiteral("Comp%1").arg(row));
        label->setGeometry(TwipsRect(CaptionLeft, CaptionTops[index], CaptionWidth, LabelHeight));

        for (const BoxColumn& column : Columns) {
            auto* box = new QLineEdit(this);
            box->setReadOnly(true);
            box->setGeometry(TwipsRect(column.left, RowTops[index], column.width, RowHeight));
            static constexpr std::array<const char*, 3> Names{"Comp", "Type1", "Shut1"};
            const auto boxIndex = static_cast<std::size_t>(column.box);
            box->setObjectName(QStringLiteral("%1(%2)").arg(QString::fromLatin1(Names[boxIndex])).arg(row));
            rows_[index][boxIndex] = box;
        }
    }
}

QLineEdit* TarnixMMain::RowBoxOf(int row, RowBox box) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(box)];
}

// The rows are told their state several times within one event (the host row turns black, then
// green once the polls are out). They show only where the event leaves them, so a state that
// lasts no time repaints nothing.
void TarnixMMain::SetRowText(int row, RowBox box, const std::string& text) {
    if (PendingBox* pending = PendingOf(row, box)) {
        pending->text = text;
        anyPending_ = true;
        QueueApply();
    }
}

void TarnixMMain::SetRowColour(int row, RowBox box, Colour colour) {
    if (PendingBox* pending = PendingOf(row, box)) {
        pending->colour = colour;
        anyPending_ = true;
        QueueApply();
    }
}

TarnixMMain::PendingBox* TarnixMMain::PendingOf(int row, RowBox box) {
    if (RowBoxOf(row, box) == nullptr) return nullptr;
    return &pending_[static_cast<std::size_t>(row)][static_cast<std::size_t>(box)];
}

// Within a tick the rows wait for its end, which costs the event loop no extra pass; a message
// box opened meanwhile shows them before it waits for the user.
void TarnixMMain::TickBegins() {
    ++ticksRunning_;
}

void TarnixMMain::TickEnded() {
    --ticksRunning_;
    ApplyPendingRows();
}

// Changes made outside a tick show once the event being handled is done.
void TarnixMMain::QueueApply() {
    if (applyQueued_ || ticksRunning_ > 0) return;
    applyQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { ApplyPendingRows(); }, Qt::QueuedConnection);
}

void TarnixMMain::ApplyPendingRows() {
    applyQueued_ = false;
    if (!anyPending_) return;
    anyPending_ = false;
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        for (std::size_t box = 0; box < rows_[row].size(); ++box) {
            PendingBox& pending = pending_[row][box];
            ShownBox& shown = shown_[row][box];
            if (pending.text && *pending.text != shown.text) {
                SetControlText(rows_[row][box], *pending.text);
                shown.text = std::move(*pending.text);
            }
            if (pending.colour && pending.colour != shown.colour) {
                SetControlForeground(rows_[row][box], *pending.colour);
                shown.colour = pending.colour;
            }
            pending = PendingBox{};
        }
    }
}

} // namespace tarnix
