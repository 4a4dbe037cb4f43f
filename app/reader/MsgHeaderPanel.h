#pragma once

#include <QFrame>
#include <QIcon>

class QLabel;
class QLineEdit;
class QToolButton;

namespace tavro {
class TCustomMsg;
struct TNodeHints;
struct TReplyLinks;
} // namespace tavro

namespace tavro::app {

// The header of the current message above its text: names, addresses and subject in
// read-only boxes whose text can be selected, dates, attributes, the position in the area
// and the reply links with their two buttons. Nodelist lines about a name or address show
// as that box's tooltip.
class TMsgHeaderPanel final : public QFrame {
    Q_OBJECT
public:
    explicit TMsgHeaderPanel(QWidget* parent = nullptr);

    void ShowMessage(TCustomMsg& msg, const QString& msgNum, const TReplyLinks& links,
                     const TNodeHints& hints, const QIcon& rowIcon);
    void SetRowIcon(const QIcon& rowIcon);
    // No current message: every field, hint and the picture empty, the buttons disabled.
    void Clear();

    QToolButton* LeftLinkButton() const { return LeftLinkBtn; }
    QToolButton* RightLinkButton() const { return RightLinkBtn; }
    QToolButton* AddSenderButton() const { return AddSenderBtn; }
    QLineEdit* FromNameBox() const { return FromName; }
    QLineEdit* FromAddrBox() const { return FromAddr; }
    QLineEdit* ToNameBox() const { return ToName; }
    QLineEdit* ToAddrBox() const { return ToAddr; }
    QLineEdit* SubjectBox() const { return Subject; }
    QString LinksText() const;
    QString MsgNumText() const;

private:
    QLineEdit* Box(const char* name);
    QLabel* Label(const char* name);

    QLineEdit* FromName;
    QLineEdit* FromAddr;
    QLineEdit* ToName;
    QLineEdit* ToAddr;
    QLineEdit* Subject;
    QLabel* SendDate;
    QLabel* RecvDate;
    QLabel* Attribs;
    QLabel* MsgNum;
    QLabel* Links;
    QLabel* MarkImage;
    QToolButton* LeftLinkBtn;
    QToolButton* RightLinkBtn;
    QToolButton* AddSenderBtn;
};

} // namespace tavro::app
