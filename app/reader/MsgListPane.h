#pragma once

#include "core/Base.h"

#include <QObject>

#include <functional>

class QTreeView;

namespace tavro {
class TUser;
}

namespace tavro::app {

class TMsgListModel;

// The message list pane: fills the list for an area, keeps the current row, sorts by a
// clicked column and shows the user's font and colours.
class TMsgListPane final : public QObject {
    Q_OBJECT
public:
    TMsgListPane(QTreeView* view, TMsgListModel* model, QObject* parent = nullptr);

    QTreeView* View() const { return View_; }
    TMsgListModel* Model() const { return Model_; }

    // Rows for the base, which the caller has rescanned; the message at the user's
    // last-read pointer becomes current. Throws EFileError when the base cannot be read.
    void FillMessageList(TCustomBase* base, const TUser& user, bool threads);
    void ClearMessageList();
    // Makes the row of this message position current, or none when the list has no such row.
    void FocusMessage(int position);
    // The position of the current row, -1 for none.
    int CurrentPosition() const;
    void ScrollCurrentIntoView();

    void ApplyUserLook(const TUser& user);

    // Percent done while threads are read (-1 before), and when it is over.
    std::function<void(int)> ShowProgress;
    std::function<void()> HideProgress;

signals:
    // The current row changed; -1 for none.
    void CurrentChanged(int position);
    // The list stopped being able to read the base.
    void ReadFailed();

private:
    void SortByColumn(int column);
    void WidenNumberColumn();
    void CurrentRowChanged();

    QTreeView* View_;
    TMsgListModel* Model_;
};

} // namespace tavro::app
