#pragma once

#include "compose/ComposeSession.h"

#include <QMainWindow>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QWidget;

namespace tavro {
class TDraftFile;
class TMsgIdSerials;
class TUser;
} // namespace tavro

namespace tavro::app {

class TStyledTextEdit;
class TWindowTray;
class TWriteCommands;
class TWriteEditing;

// The composer: one message being written, beside the reader. What it shows and sends is
// the session's; the window keeps the typed text in a draft until the message is sent or
// given up.
class TWriteForm final : public QMainWindow {
    Q_OBJECT
public:
    TWriteForm(std::unique_ptr<TComposeSession> session, TUser& user, QWidget* parent = nullptr);
    ~TWriteForm() override;

    // The first activation: the session's opening steps, shown in the fields.
    void Activate();
    // Brought back from a draft instead: the draft file is taken over.
    void Restore(const TDraft& draft, std::unique_ptr<TDraftFile> file);

    TComposeSession& Session() const { return *Session_; }
    TWriteCommands* Commands() const { return Commands_; }
    TStyledTextEdit* Editor() const { return TextMemo; }
    QLineEdit* SubjectBox() const { return Subject; }
    QWidget* FocusField(TComposeFocus focus) const;
    const std::string& DraftPath() const;

    // "Send": true when the message went out and the window closes.
    bool Send();

signals:
    // A message was written: the reader shows it.
    void Sent();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildHeader(QWidget* panel);
    void BuildEditor();
    void ConnectCommands();
    void ApplyUserLook();
    void RestoreLayout();
    void SaveLayout() const;
    void ShowMessage();
    THeaderFields Fields() const;
    void RefreshHeader();
    void ScheduleDraft();
    void SaveDraft();
    void DropDraft();
    void UpdateStatus();

    std::unique_ptr<TComposeSession> Session_;
    TUser& User;
    std::unique_ptr<TMsgIdSerials> Serials;
    std::unique_ptr<TDraftFile> Draft;
    QTimer* DraftTimer;
    TWriteCommands* Commands_ = nullptr;
    TWriteEditing* Editing = nullptr;
    TWindowTray* Tray = nullptr;
    QComboBox* FromName = nullptr;
    QLineEdit* FromAddr = nullptr;
    QLineEdit* ToName = nullptr;
    QComboBox* ToAddr = nullptr;
    QLineEdit* Subject = nullptr;
    QLabel* SendDate = nullptr;
    QLabel* RecvDate = nullptr;
    QLabel* Attribs = nullptr;
    TStyledTextEdit* TextMemo = nullptr;
    QWidget* OriginPanel = nullptr;
    QComboBox* OriginEdit = nullptr;
    QLabel* CaretPanel = nullptr;
    QLabel* InsertPanel = nullptr;
    bool SentOk = false;
    bool Shown = false;
    int SavedWindowState = 0;
    bool Overwrite = false; // the editor's typing mode while the window is inactive
    bool Filling = false;   // the window changes the fields itself: no draft for that
};

} // namespace tavro::app
