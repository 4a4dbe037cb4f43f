#include "TransferForm.h"

#include "widgets/MessageDialog.h"

#include "reader/MsgTransfer.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tavro::app {

TTransferForm::TTransferForm(TMode mode, std::vector<TMsgId> ids, TStep step, TFlush flush, TUnmark unmark,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), Ids(std::move(ids)), Step(std::move(step)),
      Flush(std::move(flush)), Unmark(std::move(unmark)), Progress(new QProgressBar) {
    setObjectName(QStringLiteral("TransferForm"));
    setModal(true);
    setWindowTitle(Title(mode).trimmed());
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto* layout = new QVBoxLayout(frame);
    auto* title = new QLabel(Title(mode));
    title->setObjectName(QStringLiteral("TitleLabel"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    // Qt has no file-copy animation: a busy bar shows that work goes on.
    auto* busy = new QProgressBar;
    busy->setObjectName(QStringLiteral("Animation"));
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    busy->setMaximumHeight(8);
    Progress->setObjectName(QStringLiteral("ProgressBar"));
    Progress->setRange(0, 100);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(cancel, &QPushButton::clicked, this, &TTransferForm::reject);
    layout->addWidget(title);
    layout->addWidget(busy);
    layout->addWidget(Progress);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    setMinimumWidth(320);
}

QString TTransferForm::Title(TMode mode) {
    static const char* const Titles[] = {" Copy", " Move", " Delete", " Write to file"};
    return QString::fromLatin1(Titles[mode]);
}

int TTransferForm::exec() {
    QTimer::singleShot(0, this, &TTransferForm::Run);
    return QDialog::exec();
}

// Between two messages: the dialog stops after the message in hand.
void TTransferForm::reject() {
    if (Running)
        Cancelled = true;
    else
        QDialog::reject();
}

void TTransferForm::Run() {
    Running = true;
    const size_t count = Ids.size();
    for (size_t k = 0; k < count && !Cancelled; ++k) {
        Progress->setValue(count > 1 ? int(k * 100 / (count - 1)) : 100);
        if (!Step(Ids[k]) && !AskToContinue())
            Cancelled = true;
        if (k % TMsgTransfer::CloseBatch == TMsgTransfer::CloseBatch - 1)
            Apply(Flush());
        QApplication::processEvents();
    }
    Apply(Flush());
    Running = false;
    if (Cancelled)
        QDialog::reject();
    else
        accept();
}

void TTransferForm::Apply(const TTransferBatch& batch) {
    Unmark(batch.Done);
    NotDeleted.insert(NotDeleted.end(), batch.CopiedNotDeleted.begin(), batch.CopiedNotDeleted.end());
}

bool TTransferForm::AskToContinue() {
    return MessageDlg(this, QStringLiteral("Error accessing message base. Continue?"), mtError,
                      mbtYes | mbtNo) == mrYes;
}

} // namespace tavro::app
