#pragma once

#include "core/Msg.h"

#include <QIcon>
#include <QObject>

class QMenu;

namespace tavro {
class TCustomBase;
class TCustomMsg;
class TUser;
} // namespace tavro

namespace tavro::app {

class TMessageView;
class TMsgHeaderPanel;

// Shows the current message: its header in the panel above and its text, wrapped and
// coloured line by line, in the view below. The reply-link buttons ask for another message
// to be focused.
class TMessageDisplay final : public QObject {
    Q_OBJECT
public:
    TMessageDisplay(TMsgHeaderPanel* header, TMessageView* text, QObject* parent = nullptr);

    // The user's colours, fonts and width rule; null for the designed ones.
    void SetUser(const TUser* user);
    // Reads and shows the message at the position; throws EFileError when it cannot be read.
    void Show(TCustomBase& base, int position, const QIcon& rowIcon);
    void Clear();
    // The picture of the current message's row, after its read or mark state changed.
    void UpdateRowIcon(const QIcon& rowIcon);

    TMessageView* TextView() const { return Text; }
    bool ShowKludges() const { return ShowKludges_; }
    // Shows the current message again with kludges on or off.
    void SetShowKludges(bool on);

    // The replies drop-down while the message has more than one answer in the area, else null.
    QMenu* AnswersMenu() const;

signals:
    void FocusRequested(int position);
    void AnswersMenuChanged(QMenu* menu);

protected:
    // A text fitted to the view is wrapped again when the view's width in columns changes.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int TextWidth() const;
    QString TextOf(TCustomMsg& msg, int width) const;
    // The current message's text again, at the width the view allows now.
    void FillText();
    void RightLinkClicked();
    void UpdateAnswersMenu();
    void FillAnswersMenu();

    TMsgHeaderPanel* Header;
    TMessageView* Text;
    const TUser* User = nullptr;
    TCustomBase* Base = nullptr;
    TMsgHandle Current;
    int Parent = -1;
    std::vector<int> Answers;
    QMenu* AnswersMenu_ = nullptr;
    bool ShowKludges_ = false;
    int ShownWidth = 0;
};

} // namespace tavro::app
