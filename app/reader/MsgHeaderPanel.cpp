#include "MsgHeaderPanel.h"

#include "widgets/QtText.h"

#include "core/Attributes.h"
#include "core/LocaleFormat.h"
#include "core/Msg.h"
#include "nodelist/NodeHints.h"
#include "reader/MsgNavigation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace tavro::app {

namespace {

QString ToStr5DOrEmpty(const TAddress& address) {
    return address.IsValid() ? ToQt(address.ToStr5D()) : QString();
}

// Nodelist lines are separated by carriage returns; a tooltip breaks at line feeds.
QString HintText(const std::string& hint) {
    QString text = ToQt(hint);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

TMsgHeaderPanel::TMsgHeaderPanel(QWidget* parent)
    : QFrame(parent), FromName(Box("FromName")), FromAddr(Box("FromAddr")), ToName(Box("ToName")),
      ToAddr(Box("ToAddr")), Subject(Box("Subject")), SendDate(Label("SendDate")),
      RecvDate(Label("RecvDate")), Attribs(Label("Attribs")), MsgNum(Label("MsgNum")), Links(Label("Links")),
      MarkImage(Label("MarkImage")), LeftLinkBtn(new QToolButton), RightLinkBtn(new QToolButton),
      AddSenderBtn(new QToolButton) {
    setObjectName(QStringLiteral("InfoPanel"));
    setAutoFillBackground(true);
    MarkImage->setFixedSize(16, 16);
    LeftLinkBtn->setObjectName(QStringLiteral("LeftLinkBtn"));
    LeftLinkBtn->setArrowType(Qt::LeftArrow);
    LeftLinkBtn->setToolTip(tr("Previous message in the reply chain"));
    RightLinkBtn->setObjectName(QStringLiteral("RightLinkBtn"));
    RightLinkBtn->setArrowType(Qt::RightArrow);
    RightLinkBtn->setToolTip(tr("Next message in the reply chain"));
    AddSenderBtn->setObjectName(QStringLiteral("AddSenderBtn"));
    AddSenderBtn->setText(QStringLiteral("+"));
    AddSenderBtn->setToolTip(QStringLiteral("Add sender to address book"));
    // Until the contact editor exists.
    AddSenderBtn->setEnabled(false);
    for (QToolButton* button : {LeftLinkBtn, RightLinkBtn, AddSenderBtn})
        button->setAutoRaise(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    auto caption = [](const QString& text) {
        auto* label = new QLabel(text);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    auto withButton = [](QLineEdit* box, QToolButton* button) {
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        row->addWidget(box, 1);
        if (button)
            row->addWidget(button);
        return row;
    };
    grid->addWidget(caption(QStringLiteral("From:")), 0, 0);
    grid->addWidget(FromName, 0, 1);
    grid->addLayout(withButton(FromAddr, AddSenderBtn), 0, 2);
    grid->addWidget(caption(QStringLiteral("at:")), 0, 3);
    grid->addWidget(SendDate, 0, 4);
    grid->addWidget(MarkImage, 0, 5, Qt::AlignRight);
    grid->addWidget(caption(QStringLiteral("To:")), 1, 0);
    grid->addWidget(ToName, 1, 1);
    grid->addLayout(withButton(ToAddr, nullptr), 1, 2);
    grid->addWidget(caption(QStringLiteral("at:")), 1, 3);
    grid->addWidget(RecvDate, 1, 4, 1, 2);
    grid->addWidget(caption(QStringLiteral("Subj:")), 2, 0);
    grid->addWidget(Subject, 2, 1, 1, 2);
    auto* links = new QHBoxLayout;
    links->setSpacing(2);
    links->addWidget(MsgNum);
    links->addStretch(1);
    links->addWidget(LeftLinkBtn);
    links->addWidget(Links);
    links->addWidget(RightLinkBtn);
    grid->addLayout(links, 2, 3, 1, 3);
    grid->addWidget(Attribs, 3, 1, 1, 5);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(2, 2);
    grid->setColumnStretch(4, 2);
    Clear();
}

QLineEdit* TMsgHeaderPanel::Box(const char* name) {
    auto* box = new QLineEdit;
    box->setObjectName(QLatin1String(name));
    box->setReadOnly(true);
    box->setFrame(false);
    // Read-only boxes look like the panel, their text still selectable.
    box->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    return box;
}

QLabel* TMsgHeaderPanel::Label(const char* name) {
    auto* label = new QLabel;
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

void TMsgHeaderPanel::ShowMessage(TCustomMsg& msg, const QString& msgNum, const TReplyLinks& links,
                                  const TNodeHints& hints, const QIcon& rowIcon) {
    FromName->setText(ToQt(msg.FromName));
    FromAddr->setText(ToStr5DOrEmpty(msg.FromAddr));
    ToName->setText(ToQt(msg.ToName));
    ToAddr->setText(ToStr5DOrEmpty(msg.ToAddr));
    Subject->setText(ToQt(msg.Subject));
    for (QLineEdit* box : {FromName, FromAddr, ToName, ToAddr, Subject})
        box->setCursorPosition(0);
    FromName->setToolTip(HintText(hints.FromName));
    FromAddr->setToolTip(HintText(hints.FromAddr));
    ToName->setToolTip(HintText(hints.ToName));
    ToAddr->setToolTip(HintText(hints.ToAddr));
    SendDate->setText(ToQt(FormatShortDate(msg.DateWritten) + " " + FormatLongTime(msg.DateWritten)));
    RecvDate->setText(ToQt(FormatShortDate(msg.DateArrived) + " " + FormatLongTime(msg.DateArrived)));
    Attribs->setText(ToQt(AttrToStr(msg.GetAttr())));
    MsgNum->setText(msgNum);
    Links->setText(ToQt(links.Text));
    SetRowIcon(rowIcon);
    LeftLinkBtn->setEnabled(links.Parent >= 0);
    RightLinkBtn->setEnabled(!links.Answers.empty());
}

void TMsgHeaderPanel::SetRowIcon(const QIcon& rowIcon) {
    MarkImage->setPixmap(rowIcon.pixmap(16, 16));
}

void TMsgHeaderPanel::Clear() {
    for (QLineEdit* box : {FromName, FromAddr, ToName, ToAddr, Subject}) {
        box->clear();
        box->setToolTip(QString());
    }
    for (QLabel* label : {SendDate, RecvDate, Attribs, MsgNum, Links})
        label->clear();
    MarkImage->clear();
    LeftLinkBtn->setEnabled(false);
    RightLinkBtn->setEnabled(false);
}

QString TMsgHeaderPanel::LinksText() const {
    return Links->text();
}

QString TMsgHeaderPanel::MsgNumText() const {
    return MsgNum->text();
}

} // namespace tavro::app
