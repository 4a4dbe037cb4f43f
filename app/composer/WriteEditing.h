#pragma once

#include <QList>
#include <QObject>

#include <memory>

class QKeyEvent;
class QLineEdit;
class QMainWindow;
class QTimer;
class QWidget;

namespace tavro {
class TUser;
}

namespace tavro::app {

class TStyledTextEdit;
class TWriteCommands;
class TTextSearch;

// What the composer's editing commands do beyond typing: hot texts, the text border and the
// hard wrap without it, the clipboard commands on whichever control has the focus, their
// availability, and find / find next in the text.
class TWriteEditing final : public QObject {
    Q_OBJECT
public:
    TWriteEditing(QMainWindow* window, TWriteCommands* commands, TStyledTextEdit* editor,
                  const QList<QWidget*>& fields, const TUser& user);
    ~TWriteEditing() override;

    // "Text border": long lines shown wrapped at the right margin; without it the caret's
    // line is broken there as the user types.
    void SetTextBorder(bool on);
    void UpdateEditCommands();

signals:
    void InsertModeChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Connect();
    bool HotTextFor(const QKeyEvent* key, QString& text) const;
    void InsertHotText(QWidget* target, const QString& text);
    void HardWrapCaretLine();
    QLineEdit* FocusedLine() const;
    void Find();
    void FindNext();
    void Found(bool found);

    QMainWindow* Window;
    TWriteCommands* Commands;
    TStyledTextEdit* Editor;
    QList<QWidget*> Fields;
    const TUser& User;
    QTimer* EditTimer;
    std::unique_ptr<TTextSearch> LastFind;
};

} // namespace tavro::app
